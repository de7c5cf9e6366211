// The message dialog as the user sees it: a real skinned window under Qt's offscreen platform,
// read and pressed through the skin engine.
#include <gtest/gtest.h>

#include <thread>

#include "dialogs/message_dialog.h"
#include "tests/dialogs/dialog_driver.h"
#include "ui/manager/paint_manager.h"

namespace {

using testing_support::Click;
using testing_support::ControlText;
using testing_support::TextOf;
using testing_support::WhenWindowShows;

// What the dialog showed once set up; a hidden button shows as "".
struct Seen {
    std::wstring caption, text, icons, yes, no;
};

Seen Look(ui::CPaintManagerUI& pm) {
    auto shown = [&](const wchar_t* name) {
        ui::CControlUI* control = pm.FindControl(name);
        return control && control->IsShown();
    };
    Seen seen;
    seen.caption = TextOf(pm, L"caption");
    seen.text = TextOf(pm, L"context");
    for (const wchar_t* icon : {L"infoLogo", L"errorLogo", L"warnLogo"})
        seen.icons += shown(icon) ? icon : L"";
    seen.yes = shown(L"btnYes") ? TextOf(pm, L"btnYes") : L"";
    seen.no = shown(L"btnClose") ? TextOf(pm, L"btnClose") : L"";
    return seen;
}

// Shows a message, looks at it and presses `press`.
int ShowAndPress(UINT style, const std::wstring& press, Seen* seen) {
    WhenWindowShows(ControlText(L"caption", L"提示信息"), [=](ui::CPaintManagerUI& pm) {
        *seen = Look(pm);
        Click(pm, press);
    });
    return ShowMessageDialog(nullptr, L"文件已存在", L"提示信息", style);
}

class MessageDialogTest : public testing::Test {
  protected:
    static void SetUpTestSuite() { testing_support::EnsureDialogEnvironment(); }
};

TEST_F(MessageDialogTest, StyleChoosesIconButtonsAndAnswer) {
    const struct {
        UINT style;
        const wchar_t *press, *icons, *yes, *no;
        int answer;
    } cases[] = {
        // Without MB_YESNO one confirming button remains, with the yes text, answering no.
        {MB_ICONINFORMATION, L"btnClose", L"infoLogo", L"", L"确定", IDNO},
        {MB_YESNO, L"btnYes", L"infoLogo", L"确定", L"取消", IDYES},
        {MB_YESNO, L"btnClose", L"infoLogo", L"确定", L"取消", IDNO},
        {MB_ICONERROR, L"btnClose", L"errorLogo", L"", L"确定", IDNO},
        {MB_ICONEXCLAMATION, L"btnClose", L"errorLogo", L"", L"确定", IDNO},
        {MB_ICONQUESTION | MB_YESNO, L"btnYes", L"warnLogo", L"确定", L"取消", IDYES},
    };
    for (const auto& c : cases) {
        Seen seen;
        EXPECT_EQ(ShowAndPress(c.style, c.press, &seen), c.answer) << c.style;
        EXPECT_EQ(seen.caption + L"|" + seen.text, L"提示信息|文件已存在");
        EXPECT_EQ(seen.icons, c.icons) << c.style;
        EXPECT_EQ(seen.yes + L"|" + seen.no, std::wstring(c.yes) + L"|" + c.no) << c.style;
    }
}

TEST_F(MessageDialogTest, OwnLabelsReplaceTheButtonTexts) {
    CMessageDlg dialog(L"正在压缩，确定退出吗？", L"退出", MB_YESNO);
    dialog.yesLabel = L"立即退出";
    dialog.noLabel = L"返回";
    Seen seen;
    WhenWindowShows(ControlText(L"caption", L"退出"), [&](ui::CPaintManagerUI& pm) {
        seen = Look(pm);
        Click(pm, L"btnYes");
    });
    ASSERT_NE(dialog.Create(nullptr, L"", kDialogWindowStyle, 0, 0, 0, 0, 0), nullptr);
    dialog.ShowModal();
    EXPECT_EQ(dialog.result, IDYES);
    EXPECT_EQ(seen.yes + L"|" + seen.no, L"立即退出|返回");
}

TEST_F(MessageDialogTest, TitleBarCloseAndClosingTheWindowAnswerNo) {
    WhenWindowShows(ControlText(L"caption", L"关闭"), [](ui::CPaintManagerUI& pm) {
        testing_support::ClickAt(pm, 364, 16);  // the title bar's own close button
    });
    EXPECT_EQ(ShowMessageDialog(nullptr, L"text", L"关闭", MB_YESNO), IDNO);
    WhenWindowShows(ControlText(L"caption", L"关闭"), [](ui::CPaintManagerUI& pm) {
        ::SendMessageW(pm.GetPaintHWND(), WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(ShowMessageDialog(nullptr, L"text", L"关闭", MB_YESNO), IDNO);
}

TEST_F(MessageDialogTest, MissingLanguageFileShowsEmptyTextsAndStillCloses) {
    Seen seen;
    WhenWindowShows(ControlText(L"caption", L""), [&](ui::CPaintManagerUI& pm) {
        seen = Look(pm);
        Click(pm, L"btnClose");
    });
    // No application paths in this process: no language file beside it.
    EXPECT_EQ(ShowMessage(L"PassErr", nullptr, MB_ICONINFORMATION), IDNO);
    EXPECT_EQ(seen.text, L"");
    EXPECT_EQ(seen.no, L"确定");
}

TEST_F(MessageDialogTest, WorkerThreadAsksWithTheOwnerOnTheUiThread) {
    CMessageDlg owner(L"主窗口", L"主窗口", MB_ICONINFORMATION);
    ASSERT_NE(owner.Create(nullptr, L"", kDialogWindowStyle, 0, 0, 0, 0, 0), nullptr);
    Seen seen;
    WhenWindowShows(ControlText(L"caption", L"更新"), [&](ui::CPaintManagerUI& pm) {
        seen = Look(pm);
        Click(pm, L"btnYes");
    });
    int answer = -1;
    std::thread worker([&] {
        answer = ShowMessageDialog(owner.GetHWND(), L"立即安装吗？", L"更新", MB_YESNO);
        PostQuitMessage(0);
    });
    // The UI thread goes on serving its windows while the worker waits for the answer.
    ui::CPaintManagerUI::MessageLoop();
    worker.join();
    EXPECT_EQ(answer, IDYES);
    EXPECT_EQ(seen.text, L"立即安装吗？");
    owner.Close(IDNO);
}

}  // namespace
