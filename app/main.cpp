// The program's entry: crash handlers, the two command-line switches, one main window per user,
// the environment the windows read, the skin, the main window and its message loop, and the
// shutdown that undoes it all in reverse order.
#include <atomic>
#include <clocale>
#include <string>

#include "app/crash_handler.h"
#include "app/system_info.h"
#include "i18n/language.h"
#include "mainwindow/main_frame.h"
#include "net/http_transport.h"
#include "net/report_client.h"
#include "net/server_names.h"
#include "net/update.h"
#include "platform/message_box.h"
#include "platform/single_instance.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "skin/embedded_skin.h"
#include "ui/uilib.h"

namespace {

constexpr const wchar_t* kMainWindowClass = L"BrindleWindowClass";
constexpr DWORD kMainWindowStyle = WS_POPUP | WS_BORDER | WS_SYSMENU;
constexpr UINT kMainIcon = 203;

// The switches may stand anywhere, also inside a longer argument; the program's own path is not
// searched, so an installation folder named like a switch changes nothing.
std::wstring CommandLineArguments(int argc, char** argv) {
    std::wstring line;
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? L" " : L"") + platform::Utf8ToWide(argv[i]);
    return line;
}

void FillReportFields(const std::wstring& machineUid) {
    wchar_t osName[MAX_PATH] = {};
    GetOsName(osName, MAX_PATH);
    ReportClient& client = GetReportClient();
    client.SetHost(kReportServerHost);
    client.SetAppId(36);
    client.SetAppApiId(5);
    client.SetOs(osName);
    client.SetChannelCode(GetPartnerInfo().Id);
    client.SetVersion(GetInstalledVersion());
    client.SetMachineCode(machineUid);
    client.SetOsBit(IsWow64() ? 64 : 32);
}

void SendUninstallReport(const std::wstring& machineUid) {
    InitAppPaths();
    LoadPartnerInfo();
    FillReportFields(machineUid);
    GetReportClient().SendActionReport(kReportUninstall);
}

bool SetUpSkin() {
    const unsigned char* data = skin::EmbeddedSkinData();
    const std::size_t size = skin::EmbeddedSkinSize();
    if (!data || size == 0) {
        MessageBoxW(nullptr, L"软件皮肤资源丢失，无法运行，请重新安装！", L"严重错误",
                    MB_ICONERROR);
        return false;
    }
    ui::CPaintManagerUI::SetSkinExt(L".skin");
    ui::CPaintManagerUI::SetSkinPath(GetAppPaths().programDir + L"/skin/");
    return ui::CPaintManagerUI::SetResourceZip(data, size);
}

// The main window lives until its object deletes itself, which ends the message loop.
void RunMainWindow(std::atomic<HWND>& mainWindow) {
    ui::LoadToolkitTranslations(GetLanguageLocaleName());
    auto* frame = new CMainFrame();
    if (!frame->Create(nullptr, L"Brindle", kMainWindowStyle, 0, 0, 0, 0, 0)) {
        delete frame;
        return;
    }
    mainWindow = frame->GetHWND();
    frame->CenterWindow();
    frame->SetIcon(kMainIcon);
    frame->ShowWindow(true, true);
    ui::CPaintManagerUI::MessageLoop();
}

void RunNormally(const std::wstring& machineUid) {
    if (platform::ActivateRunningInstance(kMainWindowClass))
        return;
    // A later start restores this program's window; before the window exists it has nothing
    // to show, and a message to a null handle is dropped.
    std::atomic<HWND> mainWindow{nullptr};
    platform::InstanceListener listener(kMainWindowClass, [&mainWindow] {
        PostMessageW(mainWindow.load(), WM_SYSCOMMAND, SC_RESTORE, 0);
    });
    InitAppPaths();
    LoadPartnerInfo();
    GetSettingsStore().Load();
    FillReportFields(machineUid);
    if (!SetUpSkin())
        return;
    InitHttpLibrary();
    RunMainWindow(mainWindow);
    CleanupHttpLibrary();
}

}  // namespace

int main(int argc, char** argv) {
    InstallCrashHandlers();
    // The user's locale is the "ANSI code page" of every conversion, on every path: the
    // uninstallation report runs before (and without) the windowing library, which would set it.
    std::setlocale(LC_ALL, "");
    // Stands where the program's global objects are built: the update checker obtains the
    // installation identifier, which exists from here on, also when the program ends at once
    // with "/makemachine".
    const std::wstring machineUid = GetUpdate().GetUid();
    const std::wstring arguments = CommandLineArguments(argc, argv);
    if (arguments.find(L"/uninstall") != std::wstring::npos)
        SendUninstallReport(machineUid);
    else if (arguments.find(L"/makemachine") == std::wstring::npos)
        RunNormally(machineUid);
    return 0;
}
