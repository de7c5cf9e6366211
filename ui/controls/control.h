// CControlUI: the windowless control every skin element becomes. It keeps its geometry
// requests, colours, images and text, paints itself through an IRender and reacts to events the
// paint manager routes to it.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_ui.h"
#include "ui/core/render.h"
#include "ui/layout/layout.h"
#include "ui/manager/notify.h"

namespace ui {

class CPaintManagerUI;

// Button-like state bits.
inline constexpr UINT UISTATE_FOCUSED = 0x01;
inline constexpr UINT UISTATE_SELECTED = 0x02;
inline constexpr UINT UISTATE_DISABLED = 0x04;
inline constexpr UINT UISTATE_HOT = 0x08;
inline constexpr UINT UISTATE_PUSHED = 0x10;
inline constexpr UINT UISTATE_CAPTURED = 0x40;
// How opaque a disabled control draws a state it keeps showing (a selected option).
inline constexpr BYTE kDisabledFade = 110;

class CControlUI {
  public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    // "ControlUI", "ButtonUI", "ListContainerElementUI"...
    virtual std::wstring_view GetClass() const;
    // This control as the named interface ("Control", "Button", "Option"...), or null.
    virtual void* GetInterface(std::wstring_view name);

    const std::wstring& GetName() const { return name_; }
    void SetName(std::wstring_view name) { name_ = name; }
    CControlUI* GetParent() const { return parent_; }
    CPaintManagerUI* GetManager() const { return manager_; }
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent);

    virtual std::wstring GetText() const { return text_; }
    virtual void SetText(std::wstring_view text);
    const std::wstring& GetToolTip() const { return tooltip_; }
    void SetToolTip(std::wstring_view text) { tooltip_ = text; }
    const std::wstring& GetUserData() const { return userdata_; }
    void SetUserData(std::wstring_view data) { userdata_ = data; }
    UINT_PTR GetTag() const { return tag_; }
    void SetTag(UINT_PTR tag) { tag_ = tag; }

    // Own flag only; IsShown() also asks the ancestors.
    virtual bool IsVisible() const { return visible_; }
    virtual void SetVisible(bool visible = true);
    bool IsShown() const;
    virtual bool IsEnabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled = true);
    bool IsMouseEnabled() const { return mouse_; }
    void SetMouseEnabled(bool enabled) { mouse_ = enabled; }
    bool IsFocused() const { return focused_; }
    // Whether a press with the mouse gives this control the keyboard focus.
    virtual bool TakesFocusOnClick() const { return true; }
    virtual void SetFocus();
    void SetFocusedState(bool focused);

    const RECT& GetPos() const { return rcItem_; }
    virtual void SetPos(RECT rc);
    // Requested sizes, scaled for the window's DPI.
    int GetFixedWidth() const;
    int GetFixedHeight() const;
    void SetFixedWidth(int cx);
    void SetFixedHeight(int cy);
    int GetMinWidth() const;
    int GetMinHeight() const;
    int GetMaxWidth() const;
    int GetMaxHeight() const;
    RECT GetPadding() const;
    void SetPadding(RECT rc);
    RECT GetFloatPos() const;  // the pos attribute, scaled
    bool IsFloat() const { return float_; }
    void SetFloat(bool f = true);
    const FloatFactors& GetFloatFactors() const { return floatFactors_; }
    // The size this control would like inside `available`; 0 on an axis means "stretch".
    virtual SIZE EstimateSize(SIZE available);
    // True when the width comes from the content (a label's autocalcwidth).
    virtual bool HasAutoWidth() const { return false; }
    // This control's request for the layouts.
    LayoutItem GetLayoutItem(SIZE available);

    DWORD GetBkColor() const { return bkColor_; }
    void SetBkColor(DWORD argb);
    DWORD GetBorderColor() const { return borderColor_; }
    void SetBorderColor(DWORD argb);
    const std::wstring& GetBkImage() const { return bkImage_; }
    void SetBkImage(std::wstring_view image);

    virtual void DoPaint(IRender& render, const RECT& paint);
    virtual void DoEvent(TEventUI& event);
    // Presses the control as a click would; false when it cannot be activated now.
    virtual bool Activate();

    virtual void SetAttribute(std::wstring_view name, std::wstring_view value);
    // Applies `name="value" name2="value2"` text, as Default and Style entries hold.
    void ApplyAttributeList(std::wstring_view list);

    // The deepest control under pt that takes the mouse (only this one for a plain control).
    virtual CControlUI* FindControlAt(POINT pt);
    // Depth-first search from this control; the first one pred accepts.
    virtual CControlUI* FindControl(const std::function<bool(CControlUI*)>& pred);

    // Called before the window's listeners for each notification this control sends.
    void AddNotifier(std::function<void(TNotifyUI&)> callback);
    void RunNotifiers(TNotifyUI& msg);

    void Invalidate();
    void NeedUpdate();        // this control's own layout is stale
    void NeedParentUpdate();  // its size request changed: the parent must lay out again

    // Draws an image attribute into rc (the control's rect when rc is omitted), its opacity
    // multiplied by fade/255.
    bool DrawImage(IRender& render, std::wstring_view image, const RECT* rc = nullptr,
                   BYTE fade = 255);

  protected:
    virtual void PaintBkColor(IRender& render);
    virtual void PaintBkImage(IRender& render);
    virtual void PaintStatusImage(IRender& render);
    virtual void PaintText(IRender& render);
    virtual void PaintBorder(IRender& render);
    int Scale(int value) const;
    RECT Scale(RECT rc) const;
    void Notify(const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0);

    CPaintManagerUI* manager_ = nullptr;
    CControlUI* parent_ = nullptr;
    RECT rcItem_{};
    RECT rcPaint_{};
    std::wstring text_;

  private:
    void ApplyFloatAttribute(std::wstring_view value);
    bool SetSizeAttribute(std::wstring_view name, std::wstring_view value);
    bool SetLookAttribute(std::wstring_view name, std::wstring_view value);

    std::wstring name_;
    std::wstring tooltip_;
    std::wstring userdata_;
    UINT_PTR tag_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    bool mouse_ = true;
    bool focused_ = false;
    bool float_ = false;
    FloatFactors floatFactors_;
    SIZE fixed_{};
    SIZE min_{};
    SIZE max_{9999, 9999};
    RECT padding_{};
    RECT floatPos_{};
    DWORD bkColor_ = 0;
    DWORD bkColor2_ = 0;
    DWORD bkColor3_ = 0;
    bool vGradient_ = true;
    DWORD borderColor_ = 0;
    int borderSize_ = 0;
    SIZE borderRound_{};
    std::wstring bkImage_;
    std::vector<std::function<void(TNotifyUI&)>> notifiers_;
};

}  // namespace ui
