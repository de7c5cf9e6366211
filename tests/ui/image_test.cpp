#include <gtest/gtest.h>

#include "tests/ui/fakes.h"
#include "ui/core/attributes.h"
#include "ui/core/geometry.h"
#include "ui/core/image.h"
#include "ui/core/text_markup.h"
#include "ui/markup/resources.h"

namespace {

TEST(AttributeValues, ColoursRectsAndBooleans) {
    EXPECT_EQ(ui::ParseColor(L"#FF616CC8"), 0xFF616CC8u);
    EXPECT_EQ(ui::ParseColor(L"0x80102030"), 0x80102030u);
    EXPECT_EQ(ui::ParseColor(L"#00FFFFFF"), 0x00FFFFFFu);  // alpha 0 stays transparent
    EXPECT_EQ(ui::ParseColor(L"#123456"), 0xFF123456u);
    EXPECT_EQ(ui::ParseRect(L"1, 2,3"), (RECT{1, 2, 3, 0}));
    EXPECT_TRUE(ui::ParseBool(L"true"));
    EXPECT_FALSE(ui::ParseBool(L"TRUE"));
    EXPECT_FALSE(ui::ParseBool(L"1"));
}

TEST(ImageString, BareFileNameAndKeyValuePairs) {
    EXPECT_EQ(ui::ParseDrawInfo(L"../default/icon/x.png").file, L"../default/icon/x.png");
    const ui::DrawInfo s = ui::ParseDrawInfo(
        L"file='a b.png' source='12,0,24,21' corner='2,2,2,2' dest='10,9,26,25' fade='128' "
        L"mask='#FFFF00FF' hole='true' xtiled='true' unknown='x'");
    EXPECT_EQ(s.file, L"a b.png");
    EXPECT_EQ(s.source, (RECT{12, 0, 24, 21}));
    EXPECT_EQ(s.corner, (RECT{2, 2, 2, 2}));
    EXPECT_EQ(s.dest, (RECT{10, 9, 26, 25}));
    EXPECT_EQ(s.fade, 128);
    EXPECT_EQ(s.mask, 0xFFFF00FFu);
    EXPECT_TRUE(s.hole && s.xtiled && !s.ytiled);
    EXPECT_EQ(ui::ParseDrawInfo(L"scale9='1,2,3,4'").corner, (RECT{1, 2, 3, 4}));
}

TEST(ImageGeometry, DestIsRelativeToTheControlAndClipped) {
    ui::DrawInfo s = ui::ParseDrawInfo(L"file='a.png' dest='10,9,26,25'");
    auto pieces = ui::LayoutImage(s, {16, 16}, {100, 100, 120, 120});
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].src, (RECT{0, 0, 16, 16}));
    EXPECT_EQ(pieces[0].dst, (RECT{110, 109, 120, 120}));
    s.source = {20, 0, 40, 10};  // entirely outside the bitmap: nothing to draw
    EXPECT_TRUE(ui::LayoutImage(s, {16, 16}, {0, 0, 50, 50}).empty());
}

TEST(ImageGeometry, NineSliceKeepsCornersAndStretchesTheRest) {
    const ui::DrawInfo s = ui::ParseDrawInfo(L"file='s.png' source='12,0,24,21' corner='2,3,2,3'");
    auto pieces = ui::LayoutImage(s, {36, 21}, {0, 0, 12, 100});
    ASSERT_EQ(pieces.size(), 9u);
    EXPECT_EQ(pieces[0].src, (RECT{12, 0, 14, 3}));
    EXPECT_EQ(pieces[0].dst, (RECT{0, 0, 2, 3}));
    EXPECT_EQ(pieces[4].src, (RECT{14, 3, 22, 18}));  // centre
    EXPECT_EQ(pieces[4].dst, (RECT{2, 3, 10, 97}));
    EXPECT_EQ(pieces[8].dst, (RECT{10, 97, 12, 100}));
    ui::DrawInfo holed = s;
    holed.hole = true;
    EXPECT_EQ(ui::LayoutImage(holed, {36, 21}, {0, 0, 12, 100}).size(), 8u);
}

TEST(ImageGeometry, MissingBitmapDrawsNothing) {
    ui_test::RecordingRender render;
    ui::DrawImage(render, ui::ParseDrawInfo(L"nothere.png"), {0, 0, 10, 10}, {0, 0, 10, 10});
    EXPECT_TRUE(render.images.empty());
}

TEST(SkinPaths, ParentReferencesStopAtTheSkinRoot) {
    EXPECT_EQ(ui::resources::NormalizePath(L"../default/icon/x.png"), "default/icon/x.png");
    EXPECT_EQ(ui::resources::NormalizePath(L"default\\icon\\.\\x.png"), "default/icon/x.png");
    EXPECT_EQ(ui::resources::NormalizePath(L"a/../../b.png"), "b.png");
}

TEST(TextMarkup, FontTagsAreStrippedAndRemembered) {
    const ui::MarkupText byId = ui::ParseTextMarkup(L"{f 1}72{/f}");
    EXPECT_EQ(byId.text, L"72");
    EXPECT_EQ(byId.fontId, 1);
    const ui::MarkupText byName = ui::ParseTextMarkup(L"<f 微软雅黑 12>150</f>");
    EXPECT_EQ(byName.text, L"150");
    EXPECT_EQ(byName.fontName, L"微软雅黑");
    EXPECT_EQ(byName.fontSize, 12);
    EXPECT_EQ(ui::ParseTextMarkup(L"a < b {x}").text, L"a < b {x}");
}

}  // namespace
