// WindowImplBase: a window drawn from a skin. A dialog derives from it, names its window class,
// skin folder and skin file, and handles notifications in Notify (or clicks in OnClick):
//
//     class CMyDlg : public ui::WindowImplBase {
//         const wchar_t* GetWindowClassName() const override { return L"BrindleDialogClass"; }
//         std::wstring GetSkinFolder() override { return L"skin/"; }
//         std::wstring GetSkinFile() override { return L"dlg_my.xml"; }
//         void OnClick(ui::TNotifyUI& msg) override {
//             if (msg.pSender->GetName() == L"btnYes") Close(IDYES);
//         }
//     };
//     CMyDlg dlg;
//     dlg.Create(owner, L"", 0x96C80000, 0);  // size 0: the skin's size
//     dlg.CenterWindow();
//     UINT code = dlg.ShowModal();            // from any thread
//
// Create, CenterWindow, ShowModal, Close and the messages work from any thread; the window
// itself lives on the UI thread, so OnCreate, InitWindow, Notify, OnClick and HandleCustomMessage
// (where WM_USER + n messages posted or sent to the window arrive) run there, and the helpers
// by control name below are for the UI thread too. m_pm is the window's paint manager:
// m_pm.FindControl(L"name") finds a control.
//
// Before the first window, the program points the engine at its skin once:
//     ui::CPaintManagerUI::SetInstance(nullptr);
//     ui::CPaintManagerUI::SetResourceZip(skin::EmbeddedSkinData(), skin::EmbeddedSkinSize());
#pragma once

#include <string>

#include "ui/controls/control.h"
#include "ui/manager/paint_manager.h"
#include "ui/markup/builder.h"
#include "ui/qt/window_wnd.h"

namespace ui {

// AnimateWindow-style flags for FadeInOut.
inline constexpr DWORD AW_HIDE = 0x00010000;
inline constexpr DWORD AW_BLEND = 0x00080000;

class WindowImplBase : public CWindowWnd, public INotifyUI, public IDialogBuilderCallback {
  public:
    WindowImplBase();

  protected:
    const wchar_t* GetWindowClassName() const override = 0;
    UINT GetClassStyle() const override;
    // The base forgets the paint manager's listeners; a self-owning window deletes itself after.
    void OnFinalMessage(HWND hwnd) override;

  public:
    ~WindowImplBase() override;

  protected:
    // WM_CLOSE: unhandled by default, so the window is destroyed.
    virtual LRESULT OnClose(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    virtual LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    // Builds the skin into the window; returns -1 (creation fails) when the skin cannot be built.
    virtual LRESULT OnCreate(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    // Every message the base does not handle; unhandled by default.
    virtual LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    // The click hook: Notify calls it for every "click".
    virtual void OnClick(TNotifyUI& msg);
    // The folder the skin file is read from when no skin archive is set; relative folders are
    // taken from the executable's folder.
    virtual std::wstring GetSkinFolder() = 0;
    virtual std::wstring GetSkinFile() = 0;
    // Enter and Escape before the controls see them: Escape closes (IDCANCEL) by default.
    // Return nonzero when the key was used.
    virtual LRESULT ResponseDefaultKeyEvent(WPARAM key);

  public:
    void Notify(TNotifyUI& msg) override;
    // Called once the skin is built and attached ("windowinit" follows after the first layout).
    virtual void InitWindow() {}
    CControlUI* CreateControl(std::wstring_view className) override;
    CPaintManagerUI& GetPaintManager() { return m_pm; }

    // Helpers by control name; each does nothing when the control is missing.
    void CheckDlgButton(const wchar_t* name, bool check, bool notify = false);
    bool IsDlgButtonChecked(const wchar_t* name);
    void EnableWindow(const wchar_t* name, bool enable);
    using CWindowWnd::ShowWindow;
    void ShowWindow(const wchar_t* name, bool show);
    void SelectComboItem(const wchar_t* name, int index, bool notify = false);
    void SetDlgItemTextW(const wchar_t* name, const std::wstring& text);
    std::wstring GetDlgItemTextW(const wchar_t* name);
    RECT GetControlRect(const wchar_t* name);
    // Fades the window in, or out when flags has AW_HIDE, over time milliseconds. A fade-out
    // returns once the window is transparent.
    void FadeInOut(DWORD time, DWORD flags);
    void EnableShadow(bool enable);

  protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    CPaintManagerUI m_pm;

  private:
    LRESULT RouteMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void ApplySkinFolder();
    void ApplySizeLimits(HostWidget& widget);
    LRESULT OnKeyDown(WPARAM key, LPARAM ch);

    bool closing_ = false;
};

}  // namespace ui
