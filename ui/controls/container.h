// Containers own their children: CContainerUI stacks every child over its whole content box;
// the vertical, horizontal and tab layouts place them by the rules in ui/layout.
#pragma once

#include <memory>
#include <vector>

#include "ui/controls/control.h"

namespace ui {

class CScrollBarUI;

class CContainerUI : public CControlUI {
  public:
    CContainerUI();
    ~CContainerUI() override;
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;

    // Takes ownership. False when control is null.
    virtual bool Add(CControlUI* control);
    virtual bool AddAt(CControlUI* control, int index);
    // Deletes the child unless doNotDestroy; false when it is not a child.
    virtual bool Remove(CControlUI* control, bool doNotDestroy = false);
    virtual bool RemoveAt(int index, bool doNotDestroy = false);
    virtual void RemoveAll();
    virtual int GetCount() const { return static_cast<int>(items_.size()); }
    virtual CControlUI* GetItemAt(int index) const;
    virtual int GetItemIndex(CControlUI* control) const;

    RECT GetInset() const;
    void SetInset(RECT rc);
    int GetChildPadding() const;
    void SetChildPadding(int padding);
    bool IsMouseChildEnabled() const { return mouseChild_; }
    void SetMouseChildEnabled(bool enabled) { mouseChild_ = enabled; }

    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;
    void SetPos(RECT rc) override;
    void DoPaint(IRender& render, const RECT& paint) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    CControlUI* FindControlAt(POINT pt) override;
    CControlUI* FindControl(const std::function<bool(CControlUI*)>& pred) override;
    // First descendant with that name (the manager's FindSubControlByName uses it).
    CControlUI* FindSubControl(std::wstring_view name);

    void EnableScrollBar(bool vertical, bool horizontal);
    CScrollBarUI* GetVerticalScrollBar() const { return vScroll_.get(); }
    CScrollBarUI* GetHorizontalScrollBar() const { return hScroll_.get(); }
    SIZE GetScrollPos() const;
    void SetScrollPos(SIZE pos);
    SIZE GetScrollRange() const;
    // Three lines per wheel notch (delta > 0 scrolls up); content that fits does not move.
    void ScrollByWheel(LPARAM delta);

  protected:
    // The rect left for children: the item rect minus the inset and the visible scroll bars.
    RECT ContentRect() const;
    // Lays out floating children against the item rect.
    void PlaceFloatChildren();
    void SetFloatPos(CControlUI* child);
    // Shows the scroll bars when the children need more than the content box.
    void ProcessScrollBar(const RECT& rc, LONG neededWidth, LONG neededHeight);
    std::vector<LayoutItem> ChildItems(SIZE available) const;
    int ItemCount() const { return static_cast<int>(items_.size()); }
    Align childAlign_ = Align::Start;
    Align childVAlign_ = Align::Start;
    std::vector<CControlUI*> items_;

  private:
    void ApplyScrollBarAttribute(std::wstring_view name, std::wstring_view value);
    void PaintChildren(IRender& render, const RECT& paint);

    RECT inset_{};
    int childPadding_ = 0;
    bool mouseChild_ = true;
    std::unique_ptr<CScrollBarUI> vScroll_;
    std::unique_ptr<CScrollBarUI> hScroll_;
};

class CVerticalLayoutUI : public CContainerUI {
  public:
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;
    void SetPos(RECT rc) override;
};

class CHorizontalLayoutUI : public CContainerUI {
  public:
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;
    void SetPos(RECT rc) override;
};

class CTabLayoutUI : public CContainerUI {
  public:
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control, bool doNotDestroy = false) override;
    // Removing the current page shows the one that takes its place.
    bool RemoveAt(int index, bool doNotDestroy = false) override;
    void RemoveAll() override;
    int GetCurSel() const { return curSel_; }
    // Shows child index and hides the others; "tabselect" (new, old) when it changed.
    bool SelectItem(int index, bool triggerEvent = true);
    bool SelectItem(CControlUI* control, bool triggerEvent = true);
    void SetPos(RECT rc) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

  private:
    int curSel_ = -1;
};

}  // namespace ui
