#include "ui/controls/container.h"

#include <algorithm>

#include "ui/controls/scrollbar.h"
#include "ui/core/attributes.h"
#include "ui/core/geometry.h"
#include "ui/manager/paint_manager.h"

namespace ui {
namespace {

Align ParseAlign(std::wstring_view v) {
    if (v == L"center" || v == L"vcenter")
        return Align::Center;
    if (v == L"right" || v == L"bottom")
        return Align::End;
    return Align::Start;
}

}  // namespace

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
    for (CControlUI* c : items_)
        delete c;
}

std::wstring_view CContainerUI::GetClass() const {
    return L"ContainerUI";
}

void* CContainerUI::GetInterface(std::wstring_view name) {
    return name == L"Container" ? this : CControlUI::GetInterface(name);
}

// The base operations work on items_ directly: lists and combos redirect the virtual ones.
bool CContainerUI::Add(CControlUI* control) {
    return CContainerUI::AddAt(control, ItemCount());
}

bool CContainerUI::AddAt(CControlUI* control, int index) {
    if (!control || index < 0 || index > ItemCount())
        return false;
    items_.insert(items_.begin() + index, control);
    if (manager_)
        manager_->InitControls(control, this);
    else
        control->SetManager(nullptr, this);
    NeedUpdate();
    return true;
}

bool CContainerUI::Remove(CControlUI* control, bool doNotDestroy) {
    return CContainerUI::RemoveAt(CContainerUI::GetItemIndex(control), doNotDestroy);
}

bool CContainerUI::RemoveAt(int index, bool doNotDestroy) {
    if (index < 0 || index >= ItemCount())
        return false;
    CControlUI* control = items_[index];
    items_.erase(items_.begin() + index);
    if (doNotDestroy) {
        if (manager_)
            manager_->ReapObjects(control);
        control->SetManager(nullptr, nullptr);
    } else {
        delete control;
    }
    NeedUpdate();
    return true;
}

void CContainerUI::RemoveAll() {
    while (!items_.empty())
        CContainerUI::RemoveAt(ItemCount() - 1);
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    return index >= 0 && index < ItemCount() ? items_[index] : nullptr;
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
    auto it = std::find(items_.begin(), items_.end(), control);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

RECT CContainerUI::GetInset() const {
    return Scale(inset_);
}

void CContainerUI::SetInset(RECT rc) {
    inset_ = rc;
    NeedUpdate();
}

int CContainerUI::GetChildPadding() const {
    return Scale(childPadding_);
}

void CContainerUI::SetChildPadding(int padding) {
    childPadding_ = padding;
    NeedUpdate();
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    CControlUI::SetManager(manager, parent);
    for (CControlUI* c : items_)
        c->SetManager(manager, this);
    if (vScroll_)
        vScroll_->SetManager(manager, this);
    if (hScroll_)
        hScroll_->SetManager(manager, this);
}

RECT CContainerUI::ContentRect() const {
    RECT rc = Deflate(rcItem_, GetInset());
    if (vScroll_ && vScroll_->IsVisible())
        rc.right -= vScroll_->GetThickness();
    if (hScroll_ && hScroll_->IsVisible())
        rc.bottom -= hScroll_->GetThickness();
    return rc;
}

void CContainerUI::SetFloatPos(CControlUI* child) {
    child->SetPos(PlaceFloat(rcItem_, child->GetFloatPos(), child->GetFloatFactors()));
}

void CContainerUI::PlaceFloatChildren() {
    for (CControlUI* c : items_)
        if (c->IsVisible() && c->IsFloat())
            SetFloatPos(c);
}

std::vector<LayoutItem> CContainerUI::ChildItems(SIZE available) const {
    std::vector<LayoutItem> items;
    items.reserve(items_.size());
    for (CControlUI* c : items_)
        items.push_back(c->GetLayoutItem(available));
    return items;
}

void CContainerUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    const RECT content = ContentRect();
    for (CControlUI* c : items_) {
        if (!c->IsVisible())
            continue;
        if (c->IsFloat())
            SetFloatPos(c);
        else
            c->SetPos(Deflate(content, c->GetPadding()));
    }
}

void CContainerUI::EnableScrollBar(bool vertical, bool horizontal) {
    auto make = [this](std::unique_ptr<CScrollBarUI>& bar, bool want, bool horiz) {
        if (want && !bar) {
            bar = std::make_unique<CScrollBarUI>();
            bar->SetOwner(this);
            bar->SetHorizontal(horiz);
            bar->SetVisible(false);
            bar->SetManager(manager_, this);
            if (manager_) {
                bar->ApplyAttributeList(manager_->GetDefaultAttributeList(L"ScrollBar"));
                bar->ApplyAttributeList(
                    manager_->GetDefaultAttributeList(horiz ? L"HScrollBar" : L"VScrollBar"));
            }
        } else if (!want) {
            bar.reset();
        }
    };
    make(vScroll_, vertical, false);
    make(hScroll_, horizontal, true);
    NeedUpdate();
}

SIZE CContainerUI::GetScrollPos() const {
    return {hScroll_ ? hScroll_->GetScrollPos() : 0, vScroll_ ? vScroll_->GetScrollPos() : 0};
}

SIZE CContainerUI::GetScrollRange() const {
    return {hScroll_ ? hScroll_->GetScrollRange() : 0, vScroll_ ? vScroll_->GetScrollRange() : 0};
}

void CContainerUI::SetScrollPos(SIZE pos) {
    const SIZE old = GetScrollPos();
    if (hScroll_)
        hScroll_->SetScrollPos(pos.cx);
    if (vScroll_)
        vScroll_->SetScrollPos(pos.cy);
    if (!(GetScrollPos() == old)) {
        SetPos(rcItem_);
        Invalidate();
    }
}

void CContainerUI::ProcessScrollBar(const RECT& rc, LONG neededWidth, LONG neededHeight) {
    const RECT inset = GetInset();
    auto fit = [](CScrollBarUI* bar, LONG needed, LONG room) {
        const bool show = needed > room;
        bar->SetScrollRange(show ? needed - room : 0);
        const bool changed = bar->IsVisible() != show;
        bar->SetVisible(show);
        return changed;
    };
    bool relayout = false;
    if (vScroll_) {
        const LONG room = rc.bottom - rc.top - inset.top - inset.bottom;
        relayout |= fit(vScroll_.get(), neededHeight, room);
        const int w = vScroll_->GetThickness();
        vScroll_->SetPos({rc.right - inset.right - w, rc.top + inset.top, rc.right - inset.right,
                          rc.bottom - inset.bottom});
    }
    if (hScroll_) {
        const LONG room = rc.right - rc.left - inset.left - inset.right;
        relayout |= fit(hScroll_.get(), neededWidth, room);
        const int h = hScroll_->GetThickness();
        hScroll_->SetPos({rc.left + inset.left, rc.bottom - inset.bottom - h,
                          rc.right - inset.right, rc.bottom - inset.bottom});
    }
    if (relayout)
        SetPos(rc);
}

void CContainerUI::PaintChildren(IRender& render, const RECT& paint) {
    const RECT clip = Intersect(paint, ContentRect());
    for (CControlUI* c : items_) {
        if (!c->IsVisible())
            continue;
        if (c->IsFloat()) {
            c->DoPaint(render, Intersect(paint, rcItem_));
        } else if (!IsEmpty(Intersect(clip, c->GetPos()))) {
            c->DoPaint(render, clip);
        }
    }
}

void CContainerUI::DoPaint(IRender& render, const RECT& paint) {
    const RECT rc = Intersect(paint, rcItem_);
    if (IsEmpty(rc))
        return;
    CControlUI::DoPaint(render, paint);
    render.PushClip(rc, SIZE{});
    PaintChildren(render, rc);
    render.PopClip();
    for (CScrollBarUI* bar : {vScroll_.get(), hScroll_.get()})
        if (bar && bar->IsVisible())
            bar->DoPaint(render, rc);
}

void CContainerUI::ScrollByWheel(LPARAM delta) {
    if (!vScroll_ || !vScroll_->IsVisible())
        return;
    const SIZE pos = GetScrollPos();
    const int step = vScroll_->GetLineSize() * 3;
    SetScrollPos({pos.cx, pos.cy + (delta > 0 ? -step : step)});
}

// A container that scrolls takes the wheel whether or not its content fits; one that cannot
// scroll at all leaves it to its parent, so a wheel over a row reaches the list around it.
void CContainerUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_SCROLLWHEEL && vScroll_) {
        ScrollByWheel(static_cast<LPARAM>(event.wParam));
        return;
    }
    CControlUI::DoEvent(event);
}

CControlUI* CContainerUI::FindControlAt(POINT pt) {
    if (!IsVisible() || !Contains(rcItem_, pt))
        return nullptr;
    for (CScrollBarUI* bar : {vScroll_.get(), hScroll_.get()})
        if (bar && bar->IsVisible() && Contains(bar->GetPos(), pt))
            return bar;
    if (mouseChild_) {
        const bool inContent = Contains(ContentRect(), pt);
        for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
            if (!(*it)->IsFloat() && !inContent)
                continue;
            if (CControlUI* hit = (*it)->FindControlAt(pt))
                return hit;
        }
    }
    return CControlUI::FindControlAt(pt);
}

CControlUI* CContainerUI::FindControl(const std::function<bool(CControlUI*)>& pred) {
    if (pred(this))
        return this;
    for (CControlUI* c : items_)
        if (CControlUI* found = c->FindControl(pred))
            return found;
    return nullptr;
}

CControlUI* CContainerUI::FindSubControl(std::wstring_view name) {
    for (CControlUI* c : items_) {
        CControlUI* found = c->FindControl([name](CControlUI* x) { return x->GetName() == name; });
        if (found)
            return found;
    }
    return nullptr;
}

void CContainerUI::ApplyScrollBarAttribute(std::wstring_view name, std::wstring_view value) {
    const bool on = ParseBool(value);
    if (name == L"vscrollbar")
        EnableScrollBar(on, hScroll_ != nullptr);
    else
        EnableScrollBar(vScroll_ != nullptr, on);
}

void CContainerUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"inset")
        SetInset(ParseRect(value));
    else if (name == L"childpadding")
        SetChildPadding(ParseInt(value));
    else if (name == L"childalign")
        childAlign_ = ParseAlign(value);
    else if (name == L"childvalign")
        childVAlign_ = ParseAlign(value);
    else if (name == L"mousechild")
        SetMouseChildEnabled(ParseBool(value));
    else if (name == L"vscrollbar" || name == L"hscrollbar")
        ApplyScrollBarAttribute(name, value);
    else if (name == L"vscrollbarstyle" && vScroll_)
        vScroll_->ApplyAttributeList(value);
    else if (name == L"hscrollbarstyle" && hScroll_)
        hScroll_->ApplyAttributeList(value);
    else if (name == L"scrollstepsize") {
        for (CScrollBarUI* bar : {vScroll_.get(), hScroll_.get()})
            if (bar)
                bar->SetLineSize(ParseInt(value));
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

std::wstring_view CVerticalLayoutUI::GetClass() const {
    return L"VerticalLayoutUI";
}

void* CVerticalLayoutUI::GetInterface(std::wstring_view name) {
    return name == L"VerticalLayout" ? this : CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    const RECT content = ContentRect();
    const SIZE scroll = GetScrollPos();
    const SIZE available{Width(content), Height(content)};
    const LinearResult r = LayoutLinear(true, content, ChildItems(available), GetChildPadding(),
                                        childVAlign_, childAlign_);
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->IsVisible() && !items_[i]->IsFloat())
            items_[i]->SetPos(Offset(r.rects[i], -scroll.cx, -scroll.cy));
    PlaceFloatChildren();
    ProcessScrollBar(rc, 0, r.needed);
}

std::wstring_view CHorizontalLayoutUI::GetClass() const {
    return L"HorizontalLayoutUI";
}

void* CHorizontalLayoutUI::GetInterface(std::wstring_view name) {
    return name == L"HorizontalLayout" ? this : CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    const RECT content = ContentRect();
    const SIZE scroll = GetScrollPos();
    std::vector<LayoutItem> items = ChildItems({Width(content), Height(content)});
    // Along a row only an explicit (or text-computed) width is fixed, and across it only an
    // explicit height: a text's height estimate does not shrink it inside a row.
    for (size_t i = 0; i < items.size(); ++i) {
        if (!items_[i]->HasAutoWidth())
            items[i].fixed.cx = items_[i]->GetFixedWidth();
        items[i].fixed.cy = items_[i]->GetFixedHeight();
    }
    const LinearResult r =
        LayoutLinear(false, content, items, GetChildPadding(), childAlign_, childVAlign_);
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->IsVisible() && !items_[i]->IsFloat())
            items_[i]->SetPos(Offset(r.rects[i], -scroll.cx, -scroll.cy));
    PlaceFloatChildren();
    ProcessScrollBar(rc, r.needed, 0);
}

std::wstring_view CTabLayoutUI::GetClass() const {
    return L"TabLayoutUI";
}

void* CTabLayoutUI::GetInterface(std::wstring_view name) {
    return name == L"TabLayout" ? this : CContainerUI::GetInterface(name);
}

bool CTabLayoutUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CTabLayoutUI::AddAt(CControlUI* control, int index) {
    if (!CContainerUI::AddAt(control, index))
        return false;
    if (curSel_ == -1 && control->IsVisible()) {
        curSel_ = index;
    } else {
        if (index <= curSel_)
            ++curSel_;
        control->SetVisible(false);
    }
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* control, bool doNotDestroy) {
    return RemoveAt(GetItemIndex(control), doNotDestroy);
}

bool CTabLayoutUI::RemoveAt(int index, bool doNotDestroy) {
    if (!CContainerUI::RemoveAt(index, doNotDestroy))
        return false;
    if (index == curSel_) {
        curSel_ = -1;
        SelectItem(std::min(index, GetCount() - 1), false);
    } else if (index < curSel_) {
        --curSel_;
    }
    return true;
}

void CTabLayoutUI::RemoveAll() {
    curSel_ = -1;
    CContainerUI::RemoveAll();
}

bool CTabLayoutUI::SelectItem(int index, bool triggerEvent) {
    if (index < 0 || index >= GetCount())
        return false;
    if (index == curSel_)
        return true;
    const int old = curSel_;
    curSel_ = index;
    for (int i = 0; i < GetCount(); ++i)
        items_[i]->SetVisible(i == index);
    NeedUpdate();
    if (triggerEvent)
        Notify(DUI_MSGTYPE_TABSELECT, index, old);
    return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* control, bool triggerEvent) {
    return SelectItem(GetItemIndex(control), triggerEvent);
}

void CTabLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    const RECT content = ContentRect();
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* c = items_[i];
        if (i != curSel_)
            continue;
        if (c->IsFloat())
            SetFloatPos(c);
        else
            c->SetPos(Deflate(content, c->GetPadding()));
    }
}

void CTabLayoutUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"selectedid")
        SelectItem(ParseInt(value), false);
    else
        CContainerUI::SetAttribute(name, value);
}

}  // namespace ui
