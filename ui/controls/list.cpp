#include "ui/controls/list.h"

#include <algorithm>

#include "ui/controls/scrollbar.h"
#include "ui/core/attributes.h"
#include "ui/core/geometry.h"
#include "ui/core/text_markup.h"
#include "ui/manager/paint_manager.h"

namespace ui {
namespace {
constexpr int kTextMargin = 8;

void SetStyleBits(UINT& style, std::wstring_view value) {
    style &= ~(DT_CENTER | DT_RIGHT);
    if (value == L"center")
        style |= DT_CENTER;
    if (value == L"right")
        style |= DT_RIGHT;
}

IListItemUI* AsListItem(CControlUI* c) {
    return c ? static_cast<IListItemUI*>(c->GetInterface(L"ListItem")) : nullptr;
}

}  // namespace

bool SetListInfoAttribute(TListInfoUI& info, std::wstring_view name, std::wstring_view value) {
    if (name == L"itemfont")
        info.nFont = ParseInt(value);
    else if (name == L"itemalign")
        SetStyleBits(info.uTextStyle, value);
    else if (name == L"itemendellipsis")
        info.uTextStyle |= ParseBool(value) ? DT_END_ELLIPSIS : 0;
    else if (name == L"itemtextpadding")
        info.rcTextPadding = ParseRect(value);
    else if (name == L"itemtextcolor")
        info.dwTextColor = ParseColor(value);
    else if (name == L"itembkcolor")
        info.dwBkColor = ParseColor(value);
    else if (name == L"itemselectedtextcolor")
        info.dwSelectedTextColor = ParseColor(value);
    else if (name == L"itemselectedbkcolor")
        info.dwSelectedBkColor = ParseColor(value);
    else if (name == L"itemhottextcolor")
        info.dwHotTextColor = ParseColor(value);
    else if (name == L"itemhotbkcolor")
        info.dwHotBkColor = ParseColor(value);
    else if (name == L"itemdisabledtextcolor")
        info.dwDisabledTextColor = ParseColor(value);
    else if (name == L"itemlinecolor")
        info.dwLineColor = ParseColor(value);
    else if (name == L"itembkimage")
        info.sBkImage = value;
    else if (name == L"itemselectedimage")
        info.sSelectedImage = value;
    else if (name == L"itemhotimage")
        info.sHotImage = value;
    else if (name == L"itemshowhtml")
        info.bShowHtml = ParseBool(value);
    else if (name == L"itemheight")
        info.nItemHeight = ParseInt(value);
    else
        return false;
    return true;
}

void ShiftSelectionOnInsert(int& curSel, int index) {
    if (curSel >= index)
        ++curSel;
}

void ShiftSelectionOnRemove(int& curSel, int index) {
    if (curSel == index)
        curSel = -1;
    else if (curSel > index)
        --curSel;
}

void IndexItems(const CContainerUI& items, IListOwnerUI* owner) {
    for (int i = 0; i < items.GetCount(); ++i) {
        if (IListItemUI* item = AsListItem(items.GetItemAt(i))) {
            item->SetOwner(owner);
            item->SetIndex(i);
        }
    }
}

bool MoveSelection(const CContainerUI& items, int& curSel, int index) {
    IListItemUI* next = AsListItem(items.GetItemAt(index));
    if (index >= 0 && !next)
        return false;
    if (IListItemUI* prev = AsListItem(items.GetItemAt(curSel)))
        prev->Select(false);
    curSel = index;
    if (next)
        next->Select(true);
    return true;
}

bool CListItemState::HandleRowEvent(CControlUI& self, TEventUI& event) {
    CPaintManagerUI* pm = owner_ ? owner_->GetOwnerControl()->GetManager() : nullptr;
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
            if (!self.IsEnabled() || !owner_)
                return true;
            if (pm)
                pm->SendNotify(&self, DUI_MSGTYPE_ITEMCLICK);
            owner_->ChooseItem(index_);
            return true;
        case UIEVENT_DBLCLICK:
            if (pm && self.IsEnabled())
                pm->SendNotify(&self, DUI_MSGTYPE_ITEMACTIVATE);
            return true;
        case UIEVENT_MOUSEENTER:
        case UIEVENT_MOUSELEAVE:
            hot_ = event.Type == UIEVENT_MOUSEENTER;
            self.Invalidate();
            return true;
        default:
            return false;
    }
}

void CListItemState::PaintRowBackground(CControlUI& self, IRender& render) {
    if (!owner_)
        return;
    const TListInfoUI& info = owner_->GetListInfo();
    const RECT& rc = self.GetPos();
    const DWORD color = selected_ ? info.dwSelectedBkColor
                        : hot_    ? info.dwHotBkColor
                                  : info.dwBkColor;
    if (AlphaOf(color))
        render.FillRect(rc, color);
    const std::wstring& image = selected_ ? info.sSelectedImage
                                : hot_    ? info.sHotImage
                                          : info.sBkImage;
    self.DrawImage(render, image.empty() ? info.sBkImage : image);
    if (AlphaOf(info.dwLineColor))
        render.FillRect({rc.left, rc.bottom - 1, rc.right, rc.bottom}, info.dwLineColor);
}

DWORD CListItemState::RowTextColor(const CControlUI& self) const {
    // A row that a skin put outside any list has no list colours: it takes the window's.
    static const TListInfoUI kNoList;
    const TListInfoUI& info = owner_ ? owner_->GetListInfo() : kNoList;
    if (!self.IsEnabled() && info.dwDisabledTextColor)
        return info.dwDisabledTextColor;
    if (selected_ && info.dwSelectedTextColor)
        return info.dwSelectedTextColor;
    if (hot_ && info.dwHotTextColor)
        return info.dwHotTextColor;
    if (info.dwTextColor)
        return info.dwTextColor;
    CPaintManagerUI* pm = self.GetManager();
    return pm ? pm->GetDefaultFontColor() : 0xFF000000;
}

int CListItemState::RowHeight(const CControlUI& self, int fallback) const {
    if (self.GetFixedHeight() > 0)
        return self.GetFixedHeight();
    CPaintManagerUI* pm = self.GetManager();
    const int itemHeight = owner_ ? owner_->GetListInfo().nItemHeight : 0;
    if (itemHeight > 0)
        return pm ? pm->ScaleValue(itemHeight) : itemHeight;
    return fallback;
}

bool CListItemState::SetRowAttribute(std::wstring_view name, std::wstring_view value) {
    if (name != L"selected")
        return false;
    if (!ParseBool(value))
        return true;
    if (owner_)
        owner_->SelectItem(index_, false, false);
    else
        selected_ = true;
    return true;
}

std::wstring_view CListLabelElementUI::GetClass() const {
    return L"ListLabelElementUI";
}

void* CListLabelElementUI::GetInterface(std::wstring_view name) {
    if (name == L"ListItem")
        return static_cast<IListItemUI*>(this);
    if (name == L"ListLabelElement")
        return this;
    return CControlUI::GetInterface(name);
}

void CListLabelElementUI::Select(bool selected) {
    selected_ = selected;
    Invalidate();
}

SIZE CListLabelElementUI::EstimateSize(SIZE available) {
    int fallback = 0;
    if (manager_) {
        const int font = owner_ ? owner_->GetListInfo().nFont : -1;
        fallback = manager_->GetFontHeight(manager_->GetFont(font)) + Scale(kTextMargin);
    }
    return {CControlUI::EstimateSize(available).cx, RowHeight(*this, fallback)};
}

void CListLabelElementUI::DoEvent(TEventUI& event) {
    if (!HandleRowEvent(*this, event))
        CControlUI::DoEvent(event);
}

void CListLabelElementUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (!SetRowAttribute(name, value))
        CControlUI::SetAttribute(name, value);
}

void CListLabelElementUI::PaintBkColor(IRender& render) {
    CControlUI::PaintBkColor(render);
    PaintRowBackground(*this, render);
}

void CListLabelElementUI::DrawItemText(IRender& render, const RECT& rc) {
    if (!owner_ || !manager_)
        return;
    const TListInfoUI& info = owner_->GetListInfo();
    const RECT area = Deflate(rc, Scale(info.rcTextPadding));
    MarkupText m;
    if (info.bShowHtml)
        m = ParseTextMarkup(GetText());
    else
        m.text = GetText();
    FontInfo font = manager_->GetFont(m.fontId >= 0 ? m.fontId : info.nFont);
    if (!m.fontName.empty())
        font.name = m.fontName;
    if (m.fontSize > 0)
        font.size = Scale(m.fontSize);
    font.bold |= m.bold;
    render.DrawText(area, m.text, m.color ? m.color : RowTextColor(*this), font, info.uTextStyle);
}

void CListLabelElementUI::PaintText(IRender& render) {
    DrawItemText(render, rcItem_);
}

std::wstring_view CListContainerElementUI::GetClass() const {
    return L"ListContainerElementUI";
}

void* CListContainerElementUI::GetInterface(std::wstring_view name) {
    if (name == L"ListItem")
        return static_cast<IListItemUI*>(this);
    if (name == L"ListContainerElement")
        return this;
    return CHorizontalLayoutUI::GetInterface(name);
}

void CListContainerElementUI::Select(bool selected) {
    selected_ = selected;
    Invalidate();
}

SIZE CListContainerElementUI::EstimateSize(SIZE available) {
    const int fallback =
        manager_ ? manager_->GetFontHeight(manager_->GetFont(-1)) + Scale(kTextMargin) : 20;
    return {CControlUI::EstimateSize(available).cx, RowHeight(*this, fallback)};
}

void CListContainerElementUI::SetPos(RECT rc) {
    if (!owner_ || IsEmpty(owner_->GetColumnRect(0))) {
        CHorizontalLayoutUI::SetPos(rc);
        return;
    }
    CControlUI::SetPos(rc);
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* c = items_[i];
        if (!c->IsVisible() || c->IsFloat())
            continue;
        const RECT col = owner_->GetColumnRect(i);
        const RECT pad = c->GetPadding();
        c->SetPos(
            {col.left + pad.left, rc.top + pad.top, col.right - pad.right, rc.bottom - pad.bottom});
    }
    PlaceFloatChildren();
}

void CListContainerElementUI::DoEvent(TEventUI& event) {
    if (!HandleRowEvent(*this, event))
        CHorizontalLayoutUI::DoEvent(event);
}

void CListContainerElementUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (!SetRowAttribute(name, value))
        CHorizontalLayoutUI::SetAttribute(name, value);
}

void CListContainerElementUI::PaintBkColor(IRender& render) {
    CHorizontalLayoutUI::PaintBkColor(render);
    PaintRowBackground(*this, render);
}

CListHeaderItemUI::CListHeaderItemUI() = default;

std::wstring_view CListHeaderItemUI::GetClass() const {
    return L"ListHeaderItemUI";
}

void* CListHeaderItemUI::GetInterface(std::wstring_view name) {
    return name == L"ListHeaderItem" ? this : CContainerUI::GetInterface(name);
}

void CListHeaderItemUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"font")
        font_ = ParseInt(value);
    else if (name == L"textcolor")
        textColor_ = ParseColor(value);
    else if (name == L"align")
        SetStyleBits(textStyle_, value);
    else if (name == L"textpadding")
        textPadding_ = ParseRect(value);
    else if (name == L"normalimage")
        normalImage_ = value;
    else if (name == L"hotimage")
        hotImage_ = value;
    else if (name == L"pushedimage")
        pushedImage_ = value;
    else if (name == L"sepimage")
        sepImage_ = value;
    else if (name == L"sepwidth")
        sepWidth_ = ParseInt(value);
    else if (name == L"dragable")
        return;  // columns keep the widths the skin gives them
    else
        CContainerUI::SetAttribute(name, value);
}

void CListHeaderItemUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_MOUSEENTER || event.Type == UIEVENT_MOUSELEAVE) {
        hot_ = event.Type == UIEVENT_MOUSEENTER;
        Invalidate();
        return;
    }
    CContainerUI::DoEvent(event);
}

void CListHeaderItemUI::PaintStatusImage(IRender& render) {
    if (!(hot_ && DrawImage(render, hotImage_)))
        DrawImage(render, normalImage_);
    if (sepWidth_ > 0) {
        const RECT sep{rcItem_.right - Scale(sepWidth_), rcItem_.top, rcItem_.right,
                       rcItem_.bottom};
        DrawImage(render, sepImage_, &sep);
    }
}

void CListHeaderItemUI::PaintText(IRender& render) {
    if (GetText().empty() || !manager_)
        return;
    const DWORD color = textColor_ ? textColor_ : manager_->GetDefaultFontColor();
    render.DrawText(Deflate(rcItem_, Scale(textPadding_)), GetText(), color,
                    manager_->GetFont(font_), textStyle_);
}

std::wstring_view CListHeaderUI::GetClass() const {
    return L"ListHeaderUI";
}

void* CListHeaderUI::GetInterface(std::wstring_view name) {
    return name == L"ListHeader" ? this : CHorizontalLayoutUI::GetInterface(name);
}

SIZE CListHeaderUI::EstimateSize(SIZE available) {
    SIZE size = CControlUI::EstimateSize(available);
    for (int i = 0; size.cy == 0 && i < GetCount(); ++i)
        size.cy = GetItemAt(i)->GetFixedHeight();
    if (size.cy == 0 && manager_)
        size.cy = manager_->GetFontHeight(manager_->GetFont(-1)) + Scale(kTextMargin);
    return size;
}

std::wstring_view CListBodyUI::GetClass() const {
    return L"ListBodyUI";
}

CListUI::CListUI() : header_(new CListHeaderUI), body_(new CListBodyUI) {
    header_->SetVisible(false);
    CVerticalLayoutUI::AddAt(header_, 0);
    CVerticalLayoutUI::AddAt(body_, 1);
}

std::wstring_view CListUI::GetClass() const {
    return L"ListUI";
}

void* CListUI::GetInterface(std::wstring_view name) {
    if (name == L"List")
        return this;
    if (name == L"IListOwner")
        return static_cast<IListOwnerUI*>(this);
    return CVerticalLayoutUI::GetInterface(name);
}

bool CListUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CListUI::AddAt(CControlUI* control, int index) {
    if (!control)
        return false;
    if (control->GetInterface(L"ListHeader")) {
        CVerticalLayoutUI::Remove(header_);
        header_ = static_cast<CListHeaderUI*>(control);
        return CVerticalLayoutUI::AddAt(control, 0);
    }
    if (!body_->AddAt(control, index))
        return false;
    ShiftSelectionOnInsert(curSel_, index);
    IndexItems(*body_, this);
    return true;
}

bool CListUI::Remove(CControlUI* control, bool doNotDestroy) {
    return RemoveAt(GetItemIndex(control), doNotDestroy);
}

bool CListUI::RemoveAt(int index, bool doNotDestroy) {
    if (!body_->RemoveAt(index, doNotDestroy))
        return false;
    ShiftSelectionOnRemove(curSel_, index);
    IndexItems(*body_, this);
    return true;
}

void CListUI::RemoveAll() {
    curSel_ = -1;
    body_->RemoveAll();
}

int CListUI::GetCount() const {
    return body_->GetCount();
}
CControlUI* CListUI::GetItemAt(int index) const {
    return body_->GetItemAt(index);
}
int CListUI::GetItemIndex(CControlUI* control) const {
    return body_->GetItemIndex(control);
}

bool CListUI::SelectItem(int index, bool, bool triggerEvent) {
    if (index == curSel_)
        return true;
    const int old = curSel_;
    if (!MoveSelection(*body_, curSel_, index))
        return false;
    if (triggerEvent)
        Notify(DUI_MSGTYPE_ITEMSELECT, curSel_, old);
    return true;
}

RECT CListUI::GetColumnRect(int index) const {
    if (!header_->IsVisible())
        return {};
    CControlUI* item = header_->GetItemAt(index);
    if (!item || !item->IsVisible())
        return {};
    const RECT& rc = item->GetPos();
    return {rc.left, 0, rc.right, 1};
}

CScrollBarUI* CListUI::GetVerticalScrollBar() const {
    return body_->GetVerticalScrollBar();
}
CScrollBarUI* CListUI::GetHorizontalScrollBar() const {
    return body_->GetHorizontalScrollBar();
}

void CListUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_KEYDOWN && (event.wParam == VK_UP || event.wParam == VK_DOWN)) {
        const int step = event.wParam == VK_UP ? -1 : 1;
        SelectItem(std::clamp(curSel_ + step, 0, GetCount() - 1), true);
        return;
    }
    if (event.Type == UIEVENT_KEYDOWN && event.wParam == VK_RETURN && GetItemAt(curSel_)) {
        Notify(DUI_MSGTYPE_ITEMACTIVATE, curSel_);
        return;
    }
    // The body is the list's scrolling part; the wheel ends there, scrolling or not.
    if (event.Type == UIEVENT_SCROLLWHEEL) {
        body_->ScrollByWheel(static_cast<LPARAM>(event.wParam));
        return;
    }
    CVerticalLayoutUI::DoEvent(event);
}

void CListUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (SetListInfoAttribute(info_, name, value)) {
        NeedUpdate();
    } else if (name == L"header") {
        header_->SetVisible(value != L"hidden");
    } else if (name == L"vscrollbar" || name == L"hscrollbar" || name == L"scrollstepsize" ||
               name == L"vscrollbarstyle" || name == L"hscrollbarstyle") {
        body_->SetAttribute(name, value);
    } else {
        CVerticalLayoutUI::SetAttribute(name, value);
    }
}

}  // namespace ui
