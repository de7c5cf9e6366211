// CWindowWnd: one native window with a handle, a message handler and a modal loop. Windows live
// on the UI thread (the thread running the QApplication); every operation here may be called
// from any thread and is carried out on the UI thread, the caller waiting for it. ShowModal
// called on a worker shows the dialog on the UI thread and blocks only the worker.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_ui.h"
#include "platform/window.h"

namespace ui {

class HostWidget;

class CWindowWnd {
  public:
    CWindowWnd();
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return hwnd_; }
    operator HWND() const { return hwnd_; }

    // Creates the window (hidden unless style has WS_VISIBLE); size 0 leaves the size to the
    // window (a skinned window takes its skin's). Null when creation failed.
    HWND Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT,
                int y = CW_USEDEFAULT, int cx = 0, int cy = 0);
    HWND Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, const RECT& rc);
    void ShowWindow(bool show = true, bool takeFocus = true);
    // Shows the window and waits until it has gone; returns the code given to Close (or -1
    // when the window does not exist). The owner cannot be used meanwhile.
    UINT ShowModal();
    // Asks the window to close (it may refuse in OnClose); ShowModal then returns code.
    void Close(UINT code = IDOK);
    // Centres on the owner window, or on the screen without one; either way inside the screen.
    void CenterWindow();
    // The window icon: the skin image "icon/<id>.png" when the skin has one.
    void SetIcon(UINT resourceId);
    void ResizeClient(int cx = -1, int cy = -1);
    // Moves the window's top-left corner (screen coordinates, shadow excluded), keeping the
    // window on its screen.
    void MoveTo(int x, int y);
    LRESULT SendMessageW(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessageW(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    // The host widget (UI thread only); null before Create and after the window has gone.
    HostWidget* GetWidget() const { return widget_; }
    // The window behind a handle when it is an engine window on this process, else null.
    static CWindowWnd* FromHandle(HWND hwnd);

  protected:
    virtual const wchar_t* GetWindowClassName() const = 0;
    virtual UINT GetClassStyle() const { return 0; }
    // Every message of the window arrives here on the UI thread. The default closes on WM_CLOSE
    // and carries out the minimise/maximise/restore/close system commands.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // Called once the window has gone; the object may delete itself here.
    virtual void OnFinalMessage(HWND hwnd);
    // Whether Create was given a size; without one a skinned window takes its skin's.
    bool HasRequestedSize() const { return sizeRequested_; }
    // Popup windows (menus) override the native window's kind.
    virtual bool IsPopupWindow() const { return false; }
    // Tears the window down at once: WM_DESTROY, handle released, modal loop ended, then
    // OnFinalMessage.
    void DestroyWindow();
    // Takes the window down without callbacks; a derived destructor calls it before the
    // members the window draws from (its paint manager) go.
    void DetachWindow();

  private:
    class Sink;
    struct ModalState;
    HWND CreateOnUiThread(HWND parent, const wchar_t* name, DWORD style, int x, int y, int cx,
                          int cy);
    UINT RunModalOnUiThread();
    // Unregisters the handle, drops the widget and ends a modal loop; no callbacks.
    // Forgets the native window; returns the modal loop it was running, which the caller ends
    // once it is done with the object.
    std::shared_ptr<ModalState> ReleaseWindow();
    std::vector<CWindowWnd*> OwnedWindows() const;
    void DestroyOwnedWindows();
    void BringForward();
    void KeepOnScreen();
    void StartModal(std::shared_ptr<ModalState> state);

    HWND hwnd_ = nullptr;
    HostWidget* widget_ = nullptr;
    CWindowWnd* owner_ = nullptr;
    std::shared_ptr<Sink> sink_;
    std::shared_ptr<ModalState> modal_;
    UINT closeCode_ = IDOK;
    bool sizeRequested_ = false;
};

// Runs f on the UI thread and returns its result, waiting for it when called from another
// thread. There must be a QApplication.
void RunOnUiThread(const std::function<void()>& f);
bool IsUiThread();
// True while the UI thread runs inside a nested event loop (a modal dialog, a menu, a fade): the
// windows under it must not be destroyed before it has returned.
bool InNestedEventLoop();
// Closes the topmost popup or modal dialog of the UI thread as its system close would (a
// dialog answers IDCANCEL); true when there was one.
bool CloseModalWindow();
// Whether windows can be see-through (a shadow margin, round corners): always, except on an
// X11 display without a compositing manager, where the see-through parts would show black.
bool CompositingAvailable();
// Creates the QApplication when the program has none yet (the calling thread becomes the UI
// thread), installs the CJK font substitutions and the screen DPI query.
void EnsureApplication();
// The windowing library's own texts (the file and folder dialogs) in the language of locale
// ("zh_CN"), from the translations installed with it; false when it has none for it.
bool LoadToolkitTranslations(const std::wstring& locale);

}  // namespace ui

// Ends CPaintManagerUI::MessageLoop with the given code.
void PostQuitMessage(int exitCode);
// The mouse position in screen coordinates.
BOOL GetCursorPos(POINT* point);
