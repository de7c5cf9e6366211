#include "ui/controls/menu_controls.h"

#include <algorithm>

#include "ui/core/attributes.h"
#include "ui/core/geometry.h"
#include "ui/manager/paint_manager.h"

namespace ui {
namespace {
constexpr int kRowHeight = 28;
constexpr int kSeparatorHeight = 9;
constexpr int kMarkWidth = 22;
}  // namespace

std::wstring_view CMenuElementUI::GetClass() const {
    return L"MenuElementUI";
}

void* CMenuElementUI::GetInterface(std::wstring_view name) {
    return name == L"MenuElement" ? this : CListContainerElementUI::GetInterface(name);
}

void CMenuElementUI::SetChecked(bool checked) {
    checked_ = checked;
    Invalidate();
}

bool CMenuElementUI::HasSubMenu() const {
    for (CControlUI* c : items_)
        if (c->GetInterface(L"MenuElement"))
            return true;
    return false;
}

int CMenuElementUI::Gutter() const {
    return Scale(iconSize_.cx) + Scale(16);
}

int CMenuElementUI::PreferredWidth() {
    if (GetFixedWidth() > 0)
        return GetFixedWidth();
    if (!manager_ || !manager_->GetRender())
        return Scale(120);
    const int font = owner_ ? owner_->GetListInfo().nFont : -1;
    const int text = manager_->GetRender()->MeasureText(GetText(), manager_->GetFont(font), 0).cx;
    return Gutter() + text + Scale(textPadding_.left + textPadding_.right) + Scale(kMarkWidth);
}

SIZE CMenuElementUI::EstimateSize(SIZE available) {
    if (!IsVisible())
        return {};
    const int fallback = Scale(separator_ ? kSeparatorHeight : kRowHeight);
    return {CControlUI::EstimateSize(available).cx, RowHeight(*this, fallback)};
}

void CMenuElementUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
}

void CMenuElementUI::DoPaint(IRender& render, const RECT& paint) {
    CControlUI::DoPaint(render, paint);
}

CControlUI* CMenuElementUI::FindControlAt(POINT pt) {
    return separator_ ? nullptr : CControlUI::FindControlAt(pt);
}

void CMenuElementUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_BUTTONUP && IsEnabled() && owner_ && manager_ &&
        Contains(rcItem_, event.ptMouse)) {
        manager_->SendNotify(this, DUI_MSGTYPE_ITEMCLICK);
        return;
    }
    if (event.Type == UIEVENT_BUTTONDOWN)
        return;  // a menu acts on release, like a button
    CListContainerElementUI::DoEvent(event);
}

void CMenuElementUI::PaintStatusImage(IRender& render) {
    if (separator_) {
        const LONG y = (rcItem_.top + rcItem_.bottom) / 2;
        render.FillRect({rcItem_.left + Scale(4), y, rcItem_.right - Scale(4), y + 1}, lineColor_);
        return;
    }
    const LONG cy = (rcItem_.top + rcItem_.bottom) / 2;
    const RECT iconRc{rcItem_.left + Scale(8), cy - Scale(iconSize_.cy) / 2,
                      rcItem_.left + Scale(8) + Scale(iconSize_.cx), cy + Scale(iconSize_.cy) / 2};
    DrawImage(render, icon_, &iconRc);
    const FontInfo font = manager_ ? manager_->GetFont(-1) : FontInfo{};
    const DWORD color = RowTextColor(*this);
    const RECT mark{rcItem_.right - Scale(kMarkWidth), rcItem_.top, rcItem_.right, rcItem_.bottom};
    if (checkItem_ && checked_)
        render.DrawText(iconRc, L"✓", color, font, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (HasSubMenu())
        render.DrawText(mark, L"›", color, font, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void CMenuElementUI::PaintText(IRender& render) {
    if (separator_ || !manager_ || !owner_)
        return;
    const TListInfoUI& info = owner_->GetListInfo();
    RECT rc = Deflate(rcItem_, Scale(textPadding_));
    rc.left += Gutter();
    render.DrawText(rc, GetText(), RowTextColor(*this), manager_->GetFont(info.nFont),
                    DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
}

void CMenuElementUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"icon")
        icon_ = value;
    else if (name == L"iconsize")
        iconSize_ = ParseSize(value);
    else if (name == L"checkitem")
        checkItem_ = ParseBool(value);
    else if (name == L"ischeck")
        checked_ = ParseBool(value);
    else if (name == L"linetype")
        separator_ = ParseBool(value) || value == L"1";
    else if (name == L"linecolor")
        lineColor_ = ParseColor(value);
    else if (name == L"textpadding")
        textPadding_ = ParseRect(value);
    else
        CListContainerElementUI::SetAttribute(name, value);
}

// A menu file that says nothing of its look still gets a framed white list with a hover mark.
CMenuUI::CMenuUI() {
    SetAttribute(L"itemhotbkcolor", L"#FFE8F0FE");
    SetAttribute(L"bordercolor", L"#FFD5DBE5");
    SetAttribute(L"bordersize", L"1");
    SetAttribute(L"inset", L"1,2,1,2");
    SetBkColor(0xFFFFFFFF);
}

std::wstring_view CMenuUI::GetClass() const {
    return L"MenuUI";
}

void* CMenuUI::GetInterface(std::wstring_view name) {
    return name == L"Menu" ? this : CListUI::GetInterface(name);
}

SIZE CMenuUI::PreferredSize(int minWidth) {
    int width = minWidth;
    int height = 0;
    for (int i = 0; i < GetCount(); ++i) {
        auto* row = static_cast<CMenuElementUI*>(GetItemAt(i)->GetInterface(L"MenuElement"));
        if (!row || !row->IsVisible())
            continue;
        width = std::max(width, row->PreferredWidth());
        height += row->EstimateSize({}).cy + row->GetPadding().top + row->GetPadding().bottom;
    }
    const RECT inset = GetInset();
    return {width + inset.left + inset.right, height + inset.top + inset.bottom};
}

}  // namespace ui
