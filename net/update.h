// The update check: once a day (automatic) or on request (manual) the version file on the update
// server is compared with the installed version; a newer installer is downloaded into the data
// folder and offered to the user, at once (manual) or at the next start (automatic). The check
// runs on a worker thread of its own and talks to the user through message dialogs it opens
// there, owned by the main window.
#pragma once

#include <atomic>
#include <string>

#include "platform/win_ui.h"
#include "platform/window.h"

// Where the check looks and which key must have signed an installer: the build's update server
// over https and its built-in public key. Nothing at run time changes them; tests name their
// own loopback server and signing key.
struct UpdateSource {
    std::wstring serverUrl;  // "https://host[:port]"
    std::string publicKey;   // the raw 32 bytes of an Ed25519 public key
};
void SetUpdateSource(const UpdateSource& source);

// The tray icon's callback message to the owner window, which gives it no special handling.
inline constexpr UINT WM_TRAY_UPDATE = WM_USER + 5;

class CUpdate {
  public:
    // Obtains the installation identifier with LoadUid.
    CUpdate();
    // Closes a remaining worker handle without waiting for the worker.
    virtual ~CUpdate();
    CUpdate(const CUpdate&) = delete;
    CUpdate& operator=(const CUpdate&) = delete;

    // Downloads the side file "cd.cab" as "cd.dat" into the data folder; the result is ignored.
    virtual void FetchSideFile();

    const std::wstring& GetUid() const;
    // The main window: parent of every dialog and owner of the tray icon.
    void SetOwner(HWND owner);
    // At most once per day of the month: a silent check on a worker.
    void StartAutomaticCheck();
    // A check that tells the user its outcome, or "Updating" while a check runs, or the offer
    // of an installer that is already waiting.
    void CheckNow(HWND owner, HICON trayIcon);
    // True while a worker runs.
    bool IsRunning();
    // Asks "HasUpdate" when the downloaded installer is there and still carries a valid
    // signature, and starts it on yes. True when the installer was started. An installer whose
    // signature fails is deleted unasked.
    bool OfferInstaller();

  private:
    enum Mode { kManual = 0, kAutomatic = 1 };

    static unsigned UpdateThreadProc(void* self);
    void StartWorker(Mode mode);
    // True when the worker has ended or none was started; the handle of an ended one is closed.
    bool ReleaseEndedWorker();
    void AutomaticCheck();
    void ManualCheck();
    // The newest installer and its signature into the data folder; false (and neither file
    // left) unless the signature confirms the installer.
    bool DownloadInstaller();
    void ShowTrayBalloon(const std::wstring& text, const std::wstring& title, UINT extraFlags,
                         UINT timeout);
    void RemoveTrayIcon();

    std::wstring uid_;
    HANDLE worker_ = nullptr;
    Mode mode_ = kAutomatic;
    // Written on the main thread while a worker may be reading them.
    std::atomic<HWND> owner_{nullptr};
    std::atomic<HICON> trayIcon_{nullptr};
};

// The process-wide update checker.
CUpdate& GetUpdate();
