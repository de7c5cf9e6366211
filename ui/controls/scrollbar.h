// CScrollBarUI: the scroll bar a container shows when its children overflow; arrow buttons,
// a track and a thumb sized to the visible share, each with state images.
#pragma once

#include "ui/controls/control.h"

namespace ui {

class CContainerUI;

class CScrollBarUI : public CControlUI {
  public:
    CScrollBarUI();
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;

    CContainerUI* GetOwner() const { return owner_; }
    void SetOwner(CContainerUI* owner) { owner_ = owner; }
    bool IsHorizontal() const { return horizontal_; }
    void SetHorizontal(bool horizontal);
    int GetScrollRange() const { return range_; }
    void SetScrollRange(int range);
    int GetScrollPos() const { return pos_; }
    void SetScrollPos(int pos);
    int GetLineSize() const { return lineSize_; }
    void SetLineSize(int size) { lineSize_ = size; }
    // Thickness of the bar (width when vertical), scaled.
    int GetThickness() const;

    bool GetShowButton1() const { return showButton1_; }
    void SetShowButton1(bool show);
    bool GetShowButton2() const { return showButton2_; }
    void SetShowButton2(bool show);
    void SetButton1NormalImage(std::wstring_view image) { button1_[0] = image; }
    void SetButton2NormalImage(std::wstring_view image) { button2_[0] = image; }
    void SetThumbNormalImage(std::wstring_view image) { thumb_[0] = image; }
    void SetThumbHotImage(std::wstring_view image) { thumb_[1] = image; }
    void SetThumbPushedImage(std::wstring_view image) { thumb_[2] = image; }
    void SetRailNormalImage(std::wstring_view image) { rail_ = image; }
    void SetBkNormalImage(std::wstring_view image) { bkNormal_ = image; }
    const std::wstring& GetThumbNormalImage() const { return thumb_[0]; }

    void SetPos(RECT rc) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    const RECT& GetThumbRect() const { return rcThumb_; }

  protected:
    void PaintBkImage(IRender& render) override;
    void PaintStatusImage(IRender& render) override;

  private:
    enum Part { kNone, kButton1, kButton2, kThumb, kTrack };
    void UpdateParts();
    Part PartAt(POINT pt) const;
    void Press(Part part, POINT pt);
    void DragThumb(POINT pt);
    void Scroll(int delta);
    int Along(POINT pt) const { return horizontal_ ? pt.x : pt.y; }
    static const std::wstring& StateImage(const std::wstring (&images)[3], bool hot, bool pushed);

    CContainerUI* owner_ = nullptr;
    bool horizontal_ = false;
    int range_ = 100;
    int pos_ = 0;
    int lineSize_ = 8;
    bool showButton1_ = true;
    bool showButton2_ = true;
    std::wstring button1_[3];
    std::wstring button2_[3];
    std::wstring thumb_[3];
    std::wstring rail_;
    std::wstring bkNormal_;
    RECT rcButton1_{};
    RECT rcButton2_{};
    RECT rcThumb_{};
    Part hot_ = kNone;
    Part pressed_ = kNone;
    int dragOrigin_ = 0;
    int dragPos_ = 0;
};

}  // namespace ui
