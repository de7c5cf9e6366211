// The about dialog: the installed version and the publisher's web site and rights notice, which
// a partner build may hide. Opened from the main menu; it deletes itself when its window has
// gone, so the opener allocates it and forgets it:
//
//     auto* about = new CAboutDlg;
//     about->Create(mainWindow, L"", kDialogWindowStyle, 0);
//     about->CenterWindow();
//     about->ShowModal();
#pragma once

#include <string>

#include "ui/qt/window_impl_base.h"

class CAboutDlg : public ui::WindowImplBase {
  protected:
    const wchar_t* GetWindowClassName() const override;
    UINT GetClassStyle() const override;
    void OnFinalMessage(HWND hwnd) override;

  public:
    ~CAboutDlg() override;

  protected:
    LRESULT OnClose(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void OnClick(ui::TNotifyUI& msg) override;
    std::wstring GetSkinFolder() override;
    std::wstring GetSkinFile() override;

  public:
    void Notify(ui::TNotifyUI& msg) override;

  private:
    void SetUpWindow();
    void OpenSite();
};
