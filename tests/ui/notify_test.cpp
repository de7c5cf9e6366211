#include <gtest/gtest.h>

#include "tests/ui/fakes.h"
#include "ui/controls/combo.h"
#include "ui/controls/label.h"
#include "ui/controls/list.h"

namespace {

using Log = std::vector<std::wstring>;

const wchar_t* kOptions =
    LR"(<Window size="300,200"><VerticalLayout>
    <HorizontalLayout height="30">
      <Option name="o1" group="g" selected="true" width="60" />
      <Option name="o2" group="g" width="60" />
      <Option name="check" width="60" />
      <Button name="off" enabled="false" width="60" />
    </HorizontalLayout>
    <Combo name="combo" height="30"><ListLabelElement name="i0" text="a"/><ListLabelElement name="i1" text="b"/></Combo>
    <Control /></VerticalLayout></Window>)";

TEST(Notifications, WindowInitIsSentOnceAfterTheFirstLayout) {
    ui_test::Window w;
    ASSERT_TRUE(w.Load(kOptions));
    EXPECT_EQ(w.log, Log{L"windowinit:"});
    EXPECT_EQ(w.Find(L"o1")->GetPos(), (RECT{0, 0, 60, 30}));
    w.pm.SetClientSize({400, 300});
    w.pm.NeedUpdate();
    w.pm.EnsureLayout();
    EXPECT_EQ(w.log, Log{L"windowinit:"});
}

TEST(Notifications, OptionClickComesBeforeTheToggleAndGroupsStayExclusive) {
    ui_test::Window w;
    ASSERT_TRUE(w.Load(kOptions));
    auto* o1 = w.Find<ui::COptionUI>(L"o1");
    auto* o2 = w.Find<ui::COptionUI>(L"o2");
    bool selectedAtClick = true;
    o2->AddNotifier([&](ui::TNotifyUI& msg) {
        if (msg.sType == L"click")
            selectedAtClick = o2->IsSelected();
    });
    w.log.clear();
    w.Click(L"o2");
    EXPECT_FALSE(selectedAtClick);
    EXPECT_TRUE(o2->IsSelected());
    EXPECT_FALSE(o1->IsSelected());
    // The member that lost the selection changes silently.
    EXPECT_EQ(w.log, (Log{L"click:o2", L"selectchanged:o2"}));
    w.log.clear();
    w.Click(L"o2");  // already selected: the click arrives, nothing changes
    EXPECT_EQ(w.log, Log{L"click:o2"});
    EXPECT_TRUE(o2->IsSelected());
}

TEST(Notifications, UngroupedOptionTogglesAndSelectingQuietlySendsNothing) {
    ui_test::Window w;
    ASSERT_TRUE(w.Load(kOptions));
    auto* check = w.Find<ui::COptionUI>(L"check");
    w.log.clear();
    w.Click(L"check");
    w.Click(L"check");
    EXPECT_FALSE(check->IsSelected());
    EXPECT_EQ(w.log, (Log{L"click:check", L"selectchanged:check", L"click:check",
                          L"selectchanged:check"}));
    w.log.clear();
    check->Selected(true, false);
    EXPECT_TRUE(check->IsSelected());
    EXPECT_TRUE(w.log.empty());
}

TEST(Notifications, ComboOpensItsDropDownAndReportsTheNewItem) {
    ui_test::Window w;
    ASSERT_TRUE(w.Load(kOptions));
    auto* combo = w.Find<ui::CComboUI>(L"combo");
    w.log.clear();
    w.Click(L"combo");
    ASSERT_EQ(w.host.dropDowns.size(), 1u);
    ui::TNotifyUI seen;
    combo->AddNotifier([&](ui::TNotifyUI& msg) { seen = msg; });
    combo->SelectItem(1);
    EXPECT_EQ(w.log, (Log{L"dropdown:combo", L"itemselect:combo"}));
    EXPECT_EQ(seen.wParam, 1u);
    EXPECT_EQ(seen.lParam, -1);
    EXPECT_EQ(combo->GetCurSel(), 1);
}

TEST(HitTesting, TopmostFirstMouseTransparencyAndDisabledControls) {
    ui_test::Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,100"><Container name="root">
        <Button name="under" />
        <Button name="over" float="true" pos="0,0,50,50" />
        <Control name="glass" float="true" pos="0,0,20,20" mouse="false" />
        <Button name="off" float="true" pos="60,60,90,90" enabled="false" />
        <Container name="box" float="true" pos="50,0,100,40" mousechild="false"><Button name="hidden"/></Container>
      </Container></Window>)"));
    EXPECT_EQ(w.pm.FindControl(POINT{10, 10})->GetName(), L"over");  // through the glass
    EXPECT_EQ(w.pm.FindControl(POINT{10, 70})->GetName(), L"under");
    EXPECT_EQ(w.pm.FindControl(POINT{70, 20})->GetName(), L"box");
    EXPECT_EQ(w.pm.FindControl(POINT{70, 70})->GetName(), L"off");
    w.log.clear();
    w.Click(POINT{70, 70});  // a disabled control swallows the press without a click
    EXPECT_TRUE(w.log.empty());
    w.Click(POINT{10, 10});
    EXPECT_EQ(w.log, Log{L"click:over"});
}

TEST(HitTesting, ReleasingOutsideTheButtonIsNoClick) {
    ui_test::Window w;
    ASSERT_TRUE(w.Load(
        LR"(<Window size="100,100"><VerticalLayout><Button name="b" height="50"/></VerticalLayout></Window>)"));
    w.log.clear();
    w.pm.OnButtonDown({10, 10});
    w.pm.OnMouseMove({10, 80});
    w.pm.OnButtonUp({10, 80});
    EXPECT_TRUE(w.log.empty());
    EXPECT_EQ(w.host.captures, 0);
}

TEST(HitTesting, ListRowsSelectOnPressAndTheCaptionIgnoresButtons) {
    ui_test::Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="200,200" caption="0,0,0,40"><VerticalLayout>
        <HorizontalLayout height="40"><Button name="close" width="40"/></HorizontalLayout>
        <List name="list" itemheight="20">
          <ListContainerElement name="r0"><Label name="l0"/></ListContainerElement>
          <ListContainerElement name="r1"><Button name="del" /></ListContainerElement>
        </List></VerticalLayout></Window>)"));
    EXPECT_FALSE(w.pm.IsCaptionAt({10, 10}));
    EXPECT_TRUE(w.pm.IsCaptionAt({100, 10}));
    EXPECT_FALSE(w.pm.IsCaptionAt({100, 50}));
    w.log.clear();
    w.Click(POINT{100, 45});
    EXPECT_EQ(w.log, (Log{L"itemclick:r0", L"itemselect:list"}));
    EXPECT_EQ(w.Find<ui::CListUI>(L"list")->GetCurSel(), 0);
    w.log.clear();
    w.Click(POINT{100, 65});  // the row's button takes the press, not the row
    EXPECT_EQ(w.log, Log{L"click:del"});
}

TEST(Lifetime, RemovingAControlUnderTheMouseLeavesNoDanglingState) {
    ui_test::Window w;
    ASSERT_TRUE(w.Load(
        LR"(<Window size="100,100"><VerticalLayout name="v"><Button name="b"/></VerticalLayout></Window>)"));
    w.pm.OnMouseMove({10, 10});
    w.pm.OnButtonDown({10, 10});
    auto* v = w.Find<ui::CContainerUI>(L"v");
    v->RemoveAt(0);
    w.pm.OnButtonUp({10, 10});
    w.pm.OnMouseMove({20, 20});
    EXPECT_EQ(w.pm.FindControl(L"b"), nullptr);
}

}  // namespace

namespace {

TEST(WindowFrame, SizeBoxEdgesOnlyInsideAResizableWindow) {
    ui_test::Window fixed;
    ASSERT_TRUE(fixed.Load(LR"(<Window size="100,100"><Control/></Window>)"));
    EXPECT_EQ(fixed.pm.SizeBoxHitAt({1, 1}), 0);
    ui_test::Window sizable;
    ASSERT_TRUE(sizable.Load(LR"(<Window size="100,100" sizebox="4,4,6,6"><Control/></Window>)"));
    EXPECT_EQ(sizable.pm.SizeBoxHitAt({1, 1}), 1 | 2);
    EXPECT_EQ(sizable.pm.SizeBoxHitAt({96, 50}), 4);
    EXPECT_EQ(sizable.pm.SizeBoxHitAt({50, 50}), 0);
    EXPECT_EQ(sizable.pm.SizeBoxHitAt({-3, 50}), 0);  // the shadow margin is no frame
}

}  // namespace
