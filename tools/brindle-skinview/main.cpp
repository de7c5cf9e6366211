// Shows a skin file in a real window, or renders it to a PNG through Qt's offscreen platform.
//
//   brindle-skinview [--png OUT] SKIN
//
// SKIN is the path of an XML skin (its folder is the skin folder) or the name of a layout in
// the embedded skin archive ("dlg_message.xml").
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/text.h"
#include "skin/embedded_skin.h"
#include "ui/markup/resources.h"
#include "ui/qt/host_widget.h"
#include "ui/qt/window_impl_base.h"

namespace {

struct Options {
    std::string png;
    std::string skin;
};

class SkinViewWnd : public ui::WindowImplBase {
  public:
    SkinViewWnd(std::wstring folder, std::wstring file)
        : folder_(std::move(folder)), file_(std::move(file)) {}

  protected:
    const wchar_t* GetWindowClassName() const override { return L"BrindleSkinView"; }
    std::wstring GetSkinFolder() override { return folder_; }
    std::wstring GetSkinFile() override { return file_; }
    void OnClick(ui::TNotifyUI& msg) override {
        if (msg.pSender->GetName() == L"btnClose")
            Close(IDCANCEL);
        if (msg.pSender->GetName() == L"btnMin")
            SendMessageW(WM_SYSCOMMAND, SC_MINIMIZE);
    }
    void OnFinalMessage(HWND hwnd) override {
        WindowImplBase::OnFinalMessage(hwnd);
        PostQuitMessage(0);
    }

  private:
    std::wstring folder_;
    std::wstring file_;
};

bool ParseArgs(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--png" && i + 1 < argc)
            options.png = argv[++i];
        else if (!arg.empty() && arg[0] != '-' && options.skin.empty())
            options.skin = arg;
        else
            return false;
    }
    return !options.skin.empty();
}

// Shared fonts and Default lists live in Default.xml beside the layouts, when there is one.
void LoadSharedDefaults(const std::wstring& skinFile) {
    if (skinFile == L"Default.xml" || !ui::resources::Load(L"Default.xml"))
        return;
    ui::CPaintManagerUI defaults;
    ui::CDialogBuilder builder;
    delete builder.Create(L"Default.xml", L"", nullptr, &defaults);
}

int RenderToPng(SkinViewWnd& wnd, const std::string& out) {
    ui::HostWidget* widget = wnd.GetWidget();
    widget->show();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!widget->grab().save(QString::fromStdString(out), "PNG")) {
        std::fprintf(stderr, "brindle-skinview: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArgs(argc, argv, options)) {
        std::fprintf(stderr, "usage: brindle-skinview [--png OUT] SKIN\n");
        return 2;
    }
    if (!options.png.empty())
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ui::EnsureApplication();
    std::wstring folder, file;
    const std::filesystem::path path(options.skin);
    if (std::filesystem::is_regular_file(path)) {
        folder = std::filesystem::absolute(path).parent_path().wstring() + L"/";
        file = path.filename().wstring();
    } else {
        ui::CPaintManagerUI::SetResourceZip(skin::EmbeddedSkinData(), skin::EmbeddedSkinSize());
        file = platform::Utf8ToWide(options.skin);
    }
    ui::CPaintManagerUI::SetResourcePath(folder);
    LoadSharedDefaults(file);
    SkinViewWnd wnd(folder, file);
    if (!wnd.Create(nullptr, L"brindle-skinview", WS_POPUP, 0)) {
        std::fprintf(stderr, "brindle-skinview: cannot build the skin %s\n", options.skin.c_str());
        return 1;
    }
    wnd.CenterWindow();
    if (!options.png.empty())
        return RenderToPng(wnd, options.png);
    wnd.ShowWindow();
    return ui::CPaintManagerUI::MessageLoop();
}
