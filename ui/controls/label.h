// Text controls: CLabelUI draws one text with font, colour, alignment and padding; CTextUI is
// a label that a press in the caption area does not turn into a window drag; CButtonUI adds
// state images and "click"; COptionUI adds the selected state and option groups.
#pragma once

#include "ui/controls/control.h"

namespace ui {

class CLabelUI : public CControlUI {
  public:
    CLabelUI();
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;

    void SetText(std::wstring_view text) override;
    int GetFont() const { return font_; }
    void SetFont(int id);
    DWORD GetTextColor() const { return textColor_; }
    void SetTextColor(DWORD argb);
    DWORD GetDisabledTextColor() const { return disabledTextColor_; }
    void SetDisabledTextColor(DWORD argb);
    UINT GetTextStyle() const { return textStyle_; }
    void SetTextStyle(UINT style);
    RECT GetTextPadding() const;
    void SetTextPadding(RECT rc);
    bool IsShowHtml() const { return showHtml_; }
    void SetShowHtml(bool show) { showHtml_ = show; }
    bool GetAutoCalcWidth() const { return autoCalcWidth_; }
    void SetAutoCalcWidth(bool on);

    SIZE EstimateSize(SIZE available) override;
    bool HasAutoWidth() const override { return autoCalcWidth_; }
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

  protected:
    void PaintText(IRender& render) override;
    // Draws text in rc with this label's style, or the markup's when the label shows markup.
    void DrawLabelText(IRender& render, const RECT& rc, const std::wstring& text, DWORD color,
                       int font, UINT style, bool markup);
    FontInfo ResolveFont(int id) const;
    // The colour to draw text in for the current state.
    virtual DWORD CurrentTextColor() const;
    void SetAlignAttribute(std::wstring_view name, std::wstring_view value);

  private:
    int font_ = -1;
    DWORD textColor_ = 0;
    DWORD disabledTextColor_ = 0;
    UINT textStyle_ = DT_VCENTER | DT_SINGLELINE;
    RECT textPadding_{};
    bool showHtml_ = false;
    bool autoCalcWidth_ = false;
};

class CTextUI : public CLabelUI {
  public:
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;
};

class CButtonUI : public CLabelUI {
  public:
    CButtonUI();
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;

    bool Activate() override;
    // A button pressed with the mouse leaves the keyboard focus free: Return or Space typed
    // later (after the dialog the button opened has closed) must not press it again.
    bool TakesFocusOnClick() const override { return false; }
    void SetEnabled(bool enabled = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

    void SetNormalImage(std::wstring_view image);
    void SetHotImage(std::wstring_view image);
    void SetPushedImage(std::wstring_view image);
    void SetFocusedImage(std::wstring_view image);
    void SetDisabledImage(std::wstring_view image);
    const std::wstring& GetNormalImage() const { return normalImage_; }
    UINT GetButtonState() const { return state_; }

  protected:
    void PaintBkColor(IRender& render) override;
    void PaintStatusImage(IRender& render) override;
    DWORD CurrentTextColor() const override;
    // The image for the current state, falling back to the normal one.
    const std::wstring& CurrentImage() const;
    UINT state_ = 0;

  private:
    std::wstring normalImage_;
    std::wstring hotImage_;
    std::wstring pushedImage_;
    std::wstring focusedImage_;
    std::wstring disabledImage_;
    std::wstring foreImage_;
    std::wstring hotForeImage_;
    DWORD hotBkColor_ = 0;
    DWORD pushedBkColor_ = 0;
    DWORD hotTextColor_ = 0;
    DWORD pushedTextColor_ = 0;
    DWORD focusedTextColor_ = 0;
};

class COptionUI : public CButtonUI {
  public:
    ~COptionUI() override;
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;

    const std::wstring& GetGroup() const { return group_; }
    void SetGroup(std::wstring_view group);
    bool IsSelected() const { return selected_; }
    // Selecting a group member clears the others silently; "selectchanged" follows when
    // triggerEvent and the state changed.
    virtual void Selected(bool selected, bool triggerEvent = true);
    bool Activate() override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

  protected:
    void PaintBkColor(IRender& render) override;
    void PaintStatusImage(IRender& render) override;
    DWORD CurrentTextColor() const override;

  private:
    std::wstring group_;
    bool selected_ = false;
    std::wstring selectedImage_;
    std::wstring selectedHotImage_;
    std::wstring selectedDisabledImage_;
    std::wstring selectedForeImage_;
    DWORD selectedTextColor_ = 0;
    DWORD selectedBkColor_ = 0;
};

}  // namespace ui
