// The program's entry: crash handlers, the two command-line switches and the files named with
// them, one main window per user, the environment the windows read, the skin, the main window
// and its message loop, and the shutdown that undoes it all in reverse order.
#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>

#include "app/crash_handler.h"
#include "app/system_info.h"
#include "i18n/language.h"
#include "mainwindow/main_frame.h"
#include "net/http_transport.h"
#include "net/report_client.h"
#include "net/server_names.h"
#include "net/update.h"
#include "platform/message_box.h"
#include "platform/path.h"
#include "platform/single_instance.h"
#include "platform/termination.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "skin/embedded_skin.h"
#include "ui/uilib.h"

namespace {

constexpr const wchar_t* kMainWindowClass = L"BrindleWindowClass";
constexpr DWORD kMainWindowStyle = WS_POPUP | WS_BORDER | WS_SYSMENU;
constexpr UINT kMainIcon = 203;
// Posted when a signal asks the program to end; in the range Windows leaves to programs (WM_APP).
constexpr UINT kEndRequest = 0x8000 + 1;

using Files = platform::SingleInstance::Files;

// The command line: files to add (full paths), and the text the switches are looked for in.
struct Arguments {
    std::wstring switches;
    Files files;
};

// The switches may stand anywhere, also inside a longer argument; the program's own path is not
// searched, so an installation folder named like a switch changes nothing. An argument that
// names an existing file is a file to add and never a switch, so that a file in a folder called
// "uninstall" opens the window like any other.
Arguments ReadArguments(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = platform::Utf8ToWide(argv[i]);
        const std::wstring path = platform::FullPath(argument);
        if (!argument.empty() && PathFileExistsW(path.c_str()))
            arguments.files.push_back(path);
        else
            arguments.switches += L" " + argument;
    }
    return arguments;
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

// Files from the command line and from later starts wait here until the main window shows, and
// then reach it as a drop of them would; later ones go to it at once.
class FileHandoff {
  public:
    void Add(const Files& files) {
        std::lock_guard lock(mutex_);
        if (window_)
            DropFilesOnWindow(window_, files);
        else
            waiting_.insert(waiting_.end(), files.begin(), files.end());
    }
    void WindowShown(HWND window) {
        std::lock_guard lock(mutex_);
        window_ = window;
        if (!waiting_.empty())
            DropFilesOnWindow(window_, std::exchange(waiting_, {}));
    }

  private:
    std::mutex mutex_;
    HWND window_ = nullptr;
    Files waiting_;
};

// What the windowed run shares with the threads that answer later starts and end requests.
struct RunState {
    FileHandoff files;
    std::atomic<HWND> mainWindow{nullptr};
    std::atomic<bool> ending{false};   // a signal asked the program to end
    std::atomic<bool> closing{false};  // the main window is on its way out
    bool looping = false;              // the message loop runs (UI thread only)
};

// The main window as the program runs it: a closing window gives the single-instance channel up
// at once, so that a start from then on opens a window of its own, and a request to end closes
// it without asking.
class ProgramFrame : public CMainFrame {
  public:
    ProgramFrame(RunState& run, platform::SingleInstance& instance)
        : run_(run), instance_(instance) {}

  protected:
    // The handle is known from here on, so that a request to end can reach the window while it
    // is still being made (the question about a waiting installer is asked then).
    LRESULT OnCreate(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) override {
        run_.mainWindow = GetHWND();
        return CMainFrame::OnCreate(msg, wParam, lParam, handled);
    }

    LRESULT OnClose(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) override {
        run_.closing = true;
        instance_.Close();
        return CMainFrame::OnClose(msg, wParam, lParam, handled);
    }

    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) override {
        if (msg == kEndRequest) {
            handled = TRUE;
            EndWhenUnwound();
            return 0;
        }
        return CMainFrame::HandleCustomMessage(msg, wParam, lParam, handled);
    }

  private:
    // Dialogs, menus and the event loops they run go first, one after the other: destroying
    // the window while code under it still waits in such a loop would pull the ground from
    // under that code. While the window is being made, its dialogs are closed and the close
    // itself waits for the message loop, which asks again.
    void EndWhenUnwound() {
        const bool closedOne = ui::CloseModalWindow();
        if (!run_.looping)
            return;
        if (closedOne || ui::InNestedEventLoop())
            ::PostMessageW(GetHWND(), kEndRequest, 0, 0);
        else
            Close(1);
    }

    RunState& run_;
    platform::SingleInstance& instance_;
};

// The main window lives until its object deletes itself, which ends the message loop. A request
// to end that came before it was made keeps it from being made, or closes it at once.
void RunMainWindow(RunState& run, platform::SingleInstance& instance) {
    if (run.ending)
        return;
    ui::LoadToolkitTranslations(GetLanguageLocaleName());
    auto* frame = new ProgramFrame(run, instance);
    if (!frame->Create(nullptr, L"Brindle", kMainWindowStyle, 0, 0, 0, 0, 0)) {
        delete frame;
        return;
    }
    frame->CenterWindow();
    frame->SetIcon(kMainIcon);
    frame->ShowWindow(true, true);
    run.files.WindowShown(run.mainWindow.load());
    run.looping = true;
    if (run.ending)
        PostMessageW(run.mainWindow.load(), kEndRequest, 0, 0);
    ui::CPaintManagerUI::MessageLoop();
}

void RunNormally(const std::wstring& machineUid, const Files& files) {
    RunState run;
    // A logout or kill closes the window as its own close does, without asking.
    const platform::TerminationRequests termination([&run](int) {
        run.ending = true;
        PostMessageW(run.mainWindow.load(), kEndRequest, 0, 0);
    });
    // A later start brings the window forward and hands it its files. Before the window exists
    // it is on its way and shows by itself; once it is closing or has gone, a later start opens
    // its own.
    platform::SingleInstance instance(kMainWindowClass, files, [&run](const Files& later) {
        if (run.ending || run.closing)
            return false;
        const HWND window = run.mainWindow.load();
        if (window && PostMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0) == FALSE)
            return false;
        run.files.Add(later);
        return true;
    });
    if (instance.ShownElsewhere())
        return;
    run.files.Add(files);
    InitAppPaths();
    LoadPartnerInfo();
    GetSettingsStore().Load();
    FillReportFields(machineUid);
    if (!SetUpSkin())
        return;
    InitHttpLibrary();
    RunMainWindow(run, instance);
    // An update check still under way keeps using the library; it ends with the process.
    if (!GetUpdate().IsRunning())
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
    const Arguments arguments = ReadArguments(argc, argv);
    if (arguments.switches.find(L"/uninstall") != std::wstring::npos) {
        SendUninstallReport(machineUid);
    } else if (arguments.switches.find(L"/makemachine") == std::wstring::npos) {
        RunNormally(machineUid, arguments.files);
        // Workers still running (an update check, a batch run) end with the process, as they
        // do on Windows: the program's global objects are not torn down under them.
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}
