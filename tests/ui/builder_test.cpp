#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/fakes.h"
#include "ui/controls/combo.h"
#include "ui/controls/label.h"
#include "ui/controls/list.h"
#include "ui/markup/builder.h"
#include "ui/markup/resources.h"

namespace {

class BuilderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::resources::ClearResourceZip();
        ui::resources::SetResourcePath(dir_.wpath());
    }
    void TearDown() override { ui::CPaintManagerUI::RemoveAllShared(); }
    void Write(const std::string& name, const std::string& text) {
        testing_support::WriteFile(dir_.File(name), text);
    }
    testing_support::TempDir dir_;
};

TEST_F(BuilderTest, DefaultsFontsAndOwnAttributesApplyInOrder) {
    ui_test::Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,100" caption="0,0,0,30">
        <Font id="0" name="Sans" size="14" default="true" />
        <Font id="1" name="Mono" size="20" bold="true" />
        <Default name="Button" value="textcolor=&quot;#FF112233&quot; height=&quot;40&quot;" />
        <VerticalLayout><Button name="a" text="A" /><Button name="b" text="B" height="25" font="1" />
        <Label name="c" text="C" font="9" /></VerticalLayout></Window>)"));
    EXPECT_EQ(w.Find(L"a")->GetFixedHeight(), 40);
    EXPECT_EQ(w.Find(L"b")->GetFixedHeight(), 25);  // own attribute after the Default list
    EXPECT_EQ(w.Find<ui::CLabelUI>(L"a")->GetTextColor(), 0xFF112233u);
    w.render.texts.clear();
    w.pm.Paint(w.render, {0, 0, 100, 100});
    EXPECT_EQ(w.render.FindText(L"B")->font.name, L"Mono");
    EXPECT_TRUE(w.render.FindText(L"B")->font.bold);
    EXPECT_EQ(w.render.FindText(L"C")->font.name, L"Sans");  // unknown id: the default font
    EXPECT_EQ(w.pm.GetInitSize(), (SIZE{100, 100}));
    EXPECT_EQ(w.pm.GetCaptionRect(), (RECT{0, 0, 0, 30}));
}

// Sizes no screen can show would overflow once scaled and measured: they are held to the limit.
TEST_F(BuilderTest, FontSizesStayWithinWhatAScreenCanShow) {
    ui_test::Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="100,100">
        <Font id="0" name="Sans" size="99999999999" /><Font id="1" name="Sans" size="-5" />
        <Label name="l" showhtml="true" /></Window>)"));
    EXPECT_EQ(w.pm.GetFont(0).size, ui::kMaxFontSize);
    EXPECT_EQ(w.pm.GetFont(1).size, 1);
    auto* label = w.Find<ui::CLabelUI>(L"l");
    label->SetText(L"<f Sans 2147483647>x</f>");
    w.render.texts.clear();
    w.pm.Paint(w.render, {0, 0, 100, 100});
    ASSERT_NE(w.render.FindText(L"x"), nullptr);
    EXPECT_EQ(w.render.FindText(L"x")->font.size, ui::kMaxFontSize);
}

TEST_F(BuilderTest, SharedDefaultsFromADefaultFileServeLaterWindows) {
    Write("Default.xml", R"(<Window><Font shared="true" id="3" name="Shared" size="16" />
        <Default shared="true" name="Label" value="textcolor=&quot;#FF00FF00&quot;" /></Window>)");
    ui::CPaintManagerUI loader;
    ui::CDialogBuilder b;
    b.Create(L"Default.xml", L"", nullptr, &loader);
    ui_test::Window w;
    ASSERT_TRUE(w.Load(LR"(<Window size="50,50"><Label name="l" font="3" /></Window>)"));
    EXPECT_EQ(w.Find<ui::CLabelUI>(L"l")->GetTextColor(), 0xFF00FF00u);
    EXPECT_EQ(w.pm.GetFont(3).name, L"Shared");
}

// Each window keeps the shared fonts it was built with: loading another skin that brings its
// own shared fonts (or the first ones) changes no window already showing.
TEST_F(BuilderTest, ALaterSkinNeverChangesTheFontsOfAWindowAlreadyBuilt) {
    Write(
        "Default.xml",
        R"(<Window><Font shared="true" id="2" name="Bold" size="12" bold="true" default="true"/></Window>)");
    Write("Other.xml",
          R"(<Window><Font shared="true" id="2" name="Thin" size="9" default="true"/></Window>)");
    ui_test::Window before;
    ASSERT_TRUE(before.Load(LR"(<Window size="50,50"><Label font="2" /></Window>)"));
    ui_test::Window main;
    ASSERT_TRUE(main.Load(
        LR"(<Window size="50,50"><Include source="Default.xml"/><Label font="2" /></Window>)"));
    ui_test::Window dialog;
    ASSERT_TRUE(dialog.Load(
        LR"(<Window size="50,50"><Include source="Other.xml"/><Label font="2" /></Window>)"));
    EXPECT_EQ(before.pm.GetFont(2).name, ui::FontInfo{}.name);
    EXPECT_FALSE(before.pm.GetFont(2).bold);
    EXPECT_EQ(main.pm.GetFont(2).name, L"Bold");
    EXPECT_TRUE(main.pm.GetFont(2).bold);
    EXPECT_EQ(main.pm.GetFont(-1).name, L"Bold");
    EXPECT_EQ(dialog.pm.GetFont(2).name, L"Thin");
}

TEST_F(BuilderTest, IncludeInsertsAnotherFileCountTimes) {
    Write("part.xml", R"(<HorizontalLayout><Button text="x" /></HorizontalLayout>)");
    ui_test::Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="50,50"><VerticalLayout name="v">
        <Include source="part.xml" count="3" /></VerticalLayout></Window>)"));
    EXPECT_EQ(w.Find<ui::CContainerUI>(L"v")->GetCount(), 3);
}

TEST_F(BuilderTest, IncludeOfItselfStopsInsteadOfRecursingForever) {
    Write("loop.xml", R"(<VerticalLayout><Include source="loop.xml" /></VerticalLayout>)");
    ui::CDialogBuilder b;
    ui::CControlUI* root = b.Create(L"loop.xml");
    ASSERT_NE(root, nullptr);
    EXPECT_NE(b.GetLastErrorMessage().find(L"too deep"), std::wstring::npos);
    delete root;
}

TEST_F(BuilderTest, UnknownTagsAreSkippedOrHandedToTheCallback) {
    struct Callback : ui::IDialogBuilderCallback {
        ui::CControlUI* CreateControl(std::wstring_view tag) override {
            return tag == L"Fancy" ? new ui::CLabelUI : nullptr;
        }
    } callback;
    ui::CPaintManagerUI pm;
    ui::CDialogBuilder b;
    auto* root = static_cast<ui::CContainerUI*>(
        b.Create(L"<VerticalLayout><Mystery name='m'><Button/></Mystery><Fancy name='f'/><Button "
                 L"name='b'/></VerticalLayout>",
                 L"", &callback, &pm));
    ASSERT_NE(root, nullptr);
    pm.AttachDialog(root);
    EXPECT_EQ(root->GetCount(), 2);
    EXPECT_EQ(pm.FindControl(L"m"), nullptr);
    EXPECT_NE(pm.FindControl(L"f"), nullptr);
}

TEST_F(BuilderTest, MalformedOrMissingSkinsAreRefusedWithAReason) {
    ui::CDialogBuilder b;
    EXPECT_EQ(b.Create(L"<Window><VerticalLayout></Window>"), nullptr);
    EXPECT_NE(b.GetLastErrorMessage().find(L"malformed"), std::wstring::npos);
    EXPECT_FALSE(b.GetMarkup()->IsValid());
    EXPECT_EQ(b.Create(L"absent.xml"), nullptr);
    EXPECT_NE(b.GetLastErrorMessage().find(L"absent.xml"), std::wstring::npos);
    EXPECT_EQ(b.Create(), nullptr);  // nothing parsed to rebuild from
}

TEST_F(BuilderTest, RebuildingFromParsedMarkupMakesIndependentTrees) {
    ui::CDialogBuilder b;
    ui::CControlUI* first = b.Create(L"<Label name='row' text='t'/>");
    ASSERT_TRUE(b.GetMarkup()->IsValid());
    ui::CControlUI* second = b.Create();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(second->GetText(), L"t");
    delete first;
    delete second;
}

TEST_F(BuilderTest, ComboItemsKeepMarkupAndThePreselectedItem) {
    ui_test::Window w;
    ASSERT_TRUE(
        w.Load(LR"(<Window size="120,30"><Combo name="dpi">
        <ListLabelElement text="{f 1}72{/f}" /><ListLabelElement text="&lt;f 微软雅黑 12&gt;150&lt;/f&gt;" />
        <ListLabelElement text="300" selected="true" /></Combo></Window>)"));
    auto* combo = w.Find<ui::CComboUI>(L"dpi");
    EXPECT_EQ(combo->GetCount(), 3);
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_EQ(combo->GetText(), L"300");
    combo->SelectItem(1, false, false);
    EXPECT_EQ(combo->GetText(), L"150");
}

}  // namespace

namespace {

TEST(SkinArchive, LayoutsAndImagesLoadFromTheZipWhateverTheRelativeSpelling) {
    ASSERT_TRUE(ui::resources::SetResourceZipFile(platform::Utf8ToWide(UI_TEST_SKIN_ZIP)));
    const auto a = ui::resources::Load(L"../default/icon/delete.png");
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a, ui::resources::Load(L"default\\icon\\delete.png"));
    EXPECT_EQ(a, ui::resources::Load(L"Default/Icon/Delete.png"));
    EXPECT_FALSE(ui::resources::Load(L"default/icon/none.png").has_value());
    ui_test::Window w;
    ui::CDialogBuilder builder;
    ui::CControlUI* root = builder.Create(L"showcase.xml", L"", nullptr, &w.pm);
    ASSERT_NE(root, nullptr) << builder.GetLastErrorMessage();
    w.pm.AttachDialog(root);
    w.pm.SetClientSize(w.pm.GetInitSize());
    EXPECT_EQ(w.pm.GetInitSize(), (SIZE{680, 470}));
    EXPECT_EQ(static_cast<ui::CListUI*>(w.pm.FindControl(L"FileList"))->GetCount(), 9);
    ui::resources::ClearResourceZip();
}

TEST(SkinArchive, ANonZipIsRefused) {
    const char junk[] = "not a zip";
    EXPECT_FALSE(ui::resources::SetResourceZip(junk, sizeof junk));
    EXPECT_FALSE(ui::resources::IsUsingZip());
}

}  // namespace
