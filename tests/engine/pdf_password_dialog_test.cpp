// The password prompt driven through its controls, on a file qpdf encrypted.
#include <gtest/gtest.h>

#include "dialogs/message_dialog.h"
#include "engine/pdf_password_dialog.h"
#include "platform/text.h"
#include "tests/dialogs/dialog_driver.h"
#include "tests/engine/pdf_fixtures.h"
#include "tests/support/temp_dir.h"
#include "ui/controls/edit.h"
#include "ui/manager/paint_manager.h"

namespace {

using testing_support::Click;
using testing_support::TextOf;
using testing_support::Type;

class PdfPasswordDialogTest : public testing::Test {
  protected:
    static void SetUpTestSuite() { testing_support::EnsureDialogEnvironment(); }

    void SetUp() override {
        engine_test::MakeTextPdf(dir.File("plain.pdf"), 1);
        engine_test::EncryptPdf(dir.File("plain.pdf"), locked, "secret", "boss", "256");
    }

    // Runs the dialog as the file list does, with action done once it is up.
    void Run(CPdfPassDlg& dialog, testing_support::WindowAction action) {
        testing_support::WhenWindowShows(testing_support::ControlText(L"caption", L"密码"), action);
        ASSERT_NE(dialog.Create(nullptr, L"", kDialogWindowStyle, 0, 0, 0, 0, 0), nullptr);
        dialog.CenterWindow();
        dialog.ShowModal();
    }

    testing_support::TempDir dir;
    const std::string locked = dir.File("年度 报告.pdf");
    CPdfPassDlg dialog{platform::Utf8ToWide(locked)};
};

TEST_F(PdfPasswordDialogTest, WrongPasswordIsReportedAndTheRightOneIsAccepted) {
    std::wstring fileName, keptText;
    bool masked = false, reported = false, stayedOpen = false;
    Run(dialog, [&](ui::CPaintManagerUI& pm) {
        fileName = TextOf(pm, L"fileName");
        auto* edit = static_cast<ui::CEditUI*>(pm.FindControl(L"password")->GetInterface(L"Edit"));
        masked = edit && edit->IsPasswordMode();
        Type(pm, L"password", L"wrong");
        testing_support::WhenWindowShows(testing_support::HasControl(L"context"),
                                         [&](ui::CPaintManagerUI& message) {
                                             reported = true;
                                             Click(message, L"btnClose");
                                         });
        Click(pm, L"btnYes");  // returns once the modal report has been answered
        keptText = TextOf(pm, L"password");
        stayedOpen = IsWindow(pm.GetPaintHWND());
        Type(pm, L"password", L"secret");
        pm.SendNotify(pm.FindControl(L"password"), L"return");  // Enter confirms
    });
    EXPECT_EQ(fileName, L"\"年度 报告.pdf\"");
    EXPECT_TRUE(masked);
    EXPECT_TRUE(reported);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(keptText, L"wrong");
    EXPECT_EQ(dialog.result, IDYES);
    EXPECT_EQ(dialog.password, L"secret");
}

TEST_F(PdfPasswordDialogTest, TitleBarCloseCancelsEvenWithTheRightPasswordTyped) {
    Run(dialog, [](ui::CPaintManagerUI& pm) {
        Type(pm, L"password", L"secret");
        testing_support::ClickAt(pm, 384, 16);
    });
    EXPECT_EQ(dialog.result, IDNO);
    EXPECT_EQ(dialog.password, L"");
}

TEST_F(PdfPasswordDialogTest, BottomCloseButtonCancels) {
    Run(dialog, [](ui::CPaintManagerUI& pm) { Click(pm, L"btnClose"); });
    EXPECT_EQ(dialog.result, IDNO);
}

}  // namespace
