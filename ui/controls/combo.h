// CComboUI: shows the current item's text; a click asks the host for the drop-down, which
// borrows the items while it is open. Choosing an item sends "itemselect" (new, old).
#pragma once

#include "ui/controls/list.h"

namespace ui {

class CComboUI : public CContainerUI, public IListOwnerUI {
  public:
    CComboUI();
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;

    bool AddAt(CControlUI* control, int index) override;
    bool Add(CControlUI* control) override;
    bool RemoveAt(int index, bool doNotDestroy = false) override;
    void RemoveAll() override;
    // While the drop-down has the items they still count as the combo's.
    int GetCount() const override;
    CControlUI* GetItemAt(int index) const override;

    const TListInfoUI& GetListInfo() const override { return info_; }
    int GetCurSel() const override { return curSel_; }
    bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) override;
    // A choice in the drop-down is reported even when it is the item already shown: the
    // owner may have to act on the choice itself (store it), not only on a change.
    void ChooseItem(int index) override;
    CControlUI* GetOwnerControl() override { return this; }
    RECT GetColumnRect(int) const override { return {}; }
    // The current item's text; without a current item the combo's own text.
    std::wstring GetText() const override;

    // The drop-down's size for items needing itemsHeight pixels: as wide as the combo (or the
    // dropboxsize width), as high as the items plus its frame, at most the dropboxsize height.
    SIZE GetDropBoxSize(int itemsHeight) const;
    const std::wstring& GetDropBoxAttributeList() const { return dropBoxAttributes_; }
    // Where the drop-down goes on screen: below the combo, or above when it does not fit.
    static RECT PlaceDropDown(const RECT& comboOnScreen, SIZE box, const RECT& screen);
    // The drop-down borrows the items while it is open and gives them back when it closes;
    // the selection is untouched either way.
    std::vector<CControlUI*> TakeItems();
    void ReturnItems(std::vector<CControlUI*> items);
    bool IsDropped() const { return dropped_; }
    void SetDropped(bool dropped);

    bool Activate() override;
    SIZE EstimateSize(SIZE available) override;
    // The combo lays out, paints and takes the mouse as one control: its items only appear in
    // the drop-down.
    void SetPos(RECT rc) override;
    void DoPaint(IRender& render, const RECT& paint) override;
    void DoEvent(TEventUI& event) override;
    CControlUI* FindControlAt(POINT pt) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

  protected:
    void PaintStatusImage(IRender& render) override;
    void PaintText(IRender& render) override;

  private:
    TListInfoUI info_;
    std::vector<CControlUI*> lent_;
    int curSel_ = -1;
    bool dropped_ = false;
    UINT state_ = 0;
    int font_ = -1;
    RECT textPadding_{};
    SIZE dropBox_{};
    std::wstring dropBoxAttributes_;
    std::wstring images_[5];  // normal, hot, pushed, focused, disabled
};

}  // namespace ui
