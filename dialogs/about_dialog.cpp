#include "dialogs/about_dialog.h"

#include "dialogs/message_dialog.h"
#include "net/update.h"
#include "platform/shellapi.h"
#include "settings/settings.h"

const wchar_t* CAboutDlg::GetWindowClassName() const {
    return kDialogClassName;
}

UINT CAboutDlg::GetClassStyle() const {
    return kDialogClassStyle;
}

void CAboutDlg::OnFinalMessage(HWND hwnd) {
    WindowImplBase::OnFinalMessage(hwnd);
    delete this;
}

CAboutDlg::~CAboutDlg() = default;

LRESULT CAboutDlg::OnClose(UINT, WPARAM, LPARAM, BOOL& handled) {
    DestroyWindow();
    handled = TRUE;
    return 0;
}

void CAboutDlg::OnClick(ui::TNotifyUI& msg) {
    const std::wstring& name = msg.pSender->GetName();
    if (name == L"btnClose")
        Close(1);
    else if (name == L"buttonSite")
        OpenSite();
}

std::wstring CAboutDlg::GetSkinFolder() {
    return ui::CPaintManagerUI::GetInstancePath() + L"skin/";
}

std::wstring CAboutDlg::GetSkinFile() {
    return L"dlg_about.xml";
}

void CAboutDlg::Notify(ui::TNotifyUI& msg) {
    if (msg.sType == L"windowinit")
        SetUpWindow();
    else if (msg.sType == L"click")
        OnClick(msg);
}

void CAboutDlg::SetUpWindow() {
    SetDlgItemTextW(L"LabelVersion", GetInstalledVersion());
    SetDlgItemTextW(L"LabelUID", GetUpdate().GetUid());
    if (GetPartnerInfo().HideCompanyInfo != 0) {
        ShowWindow(L"labelSite", false);
        ShowWindow(L"buttonSite", false);
        ShowWindow(L"CompanyName", false);
    }
}

// The caption is the address; a desktop that cannot open it gets one more try with the browser
// the address was first meant for.
void CAboutDlg::OpenSite() {
    const std::wstring address = GetDlgItemTextW(L"buttonSite");
    const auto opened = reinterpret_cast<std::intptr_t>(
        ShellExecuteW(GetHWND(), L"open", address.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED));
    if (opened <= 32)
        ShellExecuteW(GetHWND(), L"open", L"iexplore.exe", address.c_str(), nullptr,
                      SW_SHOWMAXIMIZED);
}
