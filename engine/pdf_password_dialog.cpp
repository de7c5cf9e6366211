#include "engine/pdf_password_dialog.h"

#include "dialogs/message_dialog.h"
#include "engine/pdf_inspection.h"
#include "i18n/format.h"
#include "platform/path.h"

CPdfPassDlg::CPdfPassDlg(const std::wstring& path) : path(path) {}

const wchar_t* CPdfPassDlg::GetWindowClassName() const {
    return kDialogClassName;
}

UINT CPdfPassDlg::GetClassStyle() const {
    return kDialogClassStyle;
}

LRESULT CPdfPassDlg::OnClose(UINT, WPARAM, LPARAM, BOOL& handled) {
    DestroyWindow();
    handled = TRUE;
    return 0;
}

void CPdfPassDlg::OnClick(ui::TNotifyUI& msg) {
    const std::wstring& name = msg.pSender->GetName();
    if (name == L"btnClose")
        Close(IDNO);
    else if (name == L"btnYes")
        TryPassword();
}

std::wstring CPdfPassDlg::GetSkinFolder() {
    return L"skin/";
}

std::wstring CPdfPassDlg::GetSkinFile() {
    return L"dlg_pdfpass.xml";
}

void CPdfPassDlg::Notify(ui::TNotifyUI& msg) {
    if (msg.sType == L"windowinit")
        ShowFileName();
    else if (msg.sType == L"click")
        OnClick(msg);
    else if (msg.sType == L"return" && msg.pSender->GetName() == L"password")
        TryPassword();  // Enter in the password box confirms, as in any password prompt
}

void CPdfPassDlg::ShowFileName() {
    SetDlgItemTextW(L"fileName", FormatLanguageText(L"\"%s\"", PathFindFileNameW(path.c_str())));
}

// A wrong password is reported over this dialog, which stays open with the typed text.
void CPdfPassDlg::TryPassword() {
    const std::wstring candidate = GetDlgItemTextW(L"password");
    if (VerifyPassword(candidate, path)) {
        password = candidate;
        result = IDYES;
        Close(IDYES);
        return;
    }
    ShowMessage(L"PassErr", GetHWND(), MB_ICONINFORMATION);
}
