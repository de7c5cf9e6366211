// What the paint manager needs from the native window that shows it. The Qt host implements it
// for real windows; tests use a fake that records the calls.
#pragma once

#include <string>

#include "platform/win_ui.h"

namespace ui {

class CControlUI;
class CEditUI;
class CComboUI;

class IUiHost {
  public:
    virtual ~IUiHost() = default;
    virtual void Invalidate(const RECT& rc) = 0;
    virtual void SetCapture(bool on) = 0;
    // Creates, moves, shows or hides the native text box of an edit control to match it.
    virtual void SyncEdit(CEditUI* edit) = 0;
    virtual void RemoveEdit(CEditUI* edit) = 0;
    virtual void ShowDropDown(CComboUI* combo) = 0;
    virtual void SetTimer(CControlUI* control, UINT id, UINT elapseMs) = 0;
    virtual void KillTimer(CControlUI* control, UINT id) = 0;
    virtual POINT ClientToScreen(POINT pt) = 0;
    virtual void ShowToolTip(const std::wstring& text) = 0;
    // The window's client area becomes size (after a DPI change).
    virtual void ResizeClient(SIZE size) = 0;
    // The size of the available area of the screen the window is on, in the units of
    // ResizeClient; 0,0 when unknown.
    virtual SIZE GetWorkAreaSize() = 0;
    // Gives an edit control's native text box the keyboard focus, its text selected.
    virtual void FocusEdit(CEditUI* edit) = 0;
    // The text of the window's control named "caption", the title of a window without a name.
    virtual void SetCaptionText(const std::wstring& text) = 0;
};

}  // namespace ui
