// The control tree as other code uses it: lookup, groups, list and combo bookkeeping.
#include <gtest/gtest.h>

#include "tests/ui/fakes.h"
#include "ui/controls/combo.h"
#include "ui/controls/label.h"
#include "ui/controls/list.h"
#include "ui/markup/builder.h"

namespace {

using ui_test::Window;

TEST(Lookup, DuplicateNamesWarnAndTheLastWinsWhileSubtreeSearchFindsEither) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,100"><VerticalLayout>
        <HorizontalLayout name="top"><Button name="btnClose" text="top"/></HorizontalLayout>
        <HorizontalLayout name="bottom"><Button name="btnClose" text="bottom"/></HorizontalLayout>
      </VerticalLayout></Window>)"));
    EXPECT_EQ(w.Find(L"btnClose")->GetText(), L"bottom");
    EXPECT_EQ(w.pm.GetWarnings().size(), 1u);
    EXPECT_EQ(w.pm.FindSubControlByName(w.Find(L"top"), L"btnClose")->GetText(), L"top");
    EXPECT_EQ(w.pm.FindSubControlByClass(nullptr, L"ButtonUI", 1)->GetText(), L"bottom");
    EXPECT_EQ(w.pm.FindSubControlByName(w.Find(L"top"), L"nothing"), nullptr);
}

TEST(Lookup, ControlsAddedLaterAreFoundAndRemovedOnesForgotten) {
    Window w;
    ASSERT_TRUE(w.Load(LR"(<Window size="100,100"><VerticalLayout name="v"/></Window>)"));
    auto* label = new ui::CLabelUI;
    label->SetName(L"late");
    w.Find<ui::CContainerUI>(L"v")->Add(label);
    EXPECT_EQ(w.Find(L"late"), label);
    EXPECT_EQ(label->GetManager(), &w.pm);
    w.Find<ui::CContainerUI>(L"v")->Remove(label);
    EXPECT_EQ(w.Find(L"late"), nullptr);
}

TEST(OptionGroups, GroupIsAppliedBeforeSelectedWhateverTheAttributeOrder) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,100"><VerticalLayout>
        <Option name="a" group="g" selected="true"/><Option name="b" selected="true" group="g"/>
      </VerticalLayout></Window>)"));
    // b joined the group before selecting itself, so a was cleared.
    EXPECT_FALSE(w.Find<ui::COptionUI>(L"a")->IsSelected());
    EXPECT_TRUE(w.Find<ui::COptionUI>(L"b")->IsSelected());
    EXPECT_EQ(w.pm.GetOptionGroup(L"g").size(), 2u);
}

TEST(OptionGroups, QuietSelectionStillKeepsTheGroupExclusiveAndDeletedMembersLeave) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,100"><VerticalLayout name="v">
        <Option name="a" group="g" selected="true"/><Option name="b" group="g"/></VerticalLayout></Window>)"));
    w.log.clear();
    w.Find<ui::COptionUI>(L"b")->Selected(true, false);
    EXPECT_FALSE(w.Find<ui::COptionUI>(L"a")->IsSelected());
    EXPECT_TRUE(w.log.empty());
    w.Find<ui::CContainerUI>(L"v")->RemoveAt(0);
    EXPECT_EQ(w.pm.GetOptionGroup(L"g").size(), 1u);
}

TEST(Lists, RowsFromOneParsedTemplateAndSelectionThatFollowsRemovals) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="200,200"><List name="FileList" itemheight="30"/></Window>)"));
    auto* list = w.Find<ui::CListUI>(L"FileList");
    // The first row reads the template; later ones are built from the parsed markup.
    ui::CDialogBuilder rows;
    ui::CControlUI* first =
        rows.Create(L"<ListContainerElement><Label name='fileName'/></ListContainerElement>", L"",
                    nullptr, &w.pm);
    ASSERT_TRUE(first && rows.GetMarkup()->IsValid());
    ASSERT_TRUE(list->Add(first));
    for (int i = 1; i < 4; ++i) {
        ui::CControlUI* row = rows.Create(nullptr, &w.pm);
        ASSERT_TRUE(list->Add(row));
        w.pm.FindSubControlByName(row, L"fileName")->SetText(L"f" + std::to_wstring(i));
    }
    EXPECT_EQ(list->GetCount(), 4);
    EXPECT_EQ(list->GetItemAt(3)->GetClass(), L"ListContainerElementUI");
    list->SelectItem(2, false, false);
    list->RemoveAt(0);
    EXPECT_EQ(list->GetCurSel(), 1);  // still the same row
    EXPECT_EQ(list->GetItemIndex(list->GetItemAt(1)), 1);
    list->RemoveAt(1);
    EXPECT_EQ(list->GetCurSel(), -1);
    w.pm.EnsureLayout();
    EXPECT_EQ(list->GetItemAt(1)->GetPos(), (RECT{0, 30, 200, 60}));
}

TEST(Combos, ItemsLentToTheDropDownStillCountAndKeepTheSelection) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,30"><Combo name="c">
        <ListLabelElement text="a"/><ListLabelElement text="b" selected="true"/></Combo></Window>)"));
    auto* combo = w.Find<ui::CComboUI>(L"c");
    std::vector<ui::CControlUI*> items = combo->TakeItems();
    EXPECT_EQ(items.size(), 2u);
    EXPECT_EQ(combo->GetCount(), 2);
    EXPECT_TRUE(combo->SelectItem(0));
    combo->ReturnItems(items);
    EXPECT_EQ(combo->GetCurSel(), 0);
    EXPECT_EQ(combo->GetText(), L"a");
    EXPECT_EQ(combo->GetItemAt(1)->GetManager(), &w.pm);
}

TEST(Combos, TheDropDownGoesBelowOrAboveAndTakesItsSizeFromTheSkin) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,30"><Combo name="c" dropboxsize="160,50"/></Window>)"));
    auto* combo = w.Find<ui::CComboUI>(L"c");
    EXPECT_EQ(combo->GetDropBoxSize(30), (SIZE{160, 34}));
    EXPECT_EQ(combo->GetDropBoxSize(300), (SIZE{160, 50}));
    const RECT screen{0, 0, 800, 600};
    EXPECT_EQ(ui::CComboUI::PlaceDropDown({10, 100, 110, 130}, {100, 80}, screen),
              (RECT{10, 130, 110, 210}));
    EXPECT_EQ(ui::CComboUI::PlaceDropDown({10, 550, 110, 580}, {100, 80}, screen),
              (RECT{10, 470, 110, 550}));
}

TEST(Markup, LabelsShowMarkupOnlyWhenAsked) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="200,60"><VerticalLayout>
        <Label text="{b}bold{/b}" showhtml="true"/><Label text="{b}raw{/b}"/></VerticalLayout></Window>)"));
    w.pm.Paint(w.render, {0, 0, 200, 60});
    ASSERT_NE(w.render.FindText(L"bold"), nullptr);
    EXPECT_TRUE(w.render.FindText(L"bold")->font.bold);
    EXPECT_NE(w.render.FindText(L"{b}raw{/b}"), nullptr);
}

TEST(Styles, AStyleAttributeAppliesTheNamedAttributeList) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,100">
        <Style name="dlg_close_style" value="width=&quot;32&quot; height=&quot;32&quot; text=&quot;x&quot;"/>
        <HorizontalLayout><Button name="b" style="dlg_close_style"/></HorizontalLayout></Window>)"));
    EXPECT_EQ(w.Find(L"b")->GetFixedWidth(), 32);
    EXPECT_EQ(w.Find(L"b")->GetText(), L"x");
}

TEST(HitTesting, NonFloatChildrenCountOnlyInsideTheInset) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,100"><Container name="box" inset="10,10,10,10">
        <Button name="inner" /><Button name="floater" float="true" pos="0,0,8,8"/></Container></Window>)"));
    EXPECT_EQ(w.pm.FindControl(POINT{50, 50})->GetName(), L"inner");
    EXPECT_EQ(w.pm.FindControl(POINT{95, 50})->GetName(), L"box");
    EXPECT_EQ(w.pm.FindControl(POINT{4, 4})->GetName(), L"floater");
}

}  // namespace

namespace {

TEST(ListHeader, HeaderItemsHoldFloatingControlsThatTakeClicks) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="300,200"><List name="list">
        <ListHeader height="36"><ListHeaderItem text="文件名">
            <Option name="checkSelectAll" float="true" pos="6,10,22,26"/>
            <Text name="btnDelete" float="true" pos="60,10,100,26" text="删除"/></ListHeaderItem>
          <ListHeaderItem text="大小" width="110"/></ListHeader></List></Window>)"));
    EXPECT_EQ(w.Find(L"btnDelete")->GetPos(), (RECT{60, 10, 100, 26}));
    w.log.clear();
    w.Click(L"checkSelectAll");
    EXPECT_EQ(w.log, (std::vector<std::wstring>{L"click:checkSelectAll",
                                                L"selectchanged:checkSelectAll"}));
    EXPECT_EQ(w.Find<ui::CListUI>(L"list")->GetColumnRect(1).left, 190);
}

TEST(TabLayout, RemovingTheCurrentPageShowsAnother) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,100"><TabLayout name="t" selectedid="1">
        <Control name="p0"/><Control name="p1"/><Control name="p2"/></TabLayout></Window>)"));
    auto* tabs = w.Find<ui::CTabLayoutUI>(L"t");
    EXPECT_EQ(tabs->GetCurSel(), 1);
    tabs->RemoveAt(1);
    EXPECT_EQ(tabs->GetCurSel(), 1);
    EXPECT_TRUE(w.Find(L"p2")->IsVisible());
    EXPECT_FALSE(w.Find(L"p0")->IsVisible());
}

TEST(Visibility, HiddenControlsTakeNoRoomAndComeBackWhenShown) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,100"><VerticalLayout>
        <Control name="a" height="30" visible="false"/><Control name="b"/></VerticalLayout></Window>)"));
    EXPECT_EQ(w.Find(L"b")->GetPos().top, 0);
    w.Find(L"a")->SetVisible(true);
    w.pm.EnsureLayout();
    EXPECT_EQ(w.Find(L"b")->GetPos().top, 30);
    EXPECT_EQ(w.pm.FindControl(POINT{10, 10})->GetName(), L"a");
}

}  // namespace
