#include "ui/controls/progress.h"

#include <algorithm>

#include "ui/core/attributes.h"
#include "ui/core/geometry.h"

namespace ui {

CProgressUI::CProgressUI() {
    SetTextStyle(DT_SINGLELINE | DT_CENTER | DT_VCENTER);
}

std::wstring_view CProgressUI::GetClass() const {
    return L"ProgressUI";
}

void* CProgressUI::GetInterface(std::wstring_view name) {
    return name == L"Progress" ? this : CLabelUI::GetInterface(name);
}

void CProgressUI::SetHorizontal(bool horizontal) {
    horizontal_ = horizontal;
    Invalidate();
}

void CProgressUI::SetMinValue(int min) {
    min_ = min;
    Invalidate();
}

void CProgressUI::SetMaxValue(int max) {
    max_ = max;
    Invalidate();
}

void CProgressUI::SetValue(int value) {
    value_ = value;
    Invalidate();
}

void CProgressUI::SetForeImage(std::wstring_view image) {
    foreImage_ = image;
    Invalidate();
}

RECT CProgressUI::GetFillRect() const {
    RECT rc = rcItem_;
    if (max_ <= min_)
        return RECT{rc.left, rc.top, rc.left, rc.top};
    const double share = std::clamp(double(value_ - min_) / double(max_ - min_), 0.0, 1.0);
    if (horizontal_)
        rc.right = rc.left + static_cast<LONG>(Width(rc) * share);
    else
        rc.top = rc.bottom - static_cast<LONG>(Height(rc) * share);
    return rc;
}

void CProgressUI::PaintStatusImage(IRender& render) {
    const RECT fill = GetFillRect();
    if (IsEmpty(fill))
        return;
    if (AlphaOf(foreColor_))
        render.FillRect(fill, foreColor_);
    if (foreImage_.empty())
        return;
    DrawInfo draw = ParseDrawInfo(foreImage_);
    const SIZE bitmap = render.ImageSize(draw);
    if (bitmap.cx == 0)
        return;
    // The bitmap stretches over the whole bar; the filled part shows its matching share.
    RECT src = IsEmpty(draw.source) ? RECT{0, 0, bitmap.cx, bitmap.cy} : draw.source;
    if (horizontal_)
        src.right = src.left + Width(src) * Width(fill) / std::max<LONG>(1, Width(rcItem_));
    else
        src.top = src.bottom - Height(src) * Height(fill) / std::max<LONG>(1, Height(rcItem_));
    draw.source = src;
    draw.dest = {};
    ui::DrawImage(render, draw, fill, rcPaint_);
}

void CProgressUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"hor")
        SetHorizontal(ParseBool(value));
    else if (name == L"min")
        SetMinValue(ParseInt(value));
    else if (name == L"max")
        SetMaxValue(ParseInt(value));
    else if (name == L"value")
        SetValue(ParseInt(value));
    else if (name == L"foreimage")
        SetForeImage(value);
    else if (name == L"forecolor")
        foreColor_ = ParseColor(value);
    else
        CLabelUI::SetAttribute(name, value);
}

}  // namespace ui
