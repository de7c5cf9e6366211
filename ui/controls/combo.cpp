#include "ui/controls/combo.h"

#include <algorithm>

#include "ui/core/attributes.h"
#include "ui/core/geometry.h"
#include "ui/core/text_markup.h"
#include "ui/manager/host.h"
#include "ui/manager/paint_manager.h"

namespace ui {
namespace {
constexpr int kTextMargin = 8;
constexpr int kDropBoxFrame = 4;
}  // namespace

CComboUI::CComboUI() {
    info_.rcTextPadding = {4, 0, 4, 0};
}

std::wstring_view CComboUI::GetClass() const {
    return L"ComboUI";
}

void* CComboUI::GetInterface(std::wstring_view name) {
    if (name == L"Combo")
        return this;
    if (name == L"IListOwner")
        return static_cast<IListOwnerUI*>(this);
    return CContainerUI::GetInterface(name);
}

bool CComboUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CComboUI::AddAt(CControlUI* control, int index) {
    if (!CContainerUI::AddAt(control, index))
        return false;
    ShiftSelectionOnInsert(curSel_, index);
    IndexItems(*this, this);
    return true;
}

bool CComboUI::RemoveAt(int index, bool doNotDestroy) {
    if (!CContainerUI::RemoveAt(index, doNotDestroy))
        return false;
    ShiftSelectionOnRemove(curSel_, index);
    IndexItems(*this, this);
    return true;
}

void CComboUI::RemoveAll() {
    curSel_ = -1;
    CContainerUI::RemoveAll();
}

bool CComboUI::SelectItem(int index, bool, bool triggerEvent) {
    if (index == curSel_)
        return true;
    const int old = curSel_;
    if (!MoveSelection(*this, curSel_, index))
        return false;
    Invalidate();
    if (triggerEvent)
        Notify(DUI_MSGTYPE_ITEMSELECT, curSel_, old);
    return true;
}

void CComboUI::ChooseItem(int index) {
    if (index != curSel_)
        SelectItem(index);
    else if (GetItemAt(index))
        Notify(DUI_MSGTYPE_ITEMSELECT, index, index);
}

std::wstring CComboUI::GetText() const {
    CControlUI* item = GetItemAt(curSel_);
    return item ? ParseTextMarkup(item->GetText()).text : text_;
}

SIZE CComboUI::GetDropBoxSize(int itemsHeight) const {
    const LONG width = dropBox_.cx > 0 ? Scale(dropBox_.cx) : Width(rcItem_);
    LONG height = itemsHeight + Scale(kDropBoxFrame);
    if (dropBox_.cy > 0)
        height = std::min<LONG>(height, Scale(dropBox_.cy));
    return {width, height};
}

RECT CComboUI::PlaceDropDown(const RECT& combo, SIZE box, const RECT& screen) {
    RECT rc{combo.left, combo.bottom, combo.left + box.cx, combo.bottom + box.cy};
    if (rc.bottom > screen.bottom && combo.top - box.cy >= screen.top)
        rc = {combo.left, combo.top - box.cy, combo.left + box.cx, combo.top};
    return rc;
}

int CComboUI::GetCount() const {
    return lent_.empty() ? ItemCount() : static_cast<int>(lent_.size());
}

CControlUI* CComboUI::GetItemAt(int index) const {
    if (lent_.empty())
        return CContainerUI::GetItemAt(index);
    return index >= 0 && index < GetCount() ? lent_[index] : nullptr;
}

std::vector<CControlUI*> CComboUI::TakeItems() {
    lent_.swap(items_);
    for (CControlUI* item : lent_) {
        if (manager_)
            manager_->ReapObjects(item);
        item->SetManager(nullptr, nullptr);
    }
    return lent_;
}

void CComboUI::ReturnItems(std::vector<CControlUI*> items) {
    lent_.clear();
    for (CControlUI* item : items) {
        items_.push_back(item);
        if (manager_)
            manager_->InitControls(item, this);
        else
            item->SetManager(nullptr, this);
    }
}

void CComboUI::SetDropped(bool dropped) {
    dropped_ = dropped;
    if (!dropped)
        state_ &= ~UISTATE_PUSHED;
    Invalidate();
}

bool CComboUI::Activate() {
    if (!CControlUI::Activate() || dropped_)
        return false;
    if (manager_ && manager_->GetHost()) {
        Notify(DUI_MSGTYPE_DROPDOWN);
        manager_->GetHost()->ShowDropDown(this);
    }
    return true;
}

SIZE CComboUI::EstimateSize(SIZE available) {
    SIZE size = CControlUI::EstimateSize(available);
    if (size.cy == 0 && manager_)
        size.cy = manager_->GetFontHeight(manager_->GetFont(font_)) + Scale(kTextMargin) +
                  Scale(textPadding_.top) + Scale(textPadding_.bottom);
    return size;
}

void CComboUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
}

void CComboUI::DoPaint(IRender& render, const RECT& paint) {
    CControlUI::DoPaint(render, paint);
}

CControlUI* CComboUI::FindControlAt(POINT pt) {
    return CControlUI::FindControlAt(pt);
}

void CComboUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
            if (IsEnabled()) {
                state_ |= UISTATE_PUSHED;
                Activate();
            }
            break;
        case UIEVENT_BUTTONUP:
            if (!dropped_)
                state_ &= ~UISTATE_PUSHED;
            break;
        case UIEVENT_MOUSEENTER:
            state_ |= UISTATE_HOT;
            break;
        case UIEVENT_MOUSELEAVE:
            state_ &= ~UISTATE_HOT;
            break;
        case UIEVENT_KEYDOWN:
            if (event.wParam == VK_UP || event.wParam == VK_DOWN)
                SelectItem(
                    std::clamp(curSel_ + (event.wParam == VK_UP ? -1 : 1), 0, GetCount() - 1));
            return;
        default:
            CContainerUI::DoEvent(event);
            return;
    }
    Invalidate();
}

void CComboUI::PaintStatusImage(IRender& render) {
    int pick = 0;
    if (!IsEnabled())
        pick = 4;
    else if (state_ & UISTATE_PUSHED)
        pick = 2;
    else if (state_ & UISTATE_HOT)
        pick = 1;
    else if (IsFocused())
        pick = 3;
    if (DrawImage(render, images_[pick].empty() ? images_[0] : images_[pick]))
        return;
    // A skin without combo images still shows that the box drops down.
    const RECT arrow{rcItem_.right - Scale(20), rcItem_.top, rcItem_.right - Scale(4),
                     rcItem_.bottom};
    const DWORD color = !IsEnabled() ? 0xFFA7A6AA
                        : manager_   ? manager_->GetDefaultFontColor()
                                     : 0xFF000000;
    const FontInfo font = manager_ ? manager_->GetFont(font_) : FontInfo{};
    render.DrawText(arrow, L"▾", color, font, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

void CComboUI::PaintText(IRender& render) {
    CControlUI* item = GetItemAt(curSel_);
    if (!manager_)
        return;
    const MarkupText m = ParseTextMarkup(item ? item->GetText() : text_);
    FontInfo font = manager_->GetFont(m.fontId >= 0 ? m.fontId : font_);
    if (!m.fontName.empty())
        font.name = m.fontName;
    if (m.fontSize > 0)
        font.size = Scale(m.fontSize);
    const DWORD color = !IsEnabled()        ? manager_->GetDefaultDisabledColor()
                        : info_.dwTextColor ? info_.dwTextColor
                                            : manager_->GetDefaultFontColor();
    const UINT style = DT_SINGLELINE | DT_VCENTER | (info_.uTextStyle & (DT_CENTER | DT_RIGHT));
    render.DrawText(Deflate(rcItem_, Scale(textPadding_)), m.text, m.color ? m.color : color, font,
                    style);
}

void CComboUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    static const wchar_t* const kImages[] = {L"normalimage", L"hotimage", L"pushedimage",
                                             L"focusedimage", L"disabledimage"};
    for (int i = 0; i < 5; ++i)
        if (name == kImages[i]) {
            images_[i] = value;
            return;
        }
    if (SetListInfoAttribute(info_, name, value))
        return;
    if (name == L"textpadding")
        textPadding_ = ParseRect(value);
    else if (name == L"font")
        font_ = ParseInt(value);
    else if (name == L"dropboxsize")
        dropBox_ = ParseSize(value);
    else if (name == L"dropbox")
        dropBoxAttributes_ = value;
    else if (name == L"textcolor")
        info_.dwTextColor = ParseColor(value);
    else if (name == L"selectedid")
        SelectItem(ParseInt(value), false, false);
    else
        CContainerUI::SetAttribute(name, value);
}

}  // namespace ui
