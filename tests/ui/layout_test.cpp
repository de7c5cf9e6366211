#include <limits>

#include <gtest/gtest.h>

#include "tests/ui/fakes.h"
#include "ui/controls/list.h"
#include "ui/controls/scrollbar.h"
#include "ui/core/geometry.h"
#include "ui/layout/layout.h"
#include "ui/markup/builder.h"

namespace {

using ui::Align;
using ui::LayoutItem;
using ui::LayoutLinear;

LayoutItem Fixed(LONG cy) {
    LayoutItem item;
    item.fixed.cy = cy;
    return item;
}

TEST(LinearLayout, FixedChildrenKeepSizeAndTheLastAdjustableTakesTheRemainder) {
    // 100 high: 20 fixed, 80 left for three adjustable children -> 26, 26, 28.
    const auto r =
        LayoutLinear(true, {0, 0, 50, 100}, {Fixed(20), {}, {}, {}}, 0, Align::Start, Align::Start);
    EXPECT_EQ(r.rects[0], (RECT{0, 0, 50, 20}));
    EXPECT_EQ(r.rects[1], (RECT{0, 20, 50, 46}));
    EXPECT_EQ(r.rects[2], (RECT{0, 46, 50, 72}));
    EXPECT_EQ(r.rects[3], (RECT{0, 72, 50, 100}));
}

TEST(LinearLayout, PaddingChildPaddingAndClampingShapeTheStack) {
    LayoutItem a = Fixed(30);
    a.max.cy = 25;  // fixed sizes are clamped too
    LayoutItem b;
    b.padding = {5, 3, 5, 2};
    b.max.cy = 40;  // the adjustable child would get 100 - 25 - 5 - 4 = 66
    LayoutItem hidden;
    hidden.skip = true;
    const auto r =
        LayoutLinear(true, {10, 10, 110, 110}, {a, hidden, b}, 4, Align::Start, Align::Start);
    EXPECT_EQ(r.rects[0], (RECT{10, 10, 110, 35}));
    EXPECT_EQ(r.rects[1], (RECT{}));
    EXPECT_EQ(r.rects[2], (RECT{15, 42, 105, 82}));
    EXPECT_EQ(r.needed, 25 + 4 + 3 + 40 + 2);
}

TEST(LinearLayout, MinimumWinsOverAnEmptyRemainderAndOverflowIsReported) {
    LayoutItem a = Fixed(80);
    LayoutItem b;
    b.min.cy = 50;
    const auto r = LayoutLinear(true, {0, 0, 10, 100}, {a, b}, 0, Align::Start, Align::Start);
    EXPECT_EQ(r.rects[1], (RECT{0, 80, 10, 130}));
    EXPECT_EQ(r.needed, 130);
}

TEST(LinearLayout, AlignmentAcrossAndAlong) {
    LayoutItem item;
    item.fixed = {20, 10};
    const auto centred = LayoutLinear(false, {0, 0, 100, 40}, {item}, 0, Align::Center, Align::End);
    EXPECT_EQ(centred.rects[0], (RECT{40, 30, 60, 40}));
    const auto end = LayoutLinear(true, {0, 0, 100, 40}, {item}, 0, Align::End, Align::Center);
    EXPECT_EQ(end.rects[0], (RECT{40, 30, 60, 40}));
}

TEST(FloatPlacement, OriginIsTheParentAndFactorsMoveEachEdge) {
    EXPECT_EQ(ui::PlaceFloat({100, 50, 300, 150}, {10, 5, 30, 25}, {}), (RECT{110, 55, 130, 75}));
    EXPECT_EQ(ui::PlaceFloat({0, 0, 200, 100}, {-20, 0, 0, 10}, {1, 0.5, 1, 0.5}),
              (RECT{180, 50, 200, 60}));
}

// A skin may give any numbers: edges beyond the range end at its limit, and a factor is a share.
TEST(FloatPlacement, EdgesStayInRangeAndFactorsAreShares) {
    constexpr LONG kMax = std::numeric_limits<LONG>::max();
    EXPECT_EQ(ui::PlaceFloat({100, 0, 300, 100}, {kMax, 0, kMax, 10}, {}),
              (RECT{kMax, 0, kMax, 10}));
    ui_test::Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="200,100"><VerticalLayout>
        <Control name="f" float="1e300,-5,nan,0.5" pos="0,0,250,10" /></VerticalLayout></Window>)"));
    EXPECT_EQ(w.Find(L"f")->GetPos(), (RECT{200, 0, 250, 60}));
}

TEST(SkinLayout, VerticalLayoutWithInsetTextEstimatesAndFloats) {
    ui_test::Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="200,300">
      <VerticalLayout name="root" inset="10,10,10,10" childpadding="5">
        <Label name="title" text="Title" />
        <Control name="fill" />
        <Button name="ok" height="30" width="80" />
        <Control name="badge" float="true" pos="5,6,25,16" />
      </VerticalLayout></Window>)"));
    // A label without a height estimates font height (12 + 2) + 8.
    EXPECT_EQ(w.Find(L"title")->GetPos(), (RECT{10, 10, 190, 32}));
    EXPECT_EQ(w.Find(L"fill")->GetPos(), (RECT{10, 37, 190, 255}));
    EXPECT_EQ(w.Find(L"ok")->GetPos(), (RECT{10, 260, 90, 290}));
    // Floats ignore the inset: they sit at the parent's origin plus pos.
    EXPECT_EQ(w.Find(L"badge")->GetPos(), (RECT{5, 6, 25, 16}));
}

TEST(SkinLayout, HorizontalLayoutStretchesTextControlsWithoutAWidth) {
    ui_test::Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="300,40"><HorizontalLayout>
        <Button name="a" width="100" /><Label name="b" text="x" /><Control name="c" width="50" />
      </HorizontalLayout></Window>)"));
    EXPECT_EQ(w.Find(L"b")->GetPos(), (RECT{100, 0, 250, 40}));
    EXPECT_EQ(w.Find(L"c")->GetPos(), (RECT{250, 0, 300, 40}));
}

TEST(SkinLayout, TabLayoutShowsOneChildAndSelectingSwitchesAndNotifies) {
    ui_test::Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,100"><TabLayout name="tabs">
        <Control name="p0" /><Control name="p1" /><Control name="p2" />
      </TabLayout></Window>)"));
    auto* tabs = w.Find<ui::CTabLayoutUI>(L"tabs");
    EXPECT_EQ(tabs->GetCurSel(), 0);
    EXPECT_TRUE(w.Find(L"p0")->IsVisible());
    EXPECT_FALSE(w.Find(L"p1")->IsVisible());
    w.log.clear();
    EXPECT_TRUE(tabs->SelectItem(2));
    w.pm.EnsureLayout();
    EXPECT_FALSE(w.Find(L"p0")->IsVisible());
    EXPECT_EQ(w.Find(L"p2")->GetPos(), (RECT{0, 0, 100, 100}));
    EXPECT_EQ(w.log, std::vector<std::wstring>{L"tabselect:tabs"});
    EXPECT_FALSE(tabs->SelectItem(7));
}

TEST(SkinLayout, ListRowsSnapToHeaderColumnsAndOverflowShowsTheScrollBar) {
    ui_test::Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="300,100"><List name="list" itemheight="30" vscrollbar="true">
        <ListHeader height="20"><ListHeaderItem text="A" /><ListHeaderItem text="B" width="100" /></ListHeader>
      </List></Window>)"));
    auto* list = w.Find<ui::CListUI>(L"list");
    for (int i = 0; i < 4; ++i) {
        ui::CDialogBuilder b;
        auto* row = b.Create(
            L"<ListContainerElement><Label name='c0'/><Label name='c1'/></ListContainerElement>",
            L"", nullptr, &w.pm);
        ASSERT_TRUE(list->Add(row));
    }
    w.pm.EnsureLayout();
    EXPECT_EQ(list->GetCount(), 4);
    ui::CScrollBarUI* bar = list->GetVerticalScrollBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(bar->GetScrollRange(), 4 * 30 - 80);
    auto* row = static_cast<ui::CContainerUI*>(list->GetItemAt(1));
    // Column 0 is what the header leaves after column 1's 100 pixels.
    EXPECT_EQ(row->GetItemAt(0)->GetPos(), (RECT{0, 50, 200, 80}));
    EXPECT_EQ(row->GetItemAt(1)->GetPos(), (RECT{200, 50, 300, 80}));
    EXPECT_TRUE(list->RemoveAt(0));
    EXPECT_EQ(list->GetCount(), 3);
}

}  // namespace
