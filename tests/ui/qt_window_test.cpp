// Real windows under Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <functional>
#include <thread>

#include "tests/support/qt_wait.h"
#include "ui/controls/combo.h"
#include "ui/controls/edit.h"
#include "ui/qt/host_widget.h"
#include "ui/qt/menu.h"
#include "ui/qt/qt_render.h"
#include "ui/qt/window_impl_base.h"

namespace {

constexpr UINT WM_PING = WM_USER + 40;

// A dialog whose skin is given as XML text, recording what reaches it.
class TestDlg : public ui::WindowImplBase {
  public:
    explicit TestDlg(std::wstring skin) : skin_(std::move(skin)) {}
    std::vector<std::wstring> events;
    std::atomic<int> pings{0};
    std::thread::id pingThread;
    std::vector<WPARAM> received;
    ui::MenuCmd lastMenu{};

    ui::CPaintManagerUI& pm() { return m_pm; }

  protected:
    const wchar_t* GetWindowClassName() const override { return L"BrindleDialogClass"; }
    std::wstring GetSkinFolder() override { return L""; }
    std::wstring GetSkinFile() override { return skin_; }
    void OnClick(ui::TNotifyUI& msg) override {
        if (msg.pSender->GetName() == L"btnYes")
            Close(IDYES);
    }
    void Notify(ui::TNotifyUI& msg) override {
        if (msg.sType != L"setfocus" && msg.sType != L"killfocus")
            events.push_back(msg.sType + L":" + msg.pSender->GetName());
        WindowImplBase::Notify(msg);
    }
    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) override {
        if (msg == WM_PING) {
            pingThread = std::this_thread::get_id();
            received.push_back(wParam);
            ++pings;
            handled = TRUE;
            return static_cast<LRESULT>(wParam) * 2;
        }
        if (msg == ui::WM_MENUCLICK) {
            lastMenu = *reinterpret_cast<ui::MenuCmd*>(wParam);
            ui::CPaintManagerUI::DeletePtr(reinterpret_cast<void*>(wParam));
            handled = TRUE;
            return 0;
        }
        return WindowImplBase::HandleCustomMessage(msg, wParam, lParam, handled);
    }

  private:
    std::wstring skin_;
};

const wchar_t* kSkin =
    LR"(<Window size="200,120" caption="0,0,0,30">
  <VerticalLayout bkcolor="#FF2050A0">
    <HorizontalLayout height="30" bkcolor="#FFFF0000"><Label name="caption" text="标题" textcolor="#FFFFFFFF"/></HorizontalLayout>
    <Edit name="edit" height="24" bkcolor="#FFFFFFFF" />
    <Combo name="combo" height="24"><ListLabelElement text="a"/><ListLabelElement text="b"/></Combo>
    <Control />
    <Button name="btnYes" height="20" bkcolor="#FF00FF00" />
  </VerticalLayout></Window>)";

using testing_support::WaitFor;

class QtWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ui::EnsureApplication(); }
    void TearDown() override { ui::CPaintManagerUI::SetAllDPI(96); }
    QPoint ClientPoint(TestDlg& dlg, const wchar_t* name) {
        const RECT rc = dlg.GetControlRect(name);
        const int m = dlg.GetWidget()->ShadowMargin();
        return QPoint((rc.left + rc.right) / 2 + m, (rc.top + rc.bottom) / 2 + m);
    }
};

TEST_F(QtWindowTest, SkinRendersAtItsSizeWithItsColours) {
    TestDlg dlg(kSkin);
    ASSERT_NE(dlg.Create(nullptr, L"t", WS_POPUP | WS_VISIBLE, 0), nullptr);
    ASSERT_TRUE(WaitFor([&] { return !dlg.events.empty(); }));
    EXPECT_EQ(dlg.events.front(), L"windowinit:");
    const QImage image = dlg.GetWidget()->grab().toImage();
    EXPECT_EQ(image.size(), QSize(200, 120));
    EXPECT_EQ(image.pixelColor(150, 10), QColor(0xFF, 0, 0));        // title bar
    EXPECT_EQ(image.pixelColor(100, 90), QColor(0x20, 0x50, 0xA0));  // window background
    EXPECT_EQ(image.pixelColor(100, 112), QColor(0, 0xFF, 0));       // the button at the bottom
    EXPECT_EQ(std::count(dlg.events.begin(), dlg.events.end(), L"windowinit:"), 1);
}

TEST_F(QtWindowTest, ClickingAButtonClosesAModalDialogWithItsCode) {
    TestDlg dlg(kSkin);
    ASSERT_NE(dlg.Create(nullptr, L"t", WS_POPUP | WS_VISIBLE, 0), nullptr);
    QTimer::singleShot(50, [&] {
        QTest::mouseClick(dlg.GetWidget(), Qt::LeftButton, {}, ClientPoint(dlg, L"btnYes"));
    });
    EXPECT_EQ(dlg.ShowModal(), static_cast<UINT>(IDYES));
    EXPECT_EQ(dlg.GetHWND(), nullptr);
    EXPECT_NE(std::find(dlg.events.begin(), dlg.events.end(), L"click:btnYes"), dlg.events.end());
}

// A label that sizes itself to its text must show the whole text, not an ellipsis.
TEST_F(QtWindowTest, TextDrawnInItsMeasuredWidthIsNeverElided) {
    const ui::FontInfo font{L"微软雅黑", 12};
    for (const std::wstring text : {L"季度报告.pdf", L"年度报告 2026.pdf", L"report.pdf"}) {
        ui::QtRender measure;
        const SIZE size = measure.MeasureText(text, font, 0);
        auto draw = [&](LONG width) {
            QImage image(300, size.cy, QImage::Format_ARGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            ui::QtRender render(&painter);
            render.DrawText({0, 0, width, size.cy}, text, 0xFF000000, font,
                            ui::DT_SINGLELINE | ui::DT_END_ELLIPSIS | ui::DT_LEFT);
            return image;
        };
        // Inside the measured width both must match; an elided text shows "…" there instead.
        const QRect inside(0, 0, size.cx - 1, size.cy);
        EXPECT_EQ(draw(size.cx).copy(inside), draw(300).copy(inside));
    }
}

TEST_F(QtWindowTest, ModalDialogAskedForOnAWorkerRunsOnTheUiThread) {
    std::atomic<UINT> result{0};
    std::atomic<bool> done{false};
    std::atomic<HWND> hwnd{nullptr};
    std::thread worker([&] {
        TestDlg dlg(kSkin);
        hwnd = dlg.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0);
        dlg.CenterWindow();
        result = dlg.ShowModal();
        done = true;
    });
    ASSERT_TRUE(WaitFor([&] { return hwnd.load() != nullptr; }));
    ui::CWindowWnd* wnd = ui::CWindowWnd::FromHandle(hwnd);
    ASSERT_NE(wnd, nullptr);
    // The worker blocks in ShowModal while the dialog runs modally on this thread.
    ASSERT_TRUE(WaitFor([&] {
        return wnd->GetWidget()->isVisible() && wnd->GetWidget()->windowModality() != Qt::NonModal;
    }));
    EXPECT_FALSE(done.load());
    ::PostMessageW(hwnd, WM_CLOSE, IDNO, 0);
    ASSERT_TRUE(WaitFor([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(result.load(), static_cast<UINT>(IDNO));
}

// The opener deletes its dialog as soon as ShowModal returns, so the window must be completely
// gone, OnFinalMessage included, by then.
TEST_F(QtWindowTest, ShowModalOnAWorkerReturnsOnlyAfterTheWindowIsGone) {
    class SlowFinalDlg : public TestDlg {
      public:
        using TestDlg::TestDlg;
        std::atomic<bool> finalDone{false};

      protected:
        void OnFinalMessage(HWND hwnd) override {
            TestDlg::OnFinalMessage(hwnd);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            finalDone = true;
        }
    };
    std::atomic<HWND> hwnd{nullptr};
    std::atomic<bool> finishedFirst{false}, done{false};
    std::thread worker([&] {
        SlowFinalDlg dlg(kSkin);
        hwnd = dlg.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0);
        dlg.ShowModal();
        finishedFirst = dlg.finalDone.load();
        done = true;
    });
    ASSERT_TRUE(WaitFor([&] {
        ui::CWindowWnd* wnd = ui::CWindowWnd::FromHandle(hwnd);
        return wnd && wnd->GetWidget()->windowModality() != Qt::NonModal;
    }));
    ::PostMessageW(hwnd, WM_CLOSE, IDNO, 0);
    ASSERT_TRUE(WaitFor([&] { return done.load(); }));
    worker.join();
    EXPECT_TRUE(finishedFirst.load());
}

// Two close requests in a row (a system close followed by the window's own) must close once,
// even though the fade-out of the first keeps the events running.
TEST_F(QtWindowTest, ASecondCloseRequestDuringTheFadeOutIsIgnored) {
    class FadingDlg : public TestDlg {
      public:
        using TestDlg::TestDlg;
        int closes = 0;

      protected:
        LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL& handled) override {
            ++closes;
            FadeInOut(100, ui::AW_HIDE);
            handled = FALSE;
            return 0;
        }
    };
    FadingDlg dlg(kSkin);
    const HWND hwnd = dlg.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0);
    ASSERT_NE(hwnd, nullptr);
    ::PostMessageW(hwnd, WM_CLOSE, 1, 0);
    ::PostMessageW(hwnd, WM_CLOSE, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(hwnd); }));
    EXPECT_EQ(dlg.closes, 1);
}

TEST_F(QtWindowTest, MessagesFromWorkersArriveOnTheUiThread) {
    TestDlg dlg(kSkin);
    const HWND hwnd = dlg.Create(nullptr, L"", WS_POPUP, 0);
    ASSERT_NE(hwnd, nullptr);
    std::atomic<LRESULT> answer{0};
    std::atomic<bool> sent{false};
    std::thread worker([&] {
        ::PostMessageW(hwnd, WM_PING, 1, 0);
        answer = ::SendMessageW(hwnd, WM_PING, 21, 0);
        sent = true;
    });
    ASSERT_TRUE(WaitFor([&] { return sent.load(); }));
    worker.join();
    EXPECT_EQ(answer.load(), 42);
    EXPECT_EQ(dlg.pings.load(), 2);
    EXPECT_EQ(dlg.pingThread, std::this_thread::get_id());
    EXPECT_EQ(dlg.SendMessageW(WM_PING, 5), 10);  // same thread: a direct call
}

TEST_F(QtWindowTest, ManyWorkersPostingKeepEachOnesOrder) {
    TestDlg dlg(kSkin);
    const HWND hwnd = dlg.Create(nullptr, L"", WS_POPUP, 0);
    constexpr int kWorkers = 4, kEach = 200;
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([hwnd, w] {
            for (int i = 0; i < kEach; ++i) {
                if (i % 50 == 49)
                    ::SendMessageW(hwnd, WM_PING, w * 1000 + i, 0);
                else
                    ::PostMessageW(hwnd, WM_PING, w * 1000 + i, 0);
            }
        });
    ASSERT_TRUE(WaitFor([&] { return dlg.pings.load() == kWorkers * kEach; }));
    for (auto& t : workers)
        t.join();
    std::vector<int> last(kWorkers, -1);
    for (WPARAM v : dlg.received) {
        const int w = static_cast<int>(v / 1000), i = static_cast<int>(v % 1000);
        EXPECT_EQ(i, last[w] + 1);
        last[w] = i;
    }
}

TEST_F(QtWindowTest, AWorkerSendingWhileTheUiThreadRunsAModalDialogIsAnswered) {
    TestDlg main(kSkin);
    const HWND hwnd = main.Create(nullptr, L"", WS_POPUP, 0);
    TestDlg dialog(kSkin);
    ASSERT_NE(dialog.Create(hwnd, L"", WS_POPUP | WS_VISIBLE, 0), nullptr);
    std::atomic<LRESULT> answer{0};
    std::thread worker;
    QTimer::singleShot(10, [&] {
        worker = std::thread([&] {
            answer = ::SendMessageW(hwnd, WM_PING, 4, 0);
            dialog.Close(IDOK);
        });
    });
    EXPECT_EQ(dialog.ShowModal(), static_cast<UINT>(IDOK));
    worker.join();
    EXPECT_EQ(answer.load(), 8);
}

TEST_F(QtWindowTest, ASenderWaitingOnAWindowThatGoesGetsZero) {
    auto* dlg = new TestDlg(kSkin);
    const HWND hwnd = dlg->Create(nullptr, L"", WS_POPUP, 0);
    std::atomic<LRESULT> answer{-1};
    std::thread worker([&] { answer = ::SendMessageW(hwnd, WM_PING, 21, 0); });
    // The window goes before the UI thread gets to the message.
    QThread::msleep(50);
    delete dlg;
    ASSERT_TRUE(WaitFor([&] { return answer.load() != -1; }));
    worker.join();
    EXPECT_EQ(answer.load(), 0);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_FALSE(::PostMessageW(hwnd, WM_PING, 0, 0));
}

TEST_F(QtWindowTest, EditBoxesAreNativeAndTypingReachesTheControl) {
    TestDlg dlg(kSkin);
    ASSERT_NE(dlg.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0), nullptr);
    auto* line = dlg.GetWidget()->findChild<QLineEdit*>();
    ASSERT_TRUE(WaitFor(
        [&] { return (line = dlg.GetWidget()->findChild<QLineEdit*>()) && line->isVisible(); }));
    QTest::keyClicks(line, QStringLiteral("secret"));
    EXPECT_EQ(dlg.GetDlgItemTextW(L"edit"), L"secret");
    EXPECT_NE(std::find(dlg.events.begin(), dlg.events.end(), L"textchanged:edit"),
              dlg.events.end());
    dlg.SetDlgItemTextW(L"edit", L"other");
    EXPECT_EQ(line->text(), QStringLiteral("other"));
    dlg.pm().FindControl(L"edit")->SetAttribute(L"password", L"true");
    EXPECT_EQ(line->echoMode(), QLineEdit::Password);
}

// Selecting and moving the cursor survive the window's next paint: Ctrl+A, Home and the other
// editing keys work in a password box.
TEST_F(QtWindowTest, EditingKeysInANativeBoxOutliveTheNextPaint) {
    TestDlg dlg(kSkin);
    ASSERT_NE(dlg.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0), nullptr);
    dlg.pm().FindControl(L"edit")->SetAttribute(L"password", L"true");
    QLineEdit* line = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] { return (line = dlg.GetWidget()->findChild<QLineEdit*>()) && line->isVisible(); }));
    auto paint = [&] {
        dlg.GetWidget()->update();
        WaitFor([] { return false; }, 50);
    };
    QTest::keyClicks(line, QStringLiteral("secret"));
    QTest::keyClick(line, Qt::Key_A, Qt::ControlModifier);
    paint();
    EXPECT_TRUE(line->hasSelectedText());
    QTest::keyClick(line, Qt::Key_Home);
    paint();
    EXPECT_EQ(line->cursorPosition(), 0);
    QTest::keyClick(line, Qt::Key_Delete);
    paint();
    EXPECT_EQ(dlg.GetDlgItemTextW(L"edit"), L"ecret");
}

TEST_F(QtWindowTest, NativeEditBoxesFollowTheirPageAndTheirState) {
    TestDlg dlg(
        LR"(<Window size="200,100"><TabLayout name="tabs">
        <VerticalLayout><Edit name="first" height="24"/><Control/></VerticalLayout>
        <VerticalLayout><Control height="30"/><Edit name="second" height="24" readonly="true"/><Control/></VerticalLayout>
      </TabLayout></Window>)");
    ASSERT_NE(dlg.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0), nullptr);
    auto boxes = [&] { return dlg.GetWidget()->findChildren<QLineEdit*>(); };
    ASSERT_TRUE(WaitFor([&] { return boxes().size() == 1 && boxes()[0]->isVisible(); }));
    static_cast<ui::CTabLayoutUI*>(dlg.pm().FindControl(L"tabs"))->SelectItem(1);
    ASSERT_TRUE(WaitFor([&] { return boxes().size() == 2; }));
    for (QLineEdit* box : boxes()) {
        // The first page's box went with its page; the second sits below the 30-pixel spacer.
        const bool second = box->isReadOnly();
        EXPECT_EQ(box->isVisible(), second);
        EXPECT_EQ(box->geometry().top() == 30, second);
    }
    dlg.EnableWindow(L"second", false);
    for (QLineEdit* box : boxes())
        EXPECT_EQ(box->isEnabled(), !box->isVisible());
}

TEST_F(QtWindowTest, ComboDropDownChoosesAnItem) {
    TestDlg dlg(kSkin);
    ASSERT_NE(dlg.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0), nullptr);
    ASSERT_TRUE(WaitFor([&] { return !dlg.events.empty(); }));
    QTest::mouseClick(dlg.GetWidget(), Qt::LeftButton, {}, ClientPoint(dlg, L"combo"));
    auto* combo = static_cast<ui::CComboUI*>(dlg.pm().FindControl(L"combo"));
    ASSERT_TRUE(combo->IsDropped());
    ui::HostWidget* popup = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowType() == Qt::Popup && w->isVisible())
            popup = static_cast<ui::HostWidget*>(w);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->width(), 200);
    const RECT second = combo->GetItemAt(1)->GetPos();
    QTest::mouseClick(popup, Qt::LeftButton, {}, QPoint(20, (second.top + second.bottom) / 2));
    ASSERT_TRUE(WaitFor([&] { return !combo->IsDropped(); }));
    EXPECT_EQ(combo->GetCurSel(), 1);
    EXPECT_EQ(combo->GetCount(), 2);
    EXPECT_NE(std::find(dlg.events.begin(), dlg.events.end(), L"itemselect:combo"),
              dlg.events.end());
}

// A window that would not fit its screen at the scale asked for takes the next of the engine's
// scales that fits, measured against the screen's real available area; its drop-down follows it.
TEST_F(QtWindowTest, AWindowTooLargeForItsScreenTakesASmallerScaleItsDropDownToo) {
    const QSize area = QGuiApplication::primaryScreen()->availableGeometry().size();
    // Too large at 1.5, small enough at 1.25.
    const QSize skin(area.width() * 7 / 10, area.height() * 6 / 10);
    std::wstring xml = kSkin;
    xml.replace(xml.find(L"200,120"), 7,
                std::to_wstring(skin.width()) + L"," + std::to_wstring(skin.height()));
    ui::CPaintManagerUI::SetAllDPI(144);
    TestDlg dlg(xml);
    ASSERT_NE(dlg.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0), nullptr);
    ASSERT_TRUE(WaitFor([&] { return !dlg.events.empty(); }));
    EXPECT_EQ(dlg.GetWidget()->ClientRect().size(), skin * 1.25);
    EXPECT_EQ(dlg.pm().ScaleValue(100), 125);

    QTest::mouseClick(dlg.GetWidget(), Qt::LeftButton, {}, ClientPoint(dlg, L"combo"));
    ui::HostWidget* popup = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowType() == Qt::Popup && w->isVisible())
            popup = static_cast<ui::HostWidget*>(w);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->GetPaintManager()->ScaleValue(100), 125);
    popup->close();
}

// Focusing an edit control puts the typing into its native box at once, its text selected.
TEST_F(QtWindowTest, AFocusedEditTakesTheKeysAtOnce) {
    TestDlg dlg(kSkin);
    ASSERT_NE(dlg.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0), nullptr);
    ASSERT_TRUE(WaitFor([&] { return !dlg.events.empty(); }));
    dlg.SetDlgItemTextW(L"edit", L"old");
    dlg.pm().FindControl(L"edit")->SetFocus();
    auto* box = qobject_cast<QLineEdit*>(dlg.GetWidget()->focusWidget());
    ASSERT_NE(box, nullptr);
    QTest::keyClicks(box, QStringLiteral("new"));
    EXPECT_EQ(dlg.GetDlgItemTextW(L"edit"), L"new");
}

TEST_F(QtWindowTest, ADialogThatGoesWithItsDropDownOpenTakesTheDropDownAlong) {
    auto* dlg = new TestDlg(kSkin);
    ASSERT_NE(dlg->Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0), nullptr);
    ASSERT_TRUE(WaitFor([&] { return !dlg->events.empty(); }));
    QTest::mouseClick(dlg->GetWidget(), Qt::LeftButton, {}, ClientPoint(*dlg, L"combo"));
    ASSERT_TRUE(static_cast<ui::CComboUI*>(dlg->pm().FindControl(L"combo"))->IsDropped());
    delete dlg;
    WaitFor([] { return false; }, 50);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->windowType() == Qt::Popup && w->isVisible());
}

TEST_F(QtWindowTest, ChosenMenuItemReachesTheOwnerWithItsName) {
    TestDlg dlg(kSkin);
    ASSERT_NE(dlg.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0), nullptr);
    ui::CMenuWnd menu;
    menu.Init(nullptr,
              LR"(<Window><Menu><MenuElement name="menuUpdate" text="检查更新" width="110"/>
        <MenuElement name="menuAbout" text="关于我们"/></Menu></Window>)",
              {100, 100}, &dlg.pm());
    ASSERT_NE(menu.GetHWND(), nullptr);
    ui::HostWidget* widget = menu.GetWidget();
    EXPECT_EQ(widget->width(), 112);  // the row's width and the frame
    const RECT about = menu.GetPaintManager().FindControl(L"menuAbout")->GetPos();
    QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(30, (about.top + about.bottom) / 2));
    ASSERT_TRUE(WaitFor([&] { return dlg.lastMenu.szName[0] != 0; }));
    EXPECT_EQ(std::wstring(dlg.lastMenu.szName), L"menuAbout");
    ASSERT_TRUE(WaitFor([&] { return menu.GetHWND() == nullptr; }));
}

// A dialog is typed and stacked as the dialog of its owner, titled by its caption, and brings
// a minimised owner back with it.
TEST_F(QtWindowTest, AnOwnedDialogIsTransientForItsOwnerTitledByItsCaptionAndBringsItBack) {
    TestDlg owner(kSkin);
    const HWND ownerHwnd = owner.Create(nullptr, L"Brindle", WS_POPUP | WS_VISIBLE, 0);
    ASSERT_NE(ownerHwnd, nullptr);
    EXPECT_EQ(owner.GetWidget()->windowType(), Qt::Window);
    EXPECT_EQ(owner.GetWidget()->windowTitle(), QStringLiteral("Brindle"));  // its own name wins
    owner.GetWidget()->showMinimized();

    TestDlg dialog(kSkin);
    ASSERT_NE(dialog.Create(ownerHwnd, L"", WS_POPUP | WS_VISIBLE, 0), nullptr);
    QWidget* widget = dialog.GetWidget();
    EXPECT_EQ(widget->windowType(), Qt::Dialog);
    EXPECT_EQ(widget->windowTitle(), QStringLiteral("标题"));
    dialog.SetDlgItemTextW(L"caption", L"提示");
    EXPECT_EQ(widget->windowTitle(), QStringLiteral("提示"));
    bool ownerBack = false;
    QTimer::singleShot(50, [&] {
        ASSERT_NE(widget->windowHandle(), nullptr);
        EXPECT_EQ(widget->windowHandle()->transientParent(), owner.GetWidget()->windowHandle());
        ownerBack = owner.GetWidget()->isVisible() && !owner.GetWidget()->isMinimized();
        dialog.Close(IDOK);
    });
    EXPECT_EQ(dialog.ShowModal(), static_cast<UINT>(IDOK));
    EXPECT_TRUE(ownerBack);
}

// Centred windows stay on their screen; one larger than the screen keeps its caption there.
TEST_F(QtWindowTest, CentredWindowsStayOnTheScreenCaptionFirst) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    auto clientOnScreen = [](TestDlg& dlg) {
        ui::HostWidget* w = dlg.GetWidget();
        return QRect(w->mapToGlobal(w->ClientRect().topLeft()), w->ClientRect().size());
    };
    TestDlg big(kSkin);
    ASSERT_NE(big.Create(nullptr, L"", WS_POPUP, 0, 0, 0, area.width() + 300, area.height() + 200),
              nullptr);
    big.CenterWindow();
    EXPECT_EQ(clientOnScreen(big).topLeft(), area.topLeft());

    TestDlg owner(kSkin);
    const HWND ownerHwnd = owner.Create(nullptr, L"", WS_POPUP, 0);
    owner.MoveTo(area.right() - 60, area.bottom() - 30);  // kept on screen as well
    EXPECT_TRUE(area.contains(clientOnScreen(owner)));
    owner.GetWidget()->move(area.right() - 60, area.bottom() - 30);  // moved off by hand
    TestDlg dialog(kSkin);
    ASSERT_NE(dialog.Create(ownerHwnd, L"", WS_POPUP, 0), nullptr);
    dialog.CenterWindow();
    EXPECT_TRUE(area.contains(clientOnScreen(dialog)));
}

// An idle window costs nothing: once it has painted, nothing repaints it until something
// changes. A native edit box restyled at every paint used to make each paint ask for the next.
TEST_F(QtWindowTest, AnIdleWindowWithAnEditBoxDoesNotRepaint) {
    class PaintCounter : public QObject {
      public:
        int paints = 0;

      protected:
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint)
                ++paints;
            return false;
        }
    } counter;
    // Its box is read-only, like the main window's: no blinking cursor repaints it either.
    TestDlg dlg(
        LR"(<Window size="200,60"><VerticalLayout>
        <Edit name="e" height="24" text="/home" enabled="false" readonly="true"/><Control/>
        </VerticalLayout></Window>)");
    ASSERT_NE(dlg.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0), nullptr);
    dlg.GetWidget()->installEventFilter(&counter);
    ASSERT_TRUE(WaitFor([&] { return counter.paints > 0; }));
    WaitFor([] { return false; }, 200);  // the first frames settle
    counter.paints = 0;
    WaitFor([] { return false; }, 500);
    EXPECT_EQ(counter.paints, 0);
}

// The file and folder dialogs are the toolkit's own: they speak the program's language.
TEST_F(QtWindowTest, ToolkitTranslationsFollowTheProgramsLanguage) {
    const QString english = QStringLiteral("Look in:");
    EXPECT_FALSE(ui::LoadToolkitTranslations(L""));
    ASSERT_TRUE(ui::LoadToolkitTranslations(L"zh_CN"));
    const QString simplified = QCoreApplication::translate("QFileDialog", "Look in:");
    EXPECT_NE(simplified, english);
    ASSERT_TRUE(ui::LoadToolkitTranslations(L"zh_TW"));
    const QString traditional = QCoreApplication::translate("QFileDialog", "Look in:");
    EXPECT_NE(traditional, english);
    EXPECT_NE(traditional, simplified);
}

TEST_F(QtWindowTest, DpiScalesAWindowOnceAndShadowAddsAMargin) {
    ui::CPaintManagerUI::SetAllDPI(144);
    TestDlg dlg(kSkin);
    ASSERT_NE(dlg.Create(nullptr, L"", WS_POPUP, 0), nullptr);
    EXPECT_EQ(dlg.GetWidget()->ClientRect().size(), QSize(300, 180));
    ui::CPaintManagerUI::SetAllDPI(144);  // again: still 1.5, not 2.25
    EXPECT_EQ(dlg.pm().ScaleValue(100), 150);
    EXPECT_EQ(dlg.GetWidget()->ClientRect().size(), QSize(300, 180));
    ui::CPaintManagerUI::SetAllDPI(96);  // a live window follows a change
    EXPECT_EQ(dlg.GetWidget()->ClientRect().size(), QSize(200, 120));
    ui::CPaintManagerUI::SetAllDPI(144);
    dlg.pm().GetDPIObj()->SetDevicePixelRatio(1.5);  // Qt already scales: nothing left to add
    EXPECT_EQ(dlg.pm().ScaleValue(100), 100);
    dlg.pm().SetWindowAttribute(L"shadowsize", L"6");
    dlg.EnableShadow(true);
    EXPECT_EQ(dlg.GetWidget()->ShadowMargin(), 6);
}

}  // namespace
