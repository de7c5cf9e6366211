// Window behaviour beyond the basics: drawing of skin images, modality and ownership, keys,
// fades, menus with submenus, and the message loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/text.h"
#include "tests/support/qt_wait.h"
#include "ui/qt/host_widget.h"
#include "ui/qt/menu.h"
#include "ui/qt/window_impl_base.h"

namespace {

class SkinDlg : public ui::WindowImplBase {
  public:
    SkinDlg(std::wstring folder, std::wstring file)
        : folder_(std::move(folder)), file_(std::move(file)) {}
    ui::CPaintManagerUI& pm() { return m_pm; }
    ui::MenuCmd lastMenu{};
    bool finalMessage = false;

  protected:
    const wchar_t* GetWindowClassName() const override { return L"BrindleDialogClass"; }
    std::wstring GetSkinFolder() override { return folder_; }
    std::wstring GetSkinFile() override { return file_; }
    void OnFinalMessage(HWND hwnd) override {
        WindowImplBase::OnFinalMessage(hwnd);
        finalMessage = true;
    }
    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) override {
        if (msg != ui::WM_MENUCLICK)
            return WindowImplBase::HandleCustomMessage(msg, wParam, lParam, handled);
        lastMenu = *reinterpret_cast<ui::MenuCmd*>(wParam);
        ui::CPaintManagerUI::DeletePtr(reinterpret_cast<void*>(wParam));
        handled = TRUE;
        return 0;
    }

  private:
    std::wstring folder_;
    std::wstring file_;
};

const std::wstring kSkinDir = platform::Utf8ToWide(UI_TEST_SKIN_DIR) + L"/";

using testing_support::WaitFor;

QImage Grab(SkinDlg& dlg) {
    WaitFor([] { return false; }, 50);
    return dlg.GetWidget()->grab().toImage();
}

class QtBehaviourTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ui::EnsureApplication(); }
    void SetUp() override { ui::CPaintManagerUI::SetResourcePath(kSkinDir); }
};

TEST_F(QtBehaviourTest, SkinImagesShadowAndRoundCornersReachThePixels) {
    SkinDlg dlg(kSkinDir, L"showcase.xml");
    ASSERT_NE(dlg.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0), nullptr);
    const QImage image = Grab(dlg);
    const int m = dlg.GetWidget()->ShadowMargin();
    EXPECT_EQ(m, 8);
    EXPECT_EQ(image.size(), QSize(680 + 2 * m, 470 + 2 * m));
    EXPECT_LT(image.pixelColor(m, m).alpha(), 128);  // cut by the round corner: only shadow there
    EXPECT_GT(image.pixelColor(m - 1, 200).alpha(), 40);  // shadow next to the window
    EXPECT_LT(image.pixelColor(0, 200).alpha(), 10);      // fading outward
    // The "确定" button's normal image is the first state of btn.png, stretched by nine-slice.
    const RECT ok = dlg.GetControlRect(L"btnOk");
    EXPECT_EQ(image.pixelColor(m + ok.left + 20, m + ok.top + 3), QColor(0x4A, 0x7B, 0xE8));
}

TEST_F(QtBehaviourTest, ASkinThatCannotBeBuiltFailsCreationCleanly) {
    SkinDlg dlg(kSkinDir, L"missing.xml");
    EXPECT_EQ(dlg.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0), nullptr);
    EXPECT_EQ(dlg.ShowModal(), static_cast<UINT>(-1));
    EXPECT_FALSE(dlg.finalMessage);
}

TEST_F(QtBehaviourTest, EscapeClosesADialogOwnedByAnotherAndTheOwnerStays) {
    SkinDlg owner(kSkinDir, L"showcase.xml");
    ASSERT_NE(owner.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0), nullptr);
    SkinDlg dlg(kSkinDir, L"row.xml");
    ASSERT_NE(dlg.Create(owner.GetHWND(), L"", WS_POPUP | WS_VISIBLE, 0, 0, 0, 200, 40), nullptr);
    dlg.CenterWindow();
    EXPECT_EQ(dlg.GetWidget()->frameGeometry().center(),
              owner.GetWidget()->frameGeometry().center());
    QTimer::singleShot(30, [&] { QTest::keyClick(dlg.GetWidget(), Qt::Key_Escape); });
    EXPECT_EQ(dlg.ShowModal(), static_cast<UINT>(IDCANCEL));
    EXPECT_TRUE(dlg.finalMessage);
    EXPECT_TRUE(::IsWindow(owner.GetHWND()));
}

TEST_F(QtBehaviourTest, ClosingAnOwnerTakesItsOwnedWindowsWithIt) {
    SkinDlg owner(kSkinDir, L"showcase.xml");
    ASSERT_NE(owner.Create(nullptr, L"", WS_POPUP, 0), nullptr);
    SkinDlg dlg(kSkinDir, L"row.xml");
    ASSERT_NE(dlg.Create(owner.GetHWND(), L"", WS_POPUP, 0, 0, 0, 200, 40), nullptr);
    const HWND owned = dlg.GetHWND();
    owner.Close(IDOK);
    ASSERT_TRUE(WaitFor([&] { return owner.GetHWND() == nullptr; }));
    EXPECT_FALSE(::IsWindow(owned));
    EXPECT_TRUE(dlg.finalMessage);
}

TEST_F(QtBehaviourTest, DeletingAnOwnerThatIsStillOpenClosesItsOwnedWindowsToo) {
    auto* owner = new SkinDlg(kSkinDir, L"showcase.xml");
    ASSERT_NE(owner->Create(nullptr, L"", WS_POPUP, 0), nullptr);
    SkinDlg dlg(kSkinDir, L"row.xml");
    ASSERT_NE(dlg.Create(owner->GetHWND(), L"", WS_POPUP, 0, 0, 0, 200, 40), nullptr);
    const HWND owned = dlg.GetHWND();
    delete owner;
    EXPECT_FALSE(::IsWindow(owned));
    EXPECT_TRUE(dlg.finalMessage);
    EXPECT_EQ(dlg.GetWidget(), nullptr);
}

TEST_F(QtBehaviourTest, FadeOutEndsTransparent) {
    SkinDlg dlg(kSkinDir, L"row.xml");
    ASSERT_NE(dlg.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0, 0, 0, 100, 40), nullptr);
    dlg.FadeInOut(60, ui::AW_HIDE | ui::AW_BLEND);
    EXPECT_DOUBLE_EQ(dlg.GetWidget()->windowOpacity(), 0.0);
}

TEST_F(QtBehaviourTest, SubmenusOpenBesideTheirRowAndTheirChoiceReachesTheOwner) {
    SkinDlg dlg(kSkinDir, L"showcase.xml");
    ASSERT_NE(dlg.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0), nullptr);
    ui::CStdStringPtrMap checks;
    ui::MenuItemInfo state{L"menuTop", true};
    checks.Insert(L"menuTop", &state);
    ui::CMenuWnd menu;
    menu.Init(nullptr,
              LR"(<Window><Menu><MenuElement name="menuTop" text="置顶" checkitem="true"/>
        <MenuElement name="more" text="更多"><MenuElement name="menuFeedback" text="反馈"/></MenuElement>
        </Menu></Window>)",
              {50, 50}, &dlg.pm(), &checks);
    auto* top = static_cast<ui::CMenuElementUI*>(menu.GetPaintManager().FindControl(L"menuTop"));
    EXPECT_TRUE(top->GetChecked());  // from the check map
    const RECT more = menu.GetPaintManager().FindControl(L"more")->GetPos();
    QTest::mouseClick(menu.GetWidget(), Qt::LeftButton, {},
                      QPoint(20, (more.top + more.bottom) / 2));
    ui::HostWidget* sub = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->windowType() == Qt::Popup && w->isVisible() && w != menu.GetWidget())
                sub = static_cast<ui::HostWidget*>(w);
        return sub != nullptr;
    }));
    EXPECT_GE(sub->x(), menu.GetWidget()->x() + menu.GetWidget()->width() - 1);
    QTest::mouseClick(sub, Qt::LeftButton, {}, QPoint(20, 10));
    ASSERT_TRUE(WaitFor([&] { return dlg.lastMenu.szName[0] != 0; }));
    EXPECT_EQ(std::wstring(dlg.lastMenu.szName), L"menuFeedback");
    ASSERT_TRUE(WaitFor([&] { return menu.GetHWND() == nullptr; }));
}

TEST_F(QtBehaviourTest, TheMessageLoopRunsUntilTheQuitMessage) {
    QTimer::singleShot(20, [] { PostQuitMessage(3); });
    EXPECT_EQ(ui::CPaintManagerUI::MessageLoop(), 3);
}

}  // namespace
