#include "ui/controls/control.h"

#include <algorithm>
#include <cmath>

#include "ui/core/attributes.h"
#include "ui/core/geometry.h"
#include "ui/manager/paint_manager.h"

namespace ui {

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    if (manager_)
        manager_->ReapObjects(this);
}

std::wstring_view CControlUI::GetClass() const {
    return L"ControlUI";
}

void* CControlUI::GetInterface(std::wstring_view name) {
    return name == L"Control" ? this : nullptr;
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    manager_ = manager;
    parent_ = parent;
}

void CControlUI::SetText(std::wstring_view text) {
    if (text_ == text)
        return;
    text_ = text;
    Invalidate();
    if (manager_)
        manager_->TextChanged(this);
}

void CControlUI::SetVisible(bool visible) {
    if (visible_ == visible)
        return;
    const bool hadFocus = focused_;
    visible_ = visible;
    if (!visible && hadFocus && manager_)
        manager_->SetFocus(nullptr);
    NeedParentUpdate();
}

bool CControlUI::IsShown() const {
    for (const CControlUI* c = this; c; c = c->parent_)
        if (!c->IsVisible())
            return false;
    return true;
}

void CControlUI::SetEnabled(bool enabled) {
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    Invalidate();
}

void CControlUI::SetFocus() {
    if (manager_)
        manager_->SetFocus(this);
}

void CControlUI::SetFocusedState(bool focused) {
    focused_ = focused;
    Invalidate();
}

void CControlUI::SetPos(RECT rc) {
    if (rc.right < rc.left)
        rc.right = rc.left;
    if (rc.bottom < rc.top)
        rc.bottom = rc.top;
    Invalidate();
    rcItem_ = rc;
    Invalidate();
}

int CControlUI::Scale(int value) const {
    return manager_ ? manager_->ScaleValue(value) : value;
}

RECT CControlUI::Scale(RECT rc) const {
    return {Scale(rc.left), Scale(rc.top), Scale(rc.right), Scale(rc.bottom)};
}

int CControlUI::GetFixedWidth() const {
    return Scale(fixed_.cx);
}
int CControlUI::GetFixedHeight() const {
    return Scale(fixed_.cy);
}
int CControlUI::GetMinWidth() const {
    return Scale(min_.cx);
}
int CControlUI::GetMinHeight() const {
    return Scale(min_.cy);
}
int CControlUI::GetMaxWidth() const {
    return max_.cx >= 9999 ? 9999 : Scale(max_.cx);
}
int CControlUI::GetMaxHeight() const {
    return max_.cy >= 9999 ? 9999 : Scale(max_.cy);
}
RECT CControlUI::GetPadding() const {
    return Scale(padding_);
}
RECT CControlUI::GetFloatPos() const {
    return Scale(floatPos_);
}

void CControlUI::SetFixedWidth(int cx) {
    fixed_.cx = cx < 0 ? 0 : cx;
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
    fixed_.cy = cy < 0 ? 0 : cy;
    NeedParentUpdate();
}

void CControlUI::SetPadding(RECT rc) {
    padding_ = rc;
    NeedParentUpdate();
}

void CControlUI::SetFloat(bool f) {
    float_ = f;
    NeedParentUpdate();
}

SIZE CControlUI::EstimateSize(SIZE) {
    return SIZE{GetFixedWidth(), GetFixedHeight()};
}

LayoutItem CControlUI::GetLayoutItem(SIZE available) {
    LayoutItem item;
    item.skip = !IsVisible() || IsFloat();
    if (item.skip)
        return item;
    item.fixed = EstimateSize(available);
    item.min = {GetMinWidth(), GetMinHeight()};
    item.max = {GetMaxWidth(), GetMaxHeight()};
    item.padding = GetPadding();
    return item;
}

void CControlUI::SetBkColor(DWORD argb) {
    bkColor_ = argb;
    Invalidate();
}

void CControlUI::SetBorderColor(DWORD argb) {
    borderColor_ = argb;
    Invalidate();
}

void CControlUI::SetBkImage(std::wstring_view image) {
    bkImage_ = image;
    Invalidate();
}

void CControlUI::DoPaint(IRender& render, const RECT& paint) {
    rcPaint_ = Intersect(paint, rcItem_);
    if (IsEmpty(rcPaint_))
        return;
    const SIZE round = {Scale(borderRound_.cx), Scale(borderRound_.cy)};
    const bool clip = round.cx > 0 || round.cy > 0;
    if (clip)
        render.PushClip(rcItem_, round);
    PaintBkColor(render);
    PaintBkImage(render);
    PaintStatusImage(render);
    PaintText(render);
    if (clip)
        render.PopClip();
    PaintBorder(render);
}

void CControlUI::PaintBkColor(IRender& render) {
    if (bkColor2_ || bkColor3_) {
        render.FillGradient(rcItem_, bkColor_, bkColor2_, bkColor3_, vGradient_);
    } else if (AlphaOf(bkColor_)) {
        render.FillRect(rcItem_, bkColor_);
    }
}

void CControlUI::PaintBkImage(IRender& render) {
    DrawImage(render, bkImage_);
}
void CControlUI::PaintStatusImage(IRender&) {}
void CControlUI::PaintText(IRender&) {}

void CControlUI::PaintBorder(IRender& render) {
    if (borderSize_ > 0 && AlphaOf(borderColor_))
        render.DrawBorder(rcItem_, borderColor_, Scale(borderSize_),
                          SIZE{Scale(borderRound_.cx), Scale(borderRound_.cy)});
}

bool CControlUI::DrawImage(IRender& render, std::wstring_view image, const RECT* rc, BYTE fade) {
    if (image.empty())
        return false;
    DrawInfo draw = ParseDrawInfo(image);
    draw.dest = Scale(draw.dest);
    draw.fade = static_cast<BYTE>(draw.fade * fade / 255);
    ui::DrawImage(render, draw, rc ? *rc : rcItem_, rcPaint_);
    return true;
}

void CControlUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UIEVENT_SETFOCUS:
            SetFocusedState(true);
            return;
        case UIEVENT_KILLFOCUS:
            SetFocusedState(false);
            return;
        case UIEVENT_TIMER:
            return;
        default:
            // Input a control does not use belongs to its parent: a press on a label inside a
            // list row selects the row, arrow keys on a focused row move the list.
            if (parent_)
                parent_->DoEvent(event);
    }
}

bool CControlUI::Activate() {
    return IsShown() && IsEnabled();
}

CControlUI* CControlUI::FindControlAt(POINT pt) {
    if (!IsVisible() || !IsMouseEnabled() || !Contains(rcItem_, pt))
        return nullptr;
    return this;
}

CControlUI* CControlUI::FindControl(const std::function<bool(CControlUI*)>& pred) {
    return pred(this) ? this : nullptr;
}

void CControlUI::AddNotifier(std::function<void(TNotifyUI&)> callback) {
    notifiers_.push_back(std::move(callback));
}

void CControlUI::RunNotifiers(TNotifyUI& msg) {
    for (auto& callback : notifiers_)
        callback(msg);
}

void CControlUI::Notify(const wchar_t* type, WPARAM wParam, LPARAM lParam) {
    if (manager_)
        manager_->SendNotify(this, type, wParam, lParam);
}

void CControlUI::Invalidate() {
    if (manager_ && !IsEmpty(rcItem_))
        manager_->Invalidate(rcItem_);
}

void CControlUI::NeedUpdate() {
    if (manager_)
        manager_->NeedUpdate();
}

void CControlUI::NeedParentUpdate() {
    if (manager_)
        manager_->NeedUpdate();
}

void CControlUI::ApplyFloatAttribute(std::wstring_view value) {
    if (value.find(L',') == std::wstring_view::npos) {
        float_ = ParseBool(value);
        return;
    }
    float_ = true;
    std::vector<double> f;
    size_t start = 0;
    while (start <= value.size() && f.size() < 4) {
        size_t comma = value.find(L',', start);
        if (comma == std::wstring_view::npos)
            comma = value.size();
        // A factor is a share of the parent's size.
        const double share =
            std::wcstod(std::wstring(value.substr(start, comma - start)).c_str(), nullptr);
        f.push_back(std::isfinite(share) ? std::clamp(share, 0.0, 1.0) : 0.0);
        start = comma + 1;
    }
    f.resize(4, 0.0);
    floatFactors_ = {f[0], f[1], f[2], f[3]};
}

bool CControlUI::SetSizeAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"pos") {
        floatPos_ = ParseRect(value);
        fixed_ = {floatPos_.right - floatPos_.left, floatPos_.bottom - floatPos_.top};
    } else if (name == L"padding") {
        padding_ = ParseRect(value);
    } else if (name == L"width") {
        fixed_.cx = std::max(0, ParseInt(value));
    } else if (name == L"height") {
        fixed_.cy = std::max(0, ParseInt(value));
    } else if (name == L"minwidth") {
        min_.cx = ParseInt(value);
    } else if (name == L"minheight") {
        min_.cy = ParseInt(value);
    } else if (name == L"maxwidth") {
        max_.cx = ParseInt(value);
    } else if (name == L"maxheight") {
        max_.cy = ParseInt(value);
    } else if (name == L"float") {
        ApplyFloatAttribute(value);
    } else {
        return false;
    }
    NeedParentUpdate();
    return true;
}

bool CControlUI::SetLookAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"bkcolor" || name == L"bkcolor1")
        bkColor_ = ParseColor(value);
    else if (name == L"bkcolor2")
        bkColor2_ = ParseColor(value);
    else if (name == L"bkcolor3")
        bkColor3_ = ParseColor(value);
    else if (name == L"gradient")
        vGradient_ = value != L"hor";
    else if (name == L"bordercolor")
        borderColor_ = ParseColor(value);
    else if (name == L"bordersize")
        borderSize_ = ParseInt(value);
    else if (name == L"borderround")
        borderRound_ = ParseSize(value);
    else if (name == L"bkimage")
        bkImage_ = value;
    else
        return false;
    Invalidate();
    return true;
}

void CControlUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (SetSizeAttribute(name, value) || SetLookAttribute(name, value))
        return;
    if (name == L"name")
        SetName(value);
    else if (name == L"text")
        SetText(value);
    else if (name == L"tooltip")
        SetToolTip(value);
    else if (name == L"userdata")
        SetUserData(value);
    else if (name == L"tag")
        SetTag(static_cast<UINT_PTR>(ParseInt(value)));
    else if (name == L"visible")
        SetVisible(ParseBool(value));
    else if (name == L"enabled")
        SetEnabled(ParseBool(value));
    else if (name == L"mouse")
        SetMouseEnabled(ParseBool(value));
    else if (name == L"style" && manager_)
        ApplyAttributeList(manager_->GetStyle(value));
}

void CControlUI::ApplyAttributeList(std::wstring_view list) {
    size_t i = 0;
    while (i < list.size()) {
        while (i < list.size() && (list[i] == L' ' || list[i] == L'\t' || list[i] == L'\n'))
            ++i;
        const size_t eq = list.find(L'=', i);
        if (eq == std::wstring_view::npos || eq + 1 >= list.size())
            return;
        const wchar_t quote = list[eq + 1];
        if (quote != L'"' && quote != L'\'')
            return;
        const size_t end = list.find(quote, eq + 2);
        if (end == std::wstring_view::npos)
            return;
        SetAttribute(list.substr(i, eq - i), list.substr(eq + 2, end - eq - 2));
        i = end + 1;
    }
}

}  // namespace ui
