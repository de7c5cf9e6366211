// The message dialog: every message, warning and yes/no question of the program is shown by
// CMessageDlg, a small skinned modal window, so that it matches the main window. It answers
// with the dialog results IDYES (6) and IDNO (7); callers compare with IDYES.
#pragma once

#include <string>

#include "ui/qt/window_impl_base.h"

// What every skinned dialog shares: its window class, its class style (CS_SAVEBITS |
// CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW) and the style its window is created with.
inline constexpr const wchar_t* kDialogClassName = L"BrindleDialogClass";
inline constexpr UINT kDialogClassStyle = 2059;
inline constexpr DWORD kDialogWindowStyle =
    WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU;

// The message-box style bits the dialog looks at.
inline constexpr UINT MB_YESNO = 0x04;
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;

// The window's end keeps the base behaviour: the opener reads the result after the modal loop
// and deletes the object.
class CMessageDlg : public ui::WindowImplBase {
  public:
    CMessageDlg(const std::wstring& text, const std::wstring& caption, UINT style);

    int result = IDNO;
    std::wstring text;
    std::wstring caption;
    std::wstring yesLabel;  // replaces the text of "btnYes" when not empty
    std::wstring noLabel;   // replaces the text of "btnClose" when not empty
    UINT style;

  protected:
    const wchar_t* GetWindowClassName() const override;
    UINT GetClassStyle() const override;
    LRESULT OnClose(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void OnClick(ui::TNotifyUI& msg) override;
    std::wstring GetSkinFolder() override;
    std::wstring GetSkinFile() override;
    void Notify(ui::TNotifyUI& msg) override;

  private:
    void SetUpWindow();
    void SetUpButtons();
};

// Shows text under caption, modal over owner, and returns IDYES or IDNO; 0 when the dialog
// cannot be created.
int ShowMessageDialog(HWND owner, const std::wstring& text, const std::wstring& caption,
                      UINT style);
// The same with the caption ("Message"/"Title") and the text ("Message"/key) looked up in the
// language file; missing texts show as empty.
int ShowMessage(const std::wstring& key, HWND owner, UINT style);
