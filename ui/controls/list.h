// Lists and their rows. CListUI is a vertical layout of a CListHeaderUI and a scrolling body of
// rows; a CListContainerElementUI row snaps its i-th child to header column i. The row look
// (fonts, colours, height) comes from the owner's TListInfoUI, which combos share.
#pragma once

#include "ui/controls/container.h"

namespace ui {

struct TListInfoUI {
    int nFont = -1;
    UINT uTextStyle = DT_VCENTER | DT_SINGLELINE;
    RECT rcTextPadding{};
    DWORD dwTextColor = 0;
    DWORD dwBkColor = 0;
    DWORD dwSelectedTextColor = 0;
    DWORD dwSelectedBkColor = 0;
    DWORD dwHotTextColor = 0;
    DWORD dwHotBkColor = 0;
    DWORD dwDisabledTextColor = 0;
    DWORD dwLineColor = 0;
    std::wstring sBkImage;
    std::wstring sSelectedImage;
    std::wstring sHotImage;
    bool bShowHtml = true;
    int nItemHeight = 0;
};

// Reads an item* attribute into info; false when name is not one.
bool SetListInfoAttribute(TListInfoUI& info, std::wstring_view name, std::wstring_view value);

class IListItemUI;

class IListOwnerUI {
  public:
    virtual ~IListOwnerUI() = default;
    virtual const TListInfoUI& GetListInfo() const = 0;
    virtual int GetCurSel() const = 0;
    virtual bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) = 0;
    // The user pressed item index.
    virtual void ChooseItem(int index) { SelectItem(index, true); }
    // The manager that sends the owner's notifications.
    virtual CControlUI* GetOwnerControl() = 0;
    // Header column i as a left/right span, or an empty rect when there is no such column.
    virtual RECT GetColumnRect(int index) const = 0;
};

class IListItemUI {
  public:
    virtual ~IListItemUI() = default;
    virtual IListOwnerUI* GetOwner() const = 0;
    virtual void SetOwner(IListOwnerUI* owner) = 0;
    virtual int GetIndex() const = 0;
    virtual void SetIndex(int index) = 0;
    virtual bool IsSelected() const = 0;
    virtual void Select(bool selected) = 0;
};

// Selection bookkeeping shared by lists and combos, over the owner's items.
// Keeps curSel on the same item when one is inserted or removed at index.
void ShiftSelectionOnInsert(int& curSel, int index);
void ShiftSelectionOnRemove(int& curSel, int index);
// Tells every item of owner its owner and index.
void IndexItems(const CContainerUI& items, IListOwnerUI* owner);
// Moves the selection mark from curSel to index (-1: none); false when index names no item.
bool MoveSelection(const CContainerUI& items, int& curSel, int index);

// State and look shared by both kinds of row.
class CListItemState : public IListItemUI {
  public:
    IListOwnerUI* GetOwner() const override { return owner_; }
    void SetOwner(IListOwnerUI* owner) override { owner_ = owner; }
    int GetIndex() const override { return index_; }
    void SetIndex(int index) override { index_ = index; }
    bool IsSelected() const override { return selected_; }

  protected:
    // Press, hover and double-click handling common to rows; true when consumed.
    bool HandleRowEvent(CControlUI& self, TEventUI& event);
    void PaintRowBackground(CControlUI& self, IRender& render);
    DWORD RowTextColor(const CControlUI& self) const;
    int RowHeight(const CControlUI& self, int fallback) const;
    // selected="true" selects the row in its owner, quietly; false when name is another one.
    bool SetRowAttribute(std::wstring_view name, std::wstring_view value);

    IListOwnerUI* owner_ = nullptr;
    int index_ = -1;
    bool selected_ = false;
    bool hot_ = false;
};

// A text row: combo items and simple list rows.
class CListLabelElementUI : public CControlUI, public CListItemState {
  public:
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;
    void Select(bool selected) override;
    SIZE EstimateSize(SIZE available) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    // Draws the row's text with the owner's look (the combo also uses this for its caption).
    void DrawItemText(IRender& render, const RECT& rc);

  protected:
    void PaintBkColor(IRender& render) override;
    void PaintText(IRender& render) override;
};

class CListContainerElementUI : public CHorizontalLayoutUI, public CListItemState {
  public:
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;
    void Select(bool selected) override;
    SIZE EstimateSize(SIZE available) override;
    void SetPos(RECT rc) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

  protected:
    void PaintBkColor(IRender& render) override;
};

class CListHeaderItemUI : public CContainerUI {
  public:
    CListHeaderItemUI();
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void DoEvent(TEventUI& event) override;

  protected:
    void PaintStatusImage(IRender& render) override;
    void PaintText(IRender& render) override;

  private:
    int font_ = -1;
    DWORD textColor_ = 0;
    UINT textStyle_ = DT_VCENTER | DT_SINGLELINE | DT_CENTER;
    RECT textPadding_{};
    bool hot_ = false;
    std::wstring normalImage_;
    std::wstring hotImage_;
    std::wstring pushedImage_;
    std::wstring sepImage_;
    int sepWidth_ = 0;
};

class CListHeaderUI : public CHorizontalLayoutUI {
  public:
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;
    SIZE EstimateSize(SIZE available) override;
};

class CListBodyUI : public CVerticalLayoutUI {
  public:
    std::wstring_view GetClass() const override;
};

class CListUI : public CVerticalLayoutUI, public IListOwnerUI {
  public:
    CListUI();
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;

    CListHeaderUI* GetHeader() const { return header_; }
    CListBodyUI* GetList() const { return body_; }
    // Rows live in the body; a ListHeader added here replaces the header.
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control, bool doNotDestroy = false) override;
    bool RemoveAt(int index, bool doNotDestroy = false) override;
    void RemoveAll() override;
    int GetCount() const override;
    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* control) const override;

    const TListInfoUI& GetListInfo() const override { return info_; }
    int GetCurSel() const override { return curSel_; }
    bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) override;
    CControlUI* GetOwnerControl() override { return this; }
    RECT GetColumnRect(int index) const override;

    CScrollBarUI* GetVerticalScrollBar() const;
    CScrollBarUI* GetHorizontalScrollBar() const;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

  private:
    CListHeaderUI* header_;
    CListBodyUI* body_;
    TListInfoUI info_;
    int curSel_ = -1;
};

}  // namespace ui
