// The password prompt for a PDF file that does not open without a password. It checks the typed
// password before accepting it; a wrong one is reported and the dialog stays for another try.
#pragma once

#include <string>

#include "ui/qt/window_impl_base.h"

// The window's end keeps the base behaviour: the file list reads result and password after the
// modal loop and deletes the object.
class CPdfPassDlg : public ui::WindowImplBase {
  public:
    explicit CPdfPassDlg(const std::wstring& path);

    std::wstring password;  // set only when a password has been accepted
    std::wstring path;      // the full path of the file
    int result = IDNO;      // IDYES once a password has been accepted

  protected:
    const wchar_t* GetWindowClassName() const override;
    UINT GetClassStyle() const override;
    LRESULT OnClose(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void OnClick(ui::TNotifyUI& msg) override;
    std::wstring GetSkinFolder() override;
    std::wstring GetSkinFile() override;
    void Notify(ui::TNotifyUI& msg) override;

  private:
    void ShowFileName();
    void TryPassword();
};
