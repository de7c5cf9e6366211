// The controls of a menu file: CMenuUI is the list of rows, CMenuElementUI one row with text,
// icon, check mark or separator; a row holding rows is a submenu, shown in a window of its own.
#pragma once

#include "ui/controls/list.h"

namespace ui {

class CMenuElementUI : public CListContainerElementUI {
  public:
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;

    bool IsSeparator() const { return separator_; }
    bool IsCheckItem() const { return checkItem_; }
    bool GetChecked() const { return checked_; }
    void SetChecked(bool checked);
    bool HasSubMenu() const;
    // Width the row needs for its icon, text and marks (the fixed width when set).
    int PreferredWidth();

    SIZE EstimateSize(SIZE available) override;
    // A row is one control; the rows it holds belong to its submenu window.
    void SetPos(RECT rc) override;
    void DoPaint(IRender& render, const RECT& paint) override;
    CControlUI* FindControlAt(POINT pt) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

  protected:
    void PaintText(IRender& render) override;
    void PaintStatusImage(IRender& render) override;

  private:
    int Gutter() const;

    std::wstring icon_;
    SIZE iconSize_{16, 16};
    bool checkItem_ = false;
    bool checked_ = false;
    bool separator_ = false;
    DWORD lineColor_ = 0xFFE0E0E0;
    RECT textPadding_{};
};

class CMenuUI : public CListUI {
  public:
    CMenuUI();
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;
    // The menu's outer size: the widest row (at least minWidth), rows stacked, plus the inset.
    SIZE PreferredSize(int minWidth);
};

}  // namespace ui
