// Painting and behaviour of individual controls, through the recording render.
#include <gtest/gtest.h>

#include "tests/ui/fakes.h"
#include "ui/controls/combo.h"
#include "ui/controls/edit.h"
#include "ui/controls/label.h"
#include "ui/controls/list.h"
#include "ui/controls/menu_controls.h"
#include "ui/controls/progress.h"
#include "ui/controls/scrollbar.h"

namespace {

using ui_test::Window;

std::vector<std::wstring> PaintedFiles(Window& w) {
    w.render.images.clear();
    w.pm.Paint(w.render, {0, 0, 1000, 1000});
    std::vector<std::wstring> files;
    for (const auto& image : w.render.images)
        files.push_back(image.file);
    return files;
}

TEST(ControlPaint, LayersGoBackgroundImageStateTextBorderAndLaterSiblingsOnTop) {
    Window w;
    w.render.bitmaps = {{L"bk.png", {10, 10}}, {L"n.png", {10, 10}}};
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,100"><Container>
        <Button name="b" text="T" bkcolor="#FF112233" bkimage="bk.png" normalimage="n.png" bordercolor="#FF445566" bordersize="1"/>
        <Control name="cover" float="true" pos="0,0,10,10" bkcolor="#FF778899" /></Container></Window>)"));
    EXPECT_EQ(PaintedFiles(w), (std::vector<std::wstring>{L"bk.png", L"n.png"}));
    ASSERT_GE(w.render.fills.size(), 2u);
    EXPECT_EQ(w.render.fills.front().second, 0xFF112233u);
    EXPECT_EQ(w.render.fills.back().second, 0xFF778899u);  // the later sibling paints over
    ASSERT_NE(w.render.FindText(L"T"), nullptr);
}

TEST(ControlPaint, TransparentColoursAreNotPainted) {
    Window w;
    ASSERT_TRUE(w.Load(LR"(<Window size="50,50"><Control bkcolor="#00FF0000" /></Window>)"));
    w.render.fills.clear();
    w.pm.Paint(w.render, {0, 0, 50, 50});
    EXPECT_TRUE(w.render.fills.empty());
}

TEST(ButtonStates, DisabledOverPushedOverHotOverNormalWithFallback) {
    Window w;
    for (const wchar_t* f : {L"n.png", L"h.png", L"p.png", L"d.png"})
        w.render.bitmaps[f] = {4, 4};
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,40"><HorizontalLayout>
        <Button name="b" normalimage="n.png" hotimage="h.png" pushedimage="p.png" disabledimage="d.png"/>
        <Button name="plain" normalimage="n.png"/></HorizontalLayout></Window>)"));
    EXPECT_EQ(PaintedFiles(w).front(), L"n.png");
    w.pm.OnMouseMove({10, 10});
    EXPECT_EQ(PaintedFiles(w).front(), L"h.png");
    w.pm.OnButtonDown({10, 10});
    EXPECT_EQ(PaintedFiles(w).front(), L"p.png");
    w.pm.OnButtonUp({10, 10});
    w.Find(L"b")->SetEnabled(false);
    EXPECT_EQ(PaintedFiles(w).front(), L"d.png");
    w.pm.OnMouseMove({60, 10});  // a button without a hot image keeps its normal one
    EXPECT_EQ(PaintedFiles(w).back(), L"n.png");
}

TEST(ButtonStates, SelectedOptionDrawsItsSelectedImage) {
    Window w;
    w.render.bitmaps = {{L"off.png", {4, 4}}, {L"on.png", {4, 4}}};
    ASSERT_TRUE(w.Load(
        LR"(<Window size="40,40"><Option name="o" normalimage="off.png" selectedimage="on.png"/></Window>)"));
    EXPECT_EQ(PaintedFiles(w), std::vector<std::wstring>{L"off.png"});
    w.Click(L"o");
    EXPECT_EQ(PaintedFiles(w), std::vector<std::wstring>{L"on.png"});
}

// A disabled option still tells whether it is selected: greyed, not emptied.
TEST(ButtonStates, DisabledOptionKeepsItsSelectedLookGreyed) {
    Window w;
    w.render.bitmaps = {{L"off.png", {4, 4}}, {L"on.png", {4, 4}}, {L"on-grey.png", {4, 4}}};
    ASSERT_TRUE(
        w.Load(LR"(<Window size="80,40"><HorizontalLayout>
        <Option name="o" normalimage="off.png" selectedimage="on.png" selected="true" enabled="false"/>
        <Option name="own" normalimage="off.png" selectedimage="on.png" selecteddisabledimage="on-grey.png" selected="true" enabled="false"/>
        </HorizontalLayout></Window>)"));
    EXPECT_EQ(PaintedFiles(w), (std::vector<std::wstring>{L"on.png", L"on-grey.png"}));
    EXPECT_LT(w.render.images[0].fade, 255);
    EXPECT_EQ(w.render.images[1].fade, 255);
    static_cast<ui::COptionUI*>(w.Find(L"o"))->Selected(false);
    EXPECT_EQ(PaintedFiles(w).front(), L"off.png");
    EXPECT_EQ(w.render.images[0].fade, 255);
}

// A button pressed with the mouse must not keep the keyboard focus: a later Return would press
// it again (and reopen the file dialog it opened). An edit box does take the focus.
TEST(ButtonStates, PressedButtonLeavesTheFocusAndReturnDoesNotPressItAgain) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,60"><VerticalLayout>
        <Button name="b" height="20"/><Edit name="e" height="20"/><Control/></VerticalLayout></Window>)"));
    w.Click(L"e");
    EXPECT_EQ(w.pm.GetFocus(), w.Find(L"e"));
    w.Click(L"b");
    EXPECT_EQ(w.pm.GetFocus(), nullptr);
    w.log.clear();
    w.pm.OnKeyDown(ui::VK_RETURN, L'\r');
    w.pm.OnKeyDown(' ', L' ');
    EXPECT_TRUE(w.log.empty());
}

TEST(ImagesInControls, DestIsScaledAndBkImageCanBeChangedWithAttributeText) {
    Window w;
    w.render.bitmaps = {{L"../default/icon/green_arrow.png", {16, 16}}};
    ASSERT_TRUE(w.Load(
        LR"(<Window size="100,40"><HorizontalLayout><Label name="ratio" width="90"/></HorizontalLayout></Window>)"));
    w.Find(L"ratio")->SetBkImage(L"file='../default/icon/green_arrow.png' dest='10,9,26,25'");
    PaintedFiles(w);
    ASSERT_EQ(w.render.images.size(), 1u);
    EXPECT_EQ(w.render.images[0].piece.dst, (RECT{10, 9, 26, 25}));
}

TEST(Labels, TextPaddingAlignmentAndAutoWidth) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="300,40"><HorizontalLayout>
        <Label name="auto" text="abcdef" autocalcwidth="true" textpadding="2,0,2,0" maxwidth="30"/>
        <Label name="rest" text="x" textpadding="4,3,5,6" align="right"/></HorizontalLayout></Window>)"));
    // Six characters of 6 pixels plus padding would be 40: the maximum wins.
    EXPECT_EQ(w.Find(L"auto")->GetPos(), (RECT{0, 0, 30, 40}));
    w.render.texts.clear();
    w.pm.Paint(w.render, {0, 0, 300, 40});
    const ui_test::DrawnText* rest = w.render.FindText(L"x");
    ASSERT_NE(rest, nullptr);
    EXPECT_EQ(rest->rc, (RECT{34, 3, 295, 34}));
    EXPECT_TRUE(w.Find<ui::CLabelUI>(L"rest")->GetTextStyle() & ui::DT_RIGHT);
}

TEST(Progress, FillFollowsTheValueAndCutsTheForegroundBitmap) {
    Window w;
    w.render.bitmaps = {{L"fg.png", {200, 16}}};
    ASSERT_TRUE(w.Load(
        LR"(<Window size="100,16"><Progress name="p" min="10" max="110" value="60" foreimage="fg.png"/></Window>)"));
    auto* p = w.Find<ui::CProgressUI>(L"p");
    EXPECT_EQ(p->GetFillRect(), (RECT{0, 0, 50, 16}));
    PaintedFiles(w);
    ASSERT_EQ(w.render.images.size(), 1u);
    EXPECT_EQ(w.render.images[0].piece.src, (RECT{0, 0, 100, 16}));
    p->SetValue(500);  // out of range values are clamped
    EXPECT_EQ(p->GetFillRect(), (RECT{0, 0, 100, 16}));
    p->SetMaxValue(p->GetMinValue());
    EXPECT_TRUE(ui::IsEmpty(p->GetFillRect()));
}

class ScrollTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(w.Load(
            LR"(<Window size="100,100"><VerticalLayout name="v" vscrollbar="true" scrollstepsize="10">
            <Control height="100"/><Control height="100"/><Control name="last" height="100"/></VerticalLayout></Window>)"));
        v = w.Find<ui::CContainerUI>(L"v");
        bar = v->GetVerticalScrollBar();
    }
    Window w;
    ui::CContainerUI* v = nullptr;
    ui::CScrollBarUI* bar = nullptr;
};

TEST_F(ScrollTest, OverflowShowsTheBarAndNarrowsTheContent) {
    ASSERT_TRUE(bar->IsVisible());
    EXPECT_EQ(bar->GetScrollRange(), 200);
    EXPECT_EQ(bar->GetPos(), (RECT{84, 0, 100, 100}));
    EXPECT_EQ(w.Find(L"last")->GetPos(), (RECT{0, 200, 84, 300}));
}

TEST_F(ScrollTest, WheelAndArrowButtonsMoveTheChildrenWithinTheRange) {
    w.pm.OnWheel({20, 20}, -120);  // down by three lines
    EXPECT_EQ(v->GetScrollPos().cy, 30);
    EXPECT_EQ(w.Find(L"last")->GetPos().top, 170);
    w.Click(POINT{90, 95});  // the lower arrow button
    EXPECT_EQ(v->GetScrollPos().cy, 40);
    v->SetScrollPos({0, 5000});
    EXPECT_EQ(v->GetScrollPos().cy, 200);
    w.pm.OnWheel({20, 20}, 120 * 100);
    EXPECT_EQ(v->GetScrollPos().cy, 170);
}

// Rows that fit leave the wheel nothing to do: it must end at the list, not bounce between the
// list and its body for ever.
TEST(Wheel, AListWhoseRowsFitIgnoresTheWheelAndALongerOneScrolls) {
    for (const int rows : {0, 3, 12}) {
        for (const wchar_t* bar : {L"true", L"false"}) {
            std::wstring xml =
                LR"(<Window size="200,150"><List name="l" itemheight="30" vscrollbar=")";
            xml += bar;
            xml += LR"("><ListHeader height="20"><ListHeaderItem text="h"/></ListHeader>)";
            for (int i = 0; i < rows; ++i)
                xml += LR"(<ListContainerElement><Label text="row"/></ListContainerElement>)";
            xml += L"</List></Window>";
            Window w;
            ASSERT_TRUE(w.Load(xml));
            auto* list = w.Find<ui::CListUI>(L"l");
            w.pm.OnWheel({50, 40}, -120);  // over the first row (or the empty body)
            w.pm.OnWheel({50, 10}, -120);  // over the header
            const bool scrolls = rows == 12 && std::wstring(bar) == L"true";
            EXPECT_EQ(list->GetList()->GetScrollPos().cy > 0, scrolls) << rows << " " << bar;
        }
    }
}

TEST_F(ScrollTest, DraggingTheThumbScrollsProportionally) {
    bar->SetShowButton1(false);
    bar->SetShowButton2(false);
    const RECT thumb = bar->GetThumbRect();
    const LONG x = (thumb.left + thumb.right) / 2;
    w.pm.OnButtonDown({x, thumb.top + 1});
    w.pm.OnMouseMove({x, thumb.top + 1 + (100 - (thumb.bottom - thumb.top)) / 2});
    w.pm.OnButtonUp({x, 50});
    EXPECT_NEAR(v->GetScrollPos().cy, 100, 2);
}

TEST_F(ScrollTest, HidingTheBarWhenTheContentShrinks) {
    v->RemoveAt(2);
    v->RemoveAt(1);
    w.pm.EnsureLayout();
    EXPECT_FALSE(bar->IsVisible());
    EXPECT_EQ(v->GetScrollPos().cy, 0);
}

TEST(Edits, TheHostMirrorsEditsAndTheEngineMasksPasswordsItDraws) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,60"><VerticalLayout>
        <Edit name="e" text="abc" password="true" textpadding="3,0,3,0"/><Control/></VerticalLayout></Window>)"));
    auto* e = w.Find<ui::CEditUI>(L"e");
    EXPECT_NE(std::find(w.host.syncedEdits.begin(), w.host.syncedEdits.end(), e),
              w.host.syncedEdits.end());
    EXPECT_EQ(e->GetEditRect(), (RECT{3, 0, 97, 22}));
    w.render.texts.clear();
    w.pm.Paint(w.render, {0, 0, 100, 60});
    EXPECT_NE(w.render.FindText(L"***"), nullptr);
    EXPECT_EQ(w.render.FindText(L"abc"), nullptr);
    e->SetNativeActive(true);  // the native box draws the text then
    w.render.texts.clear();
    w.pm.Paint(w.render, {0, 0, 100, 60});
    EXPECT_TRUE(w.render.texts.empty());
    w.log.clear();
    e->OnNativeTextChanged(L"abcd");
    EXPECT_EQ(e->GetText(), L"abcd");
    EXPECT_EQ(w.log, std::vector<std::wstring>{L"textchanged:e"});
}

// Choosing an item is reported even when it is the one already shown; a combo without a
// current item shows its own text.
TEST(Combos, ChoosingTheCurrentItemAgainIsReportedAndNoItemShowsTheComboText) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,30"><Combo name="c">
        <ListLabelElement text="72"/><ListLabelElement text="300" selected="true"/></Combo></Window>)"));
    auto* combo = w.Find<ui::CComboUI>(L"c");
    w.log.clear();
    ui::TEventUI press;
    press.Type = ui::UIEVENT_BUTTONDOWN;
    press.pSender = combo->GetItemAt(1);
    combo->GetItemAt(1)->DoEvent(press);
    EXPECT_EQ(w.log, (std::vector<std::wstring>{L"itemclick:", L"itemselect:c"}));
    combo->SelectItem(1);  // a selection by the program that changes nothing stays quiet
    EXPECT_EQ(w.log.size(), 2u);

    combo->SelectItem(-1, false, false);
    combo->SetText(L"200");
    EXPECT_EQ(combo->GetText(), L"200");
    w.render.texts.clear();
    w.pm.Paint(w.render, {0, 0, 100, 30});
    EXPECT_NE(w.render.FindText(L"200"), nullptr);
}

// The window's title is its "caption" control's text, and follows it.
TEST(Caption, TheHostIsToldTheCaptionTextAndItsChanges) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,30"><Container>
        <Label name="caption" text="提示"/></Container></Window>)"));
    EXPECT_EQ(w.host.caption, L"提示");
    w.Find(L"caption")->SetText(L"密码");
    EXPECT_EQ(w.host.caption, L"密码");
}

TEST(Keyboard, ListArrowsMoveTheSelectionAndEnterActivates) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,100"><List name="l" itemheight="20">
        <ListLabelElement name="a" text="a"/><ListLabelElement name="b" text="b"/></List></Window>)"));
    w.Click(POINT{10, 5});
    w.log.clear();
    EXPECT_TRUE(w.pm.OnKeyDown(ui::VK_DOWN, 0));
    EXPECT_TRUE(w.pm.OnKeyDown(ui::VK_DOWN, 0));  // stays on the last row
    EXPECT_TRUE(w.pm.OnKeyDown(ui::VK_RETURN, 0));
    EXPECT_EQ(w.log, (std::vector<std::wstring>{L"itemselect:l", L"itemactivate:l"}));
    EXPECT_EQ(w.Find<ui::CListUI>(L"l")->GetCurSel(), 1);
}

// A skin that puts a row outside any list once crashed the first paint.
TEST(Menus, ARowOutsideAnyMenuPaintsInTheWindowsTextColour) {
    Window w;
    ASSERT_TRUE(w.Load(
        LR"(<Window size="100,40"><MenuElement checkitem="true" ischeck="true" /></Window>)"));
    w.pm.Paint(w.render, {0, 0, 100, 40});
    ASSERT_NE(w.render.FindText(L"✓"), nullptr);
    EXPECT_EQ(w.render.FindText(L"✓")->color, w.pm.GetDefaultFontColor());
}

TEST(Menus, RowsSizeTheMenuAndSeparatorsTakeNoClicks) {
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="200,200"><Menu name="m">
        <MenuElement name="a" text="abc" width="110" />
        <MenuElement linetype="true" />
        <MenuElement name="sub" text="more"><MenuElement name="inner" text="x"/></MenuElement></Menu></Window>)"));
    auto* menu = w.Find<ui::CMenuUI>(L"m");
    const SIZE size = menu->PreferredSize(80);
    EXPECT_EQ(size.cx, 110 + 2);  // the rows plus the menu's frame
    EXPECT_EQ(size.cy, 28 + 9 + 28 + 4);
    EXPECT_TRUE(static_cast<ui::CMenuElementUI*>(w.Find(L"sub"))->HasSubMenu());
    EXPECT_EQ(w.pm.FindControl(POINT{50, 34}), menu->GetList());  // the separator lets it through
    w.log.clear();
    w.Click(POINT{50, 12});
    EXPECT_EQ(w.log, std::vector<std::wstring>{L"itemclick:a"});
}

TEST(Dpi, ScaledWindowsLayOutAndDrawOneAndAHalfTimesLarger) {
    struct Reset {
        ~Reset() { ui::CPaintManagerUI::SetAllDPI(96); }
    } reset;
    ui::CPaintManagerUI::SetAllDPI(144);
    Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="200,100"><VerticalLayout inset="10,10,10,10">
        <Label name="l" text="x" /><Button name="b" height="20" width="40" /></VerticalLayout></Window>)"));
    EXPECT_EQ(w.pm.GetClientSize(), (SIZE{300, 150}));
    EXPECT_EQ(w.Find(L"b")->GetPos().right - w.Find(L"b")->GetPos().left, 60);
    EXPECT_EQ(w.Find(L"l")->GetPos().top, 15);
    EXPECT_EQ(w.pm.GetFont(-1).size, 18);
    w.pm.SetDPI(96);  // the live window shrinks back through its host
    EXPECT_EQ(w.host.resized, (SIZE{200, 100}));
}

// A window takes the largest of the engine's scales, up to the one asked for, at which it fits
// the available area of its screen, and 1.0 when none fits; all windows share that scale.
TEST(Dpi, EveryWindowTakesTheLargestScaleAtWhichAllFitTheirScreens) {
    struct Reset {
        ~Reset() { ui::CPaintManagerUI::SetAllDPI(96); }
    } reset;
    const std::wstring mainSkin = LR"(<Window size="850,580"><Control /></Window>)";
    const std::pair<SIZE, SIZE> cases[] = {{{1920, 1080}, {1275, 870}},
                                           {{1366, 768}, {1063, 725}},
                                           {{1280, 800}, {1063, 725}},
                                           {{1024, 600}, {850, 580}},
                                           {{800, 480}, {850, 580}}};
    for (const auto& [screen, client] : cases) {
        ui::CPaintManagerUI::SetAllDPI(144);
        Window w;
        w.host.workArea = screen;
        ASSERT_TRUE(w.Load(mainSkin));
        EXPECT_EQ(w.pm.GetClientSize(), client) << screen.cx << "x" << screen.cy;
        // A live window is fitted when the scale is chosen, too.
        ui::CPaintManagerUI::SetAllDPI(96);
        ui::CPaintManagerUI::SetAllDPI(192);
        EXPECT_EQ(w.host.resized, client) << screen.cx << "x" << screen.cy;
    }

    // A small dialog beside the main window on a small screen takes the main window's scale.
    ui::CPaintManagerUI::SetAllDPI(96);
    Window main;
    main.host.workArea = {1024, 600};
    ASSERT_TRUE(main.Load(mainSkin));
    Window dialog;
    dialog.host.workArea = {1024, 600};
    ASSERT_TRUE(dialog.Load(LR"(<Window size="300,200"><Control /></Window>)"));
    ui::CPaintManagerUI::SetAllDPI(144);
    EXPECT_EQ(main.pm.GetClientSize(), (SIZE{850, 580}));
    EXPECT_EQ(dialog.pm.ScaleValue(100), 100);
    Window later;
    later.host.workArea = {1024, 600};
    ASSERT_TRUE(later.Load(LR"(<Window size="300,200"><Control /></Window>)"));
    EXPECT_EQ(later.pm.GetClientSize(), (SIZE{300, 200}));
}

// Where Qt already scales the screen by 1.5 and the window does not fit even so, the engine
// takes part of Qt's scale back: the window is drawn at 1.0 on the screen's pixels.
TEST(Dpi, AWindowTooLargeForQtsOwnScaleIsDrawnSmallerThanQtWould) {
    Window w;
    w.pm.GetDPIObj()->SetDevicePixelRatio(1.5);
    w.host.workArea = {683, 400};  // 1024 x 600 in Qt's units at 1.5
    ASSERT_TRUE(w.Load(LR"(<Window size="850,580"><Control /></Window>)"));
    EXPECT_EQ(w.pm.GetClientSize(), (SIZE{567, 387}));
    EXPECT_EQ(w.pm.ScaleValue(12), 8);
}

}  // namespace
