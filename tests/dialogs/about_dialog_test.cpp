// The about dialog as the user sees it: a real skinned window under Qt's offscreen platform,
// filled from the registry and the partner file beside the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "dialogs/about_dialog.h"
#include "dialogs/message_dialog.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "tests/dialogs/dialog_driver.h"
#include "tests/dialogs/url_catcher.h"
#include "ui/controls/control.h"
#include "ui/manager/paint_manager.h"

namespace {

using testing_support::Click;
using testing_support::TextOf;

int g_deleted = 0;

class CountedAboutDlg : public CAboutDlg {
  public:
    ~CountedAboutDlg() override { ++g_deleted; }
};

struct Seen {
    std::wstring version;
    std::wstring shown;  // the names of the shown controls among those a partner may hide
};

// Opens the dialog as the main window does, looks at it, presses each of `presses` in turn.
Seen ShowAbout(std::vector<std::wstring> presses) {
    Seen seen;
    testing_support::WhenWindowShows(
        testing_support::HasControl(L"LabelVersion"), [&](ui::CPaintManagerUI& pm) {
            seen.version = TextOf(pm, L"LabelVersion");
            for (const wchar_t* name :
                 {L"caption", L"btnClose", L"labelSite", L"buttonSite", L"CompanyName"}) {
                ui::CControlUI* control = pm.FindControl(name);
                if (control && control->IsVisible())
                    seen.shown += std::wstring(seen.shown.empty() ? L"" : L" ") + name;
            }
            for (const std::wstring& name : presses)
                Click(pm, name);
        });
    auto* about = new CountedAboutDlg;
    about->Create(nullptr, L"", kDialogWindowStyle, 0, 0, 0, 0, 0);
    about->CenterWindow();
    about->ShowModal();
    return seen;
}

void SetInstalledVersion(const wchar_t* version) {
    if (!version) {
        SHDeleteValueW(HKEY_LOCAL_MACHINE, kRegistryKey, L"Version");
        return;
    }
    SHSetValueW(HKEY_LOCAL_MACHINE, kRegistryKey, L"Version", REG_SZ, version,
                static_cast<DWORD>(std::wcslen(version) * sizeof(wchar_t)));
}

// The partner file lies beside the program only while it is read.
void LoadPartnerFile(const std::string& text) {
    const std::string oem = platform::WideToUtf8(GetAppPaths().programDir) + "/oem.ini";
    std::ofstream(oem) << text;
    LoadPartnerInfo();
    std::filesystem::remove(oem);
}

class AboutDialog : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        testing_support::EnsureDialogEnvironment();
        InitAppPaths();
    }
    void TearDown() override { LoadPartnerInfo(); }
};

TEST_F(AboutDialog, ShowsTheInstalledVersionAndDeletesItself) {
    SetInstalledVersion(L"3.1.4");
    EXPECT_EQ(ShowAbout({L"btnClose"}).version, L"3.1.4");
    // No version in the registry: an empty label, not the skin's placeholder.
    SetInstalledVersion(nullptr);
    EXPECT_EQ(ShowAbout({L"btnClose"}).version, L"");
    EXPECT_EQ(g_deleted, 2);
}

TEST_F(AboutDialog, PartnerBuildHidesSiteAndNotice) {
    LoadPartnerFile("[Partner]\nHideCompanyInfo=0\n");
    EXPECT_EQ(ShowAbout({L"btnClose"}).shown, L"caption btnClose labelSite buttonSite CompanyName");
    LoadPartnerFile("[Partner]\nHideCompanyInfo=1\n");
    EXPECT_EQ(ShowAbout({L"btnClose"}).shown, L"caption btnClose");
}

TEST_F(AboutDialog, SiteButtonOpensItsCaption) {
    testing_support::UrlCatcher browser(QStringLiteral("http"));
    ShowAbout({L"buttonSite", L"btnClose"});
    EXPECT_EQ(browser.opened, QStringList{QStringLiteral("http://www.brindle.example")});
}

}  // namespace
