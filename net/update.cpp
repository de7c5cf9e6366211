#include "net/update.h"

#include <algorithm>
#include <ctime>

#include "app/crash_handler.h"
#include "app/system_info.h"
#include "dialogs/message_dialog.h"
#include "i18n/format.h"
#include "i18n/language.h"
#include "net/http_downloader.h"
#include "net/http_transport.h"
#include "net/report_client.h"
#include "net/server_names.h"
#include "net/signature.h"
#include "net/update_key.h"
#include "net/version_file.h"
#include "platform/file_io.h"
#include "platform/path.h"
#include "platform/registry.h"
#include "platform/shellapi.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "settings/settings.h"

namespace {

constexpr const wchar_t* kInstallerName = L"OstrelSetup.exe";
constexpr const wchar_t* kInstallerUrlPath = L"/tamsin/OstrelSetup.exe";
// The detached signature lies beside the installer, on the server and in the data folder.
constexpr const wchar_t* kSignatureSuffix = L".sig";
constexpr UINT kTrayIconId = 1;
constexpr UINT kBalloonTimeoutMs = 1000;
constexpr size_t kDiagnosticLength = 512;

// Downloads larger than this are stopped: a server that announces gigabytes must not fill the
// user's disk with something the program only stores.
constexpr DWORD kMaxInstallerBytes = 256u << 20;
constexpr DWORD kMaxSideFileBytes = 16u << 20;

UpdateSource& Source() {
    static UpdateSource source{L"https://" + std::wstring(kUpdateServerHost),
                               std::string(kUpdatePublicKey)};
    return source;
}

std::wstring ServerUrl(const std::wstring& path) {
    return Source().serverUrl + path;
}

// Cancels a download (OnProgress answering 1) once its announced or received size passes the
// limit.
class DownloadSizeLimit final : public IDownLoadCallBack {
  public:
    explicit DownloadSizeLimit(DWORD maxBytes) : maxBytes_(maxBytes) {}
    LONG OnStatus(LONG, LONG) override { return 0; }
    LONG OnStart(const wchar_t*, DWORD, LONG) override { return 0; }
    LONG OnProgress(LONG, LONG, DWORD bytesDone, DWORD totalBytes, LONG) override {
        return std::max(bytesDone, totalBytes) > maxBytes_ ? 1 : 0;
    }
    LONG OnComplete(LONG) override { return 0; }

  private:
    DWORD maxBytes_;
};

bool Download(const std::wstring& path, const std::wstring& target, DWORD maxBytes) {
    DownloadSizeLimit limit(maxBytes);
    HttpDownloader downloader;
    downloader.callback = &limit;
    return downloader.DownloadFile(ServerUrl(path), target, CREATE_ALWAYS) == S_OK;
}

VersionFile ReadVersionFile() {
    return ParseVersionFile(GetUrlText(ServerUrl(L"/tamsin/newversion.htm"), false));
}

int DayOfMonth() {
    const std::time_t now = std::time(nullptr);
    return std::localtime(&now)->tm_mday;
}

DWORD ReadUpdateDay() {
    DWORD day = 0;
    DWORD size = sizeof(day);
    if (SHGetValueW(HKEY_CURRENT_USER, kRegistryKey, L"UpdateDay", nullptr, &day, &size) !=
        ERROR_SUCCESS)
        return 0;
    return day;
}

void WriteUpdateDay(DWORD day) {
    SHSetValueW(HKEY_CURRENT_USER, kRegistryKey, L"UpdateDay", REG_DWORD, &day, sizeof(day));
}

void SendReport(int typeId) {
    GetReportClient().SendActionReport(typeId);
}

template <typename... Args>
void WriteDiagnostic(const wchar_t* format, const Args&... args) {
    std::wstring line = FormatLanguageText(format, args...);
    line.resize(std::min(line.size(), kDiagnosticLength - 1));
    OutputDebugStringW(line.c_str());
}

void CopyTruncated(wchar_t* target, size_t capacity, const std::wstring& text) {
    const size_t length = std::min(text.size(), capacity - 1);
    std::copy_n(text.begin(), length, target);
    target[length] = L'\0';
}

bool IsSignedInstaller(const std::wstring& installer) {
    std::string signature;
    std::string bytes;
    return platform::ReadWholeFile(installer + kSignatureSuffix, kEd25519SignatureSize,
                                   &signature) &&
           platform::ReadWholeFile(installer, kMaxInstallerBytes, &bytes) &&
           IsValidSignature(bytes, signature, Source().publicKey);
}

void DeleteInstaller(const std::wstring& installer) {
    DeleteFileW(installer.c_str());
    DeleteFileW((installer + kSignatureSuffix).c_str());
}

}  // namespace

void SetUpdateSource(const UpdateSource& source) {
    Source() = source;
}

CUpdate::CUpdate() : uid_(LoadUid()) {}

CUpdate::~CUpdate() {
    if (worker_)
        CloseHandle(worker_);
}

const std::wstring& CUpdate::GetUid() const {
    return uid_;
}

void CUpdate::SetOwner(HWND owner) {
    owner_ = owner;
}

void CUpdate::StartAutomaticCheck() {
    const DWORD storedDay = ReadUpdateDay();
    if (DayOfMonth() == LOWORD(storedDay))
        return;
    WriteUpdateDay(static_cast<DWORD>(DayOfMonth()));
    StartWorker(kAutomatic);
}

void CUpdate::CheckNow(HWND owner, HICON trayIcon) {
    owner_ = owner;
    trayIcon_ = trayIcon;
    if (!ReleaseEndedWorker()) {
        ShowMessage(L"Updating", owner_, MB_ICONINFORMATION);
        return;
    }
    if (GetSettingsStore().IsInstallerReady()) {
        OfferInstaller();
        // An installer that failed its signature check is gone now; a fresh check replaces it.
        if (GetSettingsStore().IsInstallerReady())
            return;
    }
    StartWorker(kManual);
}

bool CUpdate::IsRunning() {
    return !ReleaseEndedWorker();
}

bool CUpdate::ReleaseEndedWorker() {
    if (!worker_)
        return true;
    if (WaitForSingleObject(worker_, 0) == WAIT_TIMEOUT)
        return false;
    CloseHandle(worker_);
    worker_ = nullptr;
    return true;
}

void CUpdate::StartWorker(Mode mode) {
    mode_ = mode;
    worker_ = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, &CUpdate::UpdateThreadProc, this, 0, nullptr));
}

unsigned CUpdate::UpdateThreadProc(void* self) {
    _set_se_translator(TranslateSehException);
    auto* update = static_cast<CUpdate*>(self);
    if (update->mode_ == kAutomatic)
        update->AutomaticCheck();
    else
        update->ManualCheck();
    return 0;
}

void CUpdate::AutomaticCheck() {
    try {
        const std::wstring installed = GetInstalledVersion();
        if (HasInstallReportMarker()) {
            ResolveAdId(true);
            SendReport(kReportFirstRun);
            ClearInstallReportMarker();
        }
        SendReport(kReportUpdateCheck);
        FetchSideFile();
        const VersionFile remote = ReadVersionFile();
        SettingsStore& settings = GetSettingsStore();
        if (!remote.valid || settings.canUpdate == 0 || settings.IsInstallerReady())
            return;
        if (IsNewerVersion(remote.version, installed) && DownloadInstaller()) {
            settings.MarkInstallerReady();
            SendReport(kReportInstallerDownloaded);
        }
    } catch (const CSEHException& e) {
        WriteDiagnostic(L"Type=%d File=%s Line=%d ExceptCode=%x Address=%x", 1, L"update", 288,
                        e.code, reinterpret_cast<std::uintptr_t>(e.record.ExceptionAddress));
    } catch (...) {
        WriteDiagnostic(L"Type=%d File=%s Line=%d", 5, L"update", 289);
    }
}

void CUpdate::ManualCheck() {
    try {
        const std::wstring installed = GetInstalledVersion();
        const VersionFile remote = ReadVersionFile();
        FetchSideFile();
        if (!remote.valid) {
            ShowMessage(L"NoVersion", owner_, MB_ICONINFORMATION);
            return;
        }
        if (!IsNewerVersion(remote.version, installed)) {
            ShowMessage(L"NotUpdate", owner_, MB_ICONINFORMATION);
            return;
        }
        ShowTrayBalloon(GetText(L"ProductName"), GetText(L"DownloadingUpdate"), 0,
                        kBalloonTimeoutMs);
        if (DownloadInstaller()) {
            GetSettingsStore().MarkInstallerReady();
            SendReport(kReportInstallerDownloaded);
            OfferInstaller();
            RemoveTrayIcon();
        } else {
            RemoveTrayIcon();
            ShowMessage(L"UpdateFail", owner_, MB_ICONINFORMATION);
        }
    } catch (...) {
        WriteDiagnostic(L"Type=%d File=%s Line=%d", 5, L"update", 453);
    }
}

bool CUpdate::DownloadInstaller() {
    const std::wstring installer = DataFilePath(kInstallerName);
    DeleteInstaller(installer);
    if (Download(kInstallerUrlPath, installer, kMaxInstallerBytes) &&
        Download(kInstallerUrlPath + std::wstring(kSignatureSuffix), installer + kSignatureSuffix,
                 kEd25519SignatureSize) &&
        IsSignedInstaller(installer))
        return true;
    DeleteInstaller(installer);
    return false;
}

void CUpdate::FetchSideFile() {
    Download(L"/tamsin/cd.cab", DataFilePath(L"cd.dat"), kMaxSideFileBytes);
}

bool CUpdate::OfferInstaller() {
    const std::wstring installer = DataFilePath(kInstallerName);
    if (!PathFileExistsW(installer.c_str()))
        return false;
    // Checked again right before it may be started: an installer may have been marked ready
    // before signatures were checked, or changed on disk since.
    if (!IsSignedInstaller(installer)) {
        DeleteInstaller(installer);
        return false;
    }
    if (ShowMessage(L"HasUpdate", owner_, MB_YESNO) != IDYES)
        return false;
    const auto started = reinterpret_cast<std::intptr_t>(
        ShellExecuteW(nullptr, L"open", installer.c_str(), nullptr, nullptr, SW_SHOWDEFAULT));
    return started > 32;
}

void CUpdate::ShowTrayBalloon(const std::wstring& text, const std::wstring& title, UINT extraFlags,
                              UINT timeout) {
    if (!IsWindow(owner_))
        return;
    NOTIFYICONDATAW data;
    data.cbSize = 952;
    data.hWnd = owner_;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_INFO | extraFlags;
    data.uCallbackMessage = WM_TRAY_UPDATE;
    data.hIcon = trayIcon_;
    CopyTruncated(data.szTip, std::size(data.szTip), title);
    CopyTruncated(data.szInfo, std::size(data.szInfo), text);
    data.uTimeout = timeout;
    CopyTruncated(data.szInfoTitle, std::size(data.szInfoTitle), title);
    Shell_NotifyIconW(NIM_ADD, &data);
}

void CUpdate::RemoveTrayIcon() {
    if (!trayIcon_)
        return;
    NOTIFYICONDATAW data;
    data.cbSize = 952;
    data.hWnd = owner_;
    data.uID = kTrayIconId;
    Shell_NotifyIconW(NIM_DELETE, &data);
    trayIcon_ = nullptr;
}

CUpdate& GetUpdate() {
    static CUpdate update;
    return update;
}
