#include "ui/controls/label.h"

#include <algorithm>

#include "ui/core/attributes.h"
#include "ui/core/geometry.h"
#include "ui/core/text_markup.h"
#include "ui/manager/paint_manager.h"

namespace ui {
namespace {
// A single-line text control without a height asks for its font's height plus this margin.
constexpr int kTextMargin = 8;
}  // namespace

CLabelUI::CLabelUI() = default;

std::wstring_view CLabelUI::GetClass() const {
    return L"LabelUI";
}

void* CLabelUI::GetInterface(std::wstring_view name) {
    return name == L"Label" ? this : CControlUI::GetInterface(name);
}

void CLabelUI::SetText(std::wstring_view text) {
    CControlUI::SetText(text);
    if (autoCalcWidth_)
        NeedParentUpdate();
}

void CLabelUI::SetFont(int id) {
    font_ = id;
    NeedParentUpdate();
}

void CLabelUI::SetTextColor(DWORD argb) {
    textColor_ = argb;
    Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD argb) {
    disabledTextColor_ = argb;
    Invalidate();
}

void CLabelUI::SetTextStyle(UINT style) {
    textStyle_ = style;
    Invalidate();
}

RECT CLabelUI::GetTextPadding() const {
    return Scale(textPadding_);
}

void CLabelUI::SetTextPadding(RECT rc) {
    textPadding_ = rc;
    NeedParentUpdate();
}

void CLabelUI::SetAutoCalcWidth(bool on) {
    autoCalcWidth_ = on;
    NeedParentUpdate();
}

FontInfo CLabelUI::ResolveFont(int id) const {
    return manager_ ? manager_->GetFont(id) : FontInfo{};
}

SIZE CLabelUI::EstimateSize(SIZE available) {
    SIZE size = CControlUI::EstimateSize(available);
    const RECT pad = GetTextPadding();
    const FontInfo font = ResolveFont(font_);
    IRender* render = manager_ ? manager_->GetRender() : nullptr;
    if (autoCalcWidth_ && render) {
        const std::wstring text = showHtml_ ? ParseTextMarkup(GetText()).text : GetText();
        const LONG width = render->MeasureText(text, font, 0).cx + pad.left + pad.right;
        size.cx = std::min<LONG>(width, GetMaxWidth());
    }
    if (size.cy == 0 && (textStyle_ & DT_SINGLELINE)) {
        const int height = manager_ ? manager_->GetFontHeight(font) : font.size;
        size.cy = height + Scale(kTextMargin) + pad.top + pad.bottom;
    }
    return size;
}

DWORD CLabelUI::CurrentTextColor() const {
    if (!IsEnabled())
        return disabledTextColor_ ? disabledTextColor_
                                  : (manager_ ? manager_->GetDefaultDisabledColor() : 0xFFA7A6AA);
    return textColor_ ? textColor_ : (manager_ ? manager_->GetDefaultFontColor() : 0xFF000000);
}

void CLabelUI::DrawLabelText(IRender& render, const RECT& rc, const std::wstring& text, DWORD color,
                             int font, UINT style, bool markup) {
    if (text.empty())
        return;
    if (!markup) {
        render.DrawText(rc, text, color, ResolveFont(font), style);
        return;
    }
    const MarkupText m = ParseTextMarkup(text);
    FontInfo face = ResolveFont(m.fontId >= 0 ? m.fontId : font);
    if (!m.fontName.empty())
        face.name = m.fontName;
    if (m.fontSize > 0)
        face.size = Scale(m.fontSize);
    face.bold |= m.bold;
    face.italic |= m.italic;
    face.underline |= m.underline;
    render.DrawText(rc, m.text, m.color ? m.color : color, face, style);
}

void CLabelUI::PaintText(IRender& render) {
    const RECT rc = Deflate(rcItem_, GetTextPadding());
    DrawLabelText(render, rc, GetText(), CurrentTextColor(), font_, textStyle_, showHtml_);
}

void CLabelUI::SetAlignAttribute(std::wstring_view name, std::wstring_view value) {
    const bool horizontal = name == L"align";
    if (horizontal && (value == L"left" || value == L"center" || value == L"right")) {
        textStyle_ &= ~(DT_CENTER | DT_RIGHT);
        if (value == L"center")
            textStyle_ |= DT_CENTER;
        if (value == L"right")
            textStyle_ |= DT_RIGHT;
        return;
    }
    textStyle_ &= ~(DT_VCENTER | DT_BOTTOM);
    if (value == L"vcenter" || value == L"center")
        textStyle_ |= DT_VCENTER;
    if (value == L"bottom")
        textStyle_ |= DT_BOTTOM;
}

void CLabelUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    auto flag = [&](UINT bit, bool on) {
        textStyle_ = on ? (textStyle_ | bit) : (textStyle_ & ~bit);
    };
    if (name == L"align" || name == L"valign")
        SetAlignAttribute(name, value);
    else if (name == L"endellipsis")
        flag(DT_END_ELLIPSIS, ParseBool(value));
    else if (name == L"wordbreak" || name == L"multiline") {
        flag(DT_WORDBREAK, ParseBool(value));
        flag(DT_SINGLELINE, !ParseBool(value));
    } else if (name == L"font")
        SetFont(ParseInt(value));
    else if (name == L"textcolor")
        SetTextColor(ParseColor(value));
    else if (name == L"disabledtextcolor")
        SetDisabledTextColor(ParseColor(value));
    else if (name == L"textpadding")
        SetTextPadding(ParseRect(value));
    else if (name == L"showhtml")
        SetShowHtml(ParseBool(value));
    else if (name == L"autocalcwidth")
        SetAutoCalcWidth(ParseBool(value));
    else
        CControlUI::SetAttribute(name, value);
}

std::wstring_view CTextUI::GetClass() const {
    return L"TextUI";
}

void* CTextUI::GetInterface(std::wstring_view name) {
    return name == L"Text" ? this : CLabelUI::GetInterface(name);
}

}  // namespace ui
