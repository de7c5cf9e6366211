#include <algorithm>

#include "ui/controls/label.h"
#include "ui/core/attributes.h"
#include "ui/core/geometry.h"
#include "ui/manager/paint_manager.h"

namespace ui {

CButtonUI::CButtonUI() {
    SetTextStyle(DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

std::wstring_view CButtonUI::GetClass() const {
    return L"ButtonUI";
}

void* CButtonUI::GetInterface(std::wstring_view name) {
    return name == L"Button" ? this : CLabelUI::GetInterface(name);
}

bool CButtonUI::Activate() {
    if (!CControlUI::Activate())
        return false;
    Notify(DUI_MSGTYPE_CLICK);
    return true;
}

void CButtonUI::SetEnabled(bool enabled) {
    CControlUI::SetEnabled(enabled);
    if (!enabled)
        state_ = 0;
}

void CButtonUI::DoEvent(TEventUI& event) {
    const bool enabled = IsEnabled();
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            if (enabled && Contains(rcItem_, event.ptMouse))
                state_ |= UISTATE_PUSHED | UISTATE_CAPTURED;
            break;
        case UIEVENT_MOUSEMOVE:
            if (state_ & UISTATE_CAPTURED) {
                if (Contains(rcItem_, event.ptMouse))
                    state_ |= UISTATE_PUSHED;
                else
                    state_ &= ~UISTATE_PUSHED;
            }
            break;
        case UIEVENT_BUTTONUP: {
            const bool click = (state_ & UISTATE_CAPTURED) && Contains(rcItem_, event.ptMouse);
            state_ &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
            Invalidate();
            if (click)
                Activate();
            return;
        }
        case UIEVENT_MOUSEENTER:
            if (enabled)
                state_ |= UISTATE_HOT;
            break;
        case UIEVENT_MOUSELEAVE:
            state_ &= ~UISTATE_HOT;
            break;
        case UIEVENT_KEYDOWN:
            if (event.wParam == VK_RETURN || event.chKey == L' ')
                Activate();
            return;
        default:
            CLabelUI::DoEvent(event);
            return;
    }
    Invalidate();
}

void CButtonUI::SetNormalImage(std::wstring_view image) {
    normalImage_ = image;
    Invalidate();
}

void CButtonUI::SetHotImage(std::wstring_view image) {
    hotImage_ = image;
    Invalidate();
}

void CButtonUI::SetPushedImage(std::wstring_view image) {
    pushedImage_ = image;
    Invalidate();
}

void CButtonUI::SetFocusedImage(std::wstring_view image) {
    focusedImage_ = image;
    Invalidate();
}

void CButtonUI::SetDisabledImage(std::wstring_view image) {
    disabledImage_ = image;
    Invalidate();
}

const std::wstring& CButtonUI::CurrentImage() const {
    const std::wstring* pick = &normalImage_;
    if (!IsEnabled())
        pick = &disabledImage_;
    else if (state_ & UISTATE_PUSHED)
        pick = &pushedImage_;
    else if (state_ & UISTATE_HOT)
        pick = &hotImage_;
    else if (IsFocused())
        pick = &focusedImage_;
    return pick->empty() ? normalImage_ : *pick;
}

void CButtonUI::PaintBkColor(IRender& render) {
    const DWORD color = (state_ & UISTATE_PUSHED) && pushedBkColor_                ? pushedBkColor_
                        : (state_ & (UISTATE_HOT | UISTATE_PUSHED)) && hotBkColor_ ? hotBkColor_
                                                                                   : 0;
    if (IsEnabled() && AlphaOf(color))
        render.FillRect(rcItem_, color);
    else
        CLabelUI::PaintBkColor(render);
}

void CButtonUI::PaintStatusImage(IRender& render) {
    DrawImage(render, CurrentImage());
    const bool hot = IsEnabled() && (state_ & UISTATE_HOT) && !hotForeImage_.empty();
    DrawImage(render, hot ? hotForeImage_ : foreImage_);
}

DWORD CButtonUI::CurrentTextColor() const {
    if (IsEnabled()) {
        if ((state_ & UISTATE_PUSHED) && pushedTextColor_)
            return pushedTextColor_;
        if ((state_ & UISTATE_HOT) && hotTextColor_)
            return hotTextColor_;
        if (IsFocused() && focusedTextColor_)
            return focusedTextColor_;
    }
    return CLabelUI::CurrentTextColor();
}

void CButtonUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"normalimage")
        SetNormalImage(value);
    else if (name == L"hotimage")
        SetHotImage(value);
    else if (name == L"pushedimage")
        SetPushedImage(value);
    else if (name == L"focusedimage")
        SetFocusedImage(value);
    else if (name == L"disabledimage")
        SetDisabledImage(value);
    else if (name == L"foreimage")
        foreImage_ = value;
    else if (name == L"hotforeimage")
        hotForeImage_ = value;
    else if (name == L"hotbkcolor")
        hotBkColor_ = ParseColor(value);
    else if (name == L"pushedbkcolor")
        pushedBkColor_ = ParseColor(value);
    else if (name == L"hottextcolor")
        hotTextColor_ = ParseColor(value);
    else if (name == L"pushedtextcolor")
        pushedTextColor_ = ParseColor(value);
    else if (name == L"focusedtextcolor")
        focusedTextColor_ = ParseColor(value);
    else
        CLabelUI::SetAttribute(name, value);
}

COptionUI::~COptionUI() {
    if (manager_ && !group_.empty())
        manager_->RemoveOptionGroup(group_, this);
}

std::wstring_view COptionUI::GetClass() const {
    return L"OptionUI";
}

void* COptionUI::GetInterface(std::wstring_view name) {
    return name == L"Option" ? this : CButtonUI::GetInterface(name);
}

void COptionUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    if (manager_ && manager_ != manager && !group_.empty())
        manager_->RemoveOptionGroup(group_, this);
    CButtonUI::SetManager(manager, parent);
    if (manager_ && !group_.empty())
        manager_->AddOptionGroup(group_, this);
}

void COptionUI::SetGroup(std::wstring_view group) {
    if (group_ == group)
        return;
    if (manager_ && !group_.empty())
        manager_->RemoveOptionGroup(group_, this);
    group_ = group;
    if (manager_ && !group_.empty())
        manager_->AddOptionGroup(group_, this);
}

void COptionUI::Selected(bool selected, bool triggerEvent) {
    if (selected_ == selected)
        return;
    selected_ = selected;
    if (selected && manager_ && !group_.empty()) {
        const std::vector<CControlUI*> members = manager_->GetOptionGroup(group_);
        for (CControlUI* member : members) {
            auto* option = static_cast<COptionUI*>(member->GetInterface(L"Option"));
            if (option && option != this)
                option->Selected(false, false);
        }
    }
    Invalidate();
    if (triggerEvent)
        Notify(DUI_MSGTYPE_SELECTCHANGED);
}

bool COptionUI::Activate() {
    if (!CButtonUI::Activate())
        return false;
    Selected(group_.empty() ? !selected_ : true);
    return true;
}

void COptionUI::PaintBkColor(IRender& render) {
    if (selected_ && AlphaOf(selectedBkColor_))
        render.FillRect(rcItem_, selectedBkColor_);
    else
        CButtonUI::PaintBkColor(render);
}

// A disabled option still shows whether it is selected: its selected image, greyed by drawing
// it half transparent unless the skin gives a disabled one of its own.
void COptionUI::PaintStatusImage(IRender& render) {
    if (!selected_) {
        CButtonUI::PaintStatusImage(render);
        return;
    }
    bool drawn;
    if (!IsEnabled())
        drawn = DrawImage(render, selectedDisabledImage_) ||
                DrawImage(render, selectedImage_, nullptr, kDisabledFade);
    else
        drawn = DrawImage(render, (state_ & UISTATE_HOT) && !selectedHotImage_.empty()
                                      ? selectedHotImage_
                                      : selectedImage_);
    if (!drawn)
        DrawImage(render, CurrentImage());
    DrawImage(render, selectedForeImage_);
}

DWORD COptionUI::CurrentTextColor() const {
    if (selected_ && IsEnabled() && selectedTextColor_)
        return selectedTextColor_;
    return CButtonUI::CurrentTextColor();
}

void COptionUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"group")
        SetGroup(value);
    else if (name == L"selected")
        Selected(ParseBool(value), false);
    else if (name == L"selectedimage")
        selectedImage_ = value;
    else if (name == L"selectedhotimage")
        selectedHotImage_ = value;
    else if (name == L"selecteddisabledimage")
        selectedDisabledImage_ = value;
    else if (name == L"selectedforeimage" || name == L"foreselectedimage")
        selectedForeImage_ = value;
    else if (name == L"selectedtextcolor")
        selectedTextColor_ = ParseColor(value);
    else if (name == L"selectedbkcolor")
        selectedBkColor_ = ParseColor(value);
    else
        CButtonUI::SetAttribute(name, value);
}

}  // namespace ui
