#include "ui/controls/scrollbar.h"

#include <algorithm>

#include "ui/controls/container.h"
#include "ui/core/attributes.h"
#include "ui/core/geometry.h"
#include "ui/manager/paint_manager.h"

namespace ui {
namespace {
constexpr int kDefaultThickness = 16;
constexpr int kMinThumb = 12;
}  // namespace

CScrollBarUI::CScrollBarUI() {
    SetFixedWidth(kDefaultThickness);
}

std::wstring_view CScrollBarUI::GetClass() const {
    return L"ScrollBarUI";
}

void* CScrollBarUI::GetInterface(std::wstring_view name) {
    return name == L"ScrollBar" ? this : CControlUI::GetInterface(name);
}

void CScrollBarUI::SetHorizontal(bool horizontal) {
    if (horizontal_ == horizontal)
        return;
    horizontal_ = horizontal;
    const int thickness = horizontal ? GetFixedWidth() : GetFixedHeight();
    SetFixedWidth(horizontal ? 0 : thickness);
    SetFixedHeight(horizontal ? thickness : 0);
}

int CScrollBarUI::GetThickness() const {
    const int t = horizontal_ ? GetFixedHeight() : GetFixedWidth();
    return t > 0 ? t : Scale(kDefaultThickness);
}

void CScrollBarUI::SetScrollRange(int range) {
    range_ = std::max(0, range);
    pos_ = std::clamp(pos_, 0, range_);
    UpdateParts();
}

void CScrollBarUI::SetScrollPos(int pos) {
    pos_ = std::clamp(pos, 0, range_);
    UpdateParts();
    Invalidate();
}

void CScrollBarUI::SetShowButton1(bool show) {
    showButton1_ = show;
    UpdateParts();
}

void CScrollBarUI::SetShowButton2(bool show) {
    showButton2_ = show;
    UpdateParts();
}

void CScrollBarUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    UpdateParts();
}

void CScrollBarUI::UpdateParts() {
    const RECT& rc = rcItem_;
    const int thick = horizontal_ ? Height(rc) : Width(rc);
    const int b1 = showButton1_ ? thick : 0, b2 = showButton2_ ? thick : 0;
    const int start = (horizontal_ ? rc.left : rc.top) + b1;
    const int end = (horizontal_ ? rc.right : rc.bottom) - b2;
    const int track = std::max(0, end - start);
    const int thumb =
        range_ > 0 ? std::max(std::min(kMinThumb, track), track * track / (track + range_)) : track;
    const int offset = range_ > 0 ? (track - thumb) * pos_ / range_ : 0;
    auto span = [&](int a, int b) {
        return horizontal_ ? RECT{a, rc.top, b, rc.bottom} : RECT{rc.left, a, rc.right, b};
    };
    rcButton1_ = span(start - b1, start);
    rcButton2_ = span(end, end + b2);
    rcThumb_ = span(start + offset, start + offset + thumb);
}

CScrollBarUI::Part CScrollBarUI::PartAt(POINT pt) const {
    if (Contains(rcThumb_, pt))
        return kThumb;
    if (showButton1_ && Contains(rcButton1_, pt))
        return kButton1;
    if (showButton2_ && Contains(rcButton2_, pt))
        return kButton2;
    return Contains(rcItem_, pt) ? kTrack : kNone;
}

void CScrollBarUI::Scroll(int delta) {
    if (!owner_)
        return;
    SIZE pos = owner_->GetScrollPos();
    (horizontal_ ? pos.cx : pos.cy) += delta;
    owner_->SetScrollPos(pos);
}

void CScrollBarUI::Press(Part part, POINT pt) {
    pressed_ = part;
    dragOrigin_ = Along(pt);
    dragPos_ = pos_;
    const int page = horizontal_ ? Width(rcItem_) : Height(rcItem_);
    if (part == kButton1)
        Scroll(-lineSize_);
    if (part == kButton2)
        Scroll(lineSize_);
    if (part == kTrack)
        Scroll(Along(pt) < Along({rcThumb_.left, rcThumb_.top}) ? -page : page);
}

void CScrollBarUI::DragThumb(POINT pt) {
    const int track = (horizontal_ ? Width(rcItem_) : Height(rcItem_)) -
                      (showButton1_ ? GetThickness() : 0) - (showButton2_ ? GetThickness() : 0);
    const int thumb = horizontal_ ? Width(rcThumb_) : Height(rcThumb_);
    if (track <= thumb)
        return;
    const int target = dragPos_ + (Along(pt) - dragOrigin_) * range_ / (track - thumb);
    SIZE pos = owner_ ? owner_->GetScrollPos() : SIZE{};
    (horizontal_ ? pos.cx : pos.cy) = target;
    if (owner_)
        owner_->SetScrollPos(pos);
}

void CScrollBarUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            Press(PartAt(event.ptMouse), event.ptMouse);
            break;
        case UIEVENT_BUTTONUP:
            pressed_ = kNone;
            break;
        case UIEVENT_MOUSEMOVE:
            if (pressed_ == kThumb)
                DragThumb(event.ptMouse);
            hot_ = PartAt(event.ptMouse);
            break;
        case UIEVENT_MOUSELEAVE:
            hot_ = kNone;
            break;
        case UIEVENT_SCROLLWHEEL:
            if (owner_)
                owner_->DoEvent(event);
            return;
        default:
            CControlUI::DoEvent(event);
            return;
    }
    Invalidate();
}

const std::wstring& CScrollBarUI::StateImage(const std::wstring (&images)[3], bool hot,
                                             bool pushed) {
    if (pushed && !images[2].empty())
        return images[2];
    if (hot && !images[1].empty())
        return images[1];
    return images[0];
}

void CScrollBarUI::PaintBkImage(IRender& render) {
    CControlUI::PaintBkImage(render);
    DrawImage(render, bkNormal_);
}

void CScrollBarUI::PaintStatusImage(IRender& render) {
    if (showButton1_)
        DrawImage(render, StateImage(button1_, hot_ == kButton1, pressed_ == kButton1),
                  &rcButton1_);
    if (showButton2_)
        DrawImage(render, StateImage(button2_, hot_ == kButton2, pressed_ == kButton2),
                  &rcButton2_);
    if (range_ <= 0)
        return;
    const std::wstring& thumb = StateImage(thumb_, hot_ == kThumb, pressed_ == kThumb);
    if (!DrawImage(render, thumb, &rcThumb_))
        render.FillRect(Deflate(rcThumb_, RECT{2, 2, 2, 2}), 0xFFC2C6CC);
    DrawImage(render, rail_, &rcThumb_);
}

void CScrollBarUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    static const std::pair<const wchar_t*, int> kStates[] = {
        {L"normalimage", 0}, {L"hotimage", 1}, {L"pushedimage", 2}};
    for (const auto& [suffix, index] : kStates) {
        if (name == std::wstring(L"button1") + suffix)
            button1_[index] = value;
        else if (name == std::wstring(L"button2") + suffix)
            button2_[index] = value;
        else if (name == std::wstring(L"thumb") + suffix)
            thumb_[index] = value;
        else
            continue;
        return;
    }
    if (name == L"railnormalimage")
        rail_ = value;
    else if (name == L"bknormalimage")
        bkNormal_ = value;
    else if (name == L"showbutton1")
        SetShowButton1(ParseBool(value));
    else if (name == L"showbutton2")
        SetShowButton2(ParseBool(value));
    else if (name == L"linesize")
        SetLineSize(ParseInt(value));
    else if (name == L"range")
        SetScrollRange(ParseInt(value));
    else if (name == L"value")
        SetScrollPos(ParseInt(value));
    else if (name == L"hor")
        SetHorizontal(ParseBool(value));
    else
        CControlUI::SetAttribute(name, value);
}

}  // namespace ui
