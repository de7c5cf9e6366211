#include "dialogs/message_dialog.h"

#include <memory>
#include <new>

#include "i18n/language.h"

namespace {

// The icon control for the style: information unless the style asks for another.
const wchar_t* IconControlName(UINT style) {
    if (style & MB_ICONINFORMATION)
        return L"infoLogo";
    if (style & MB_ICONERROR)
        return L"errorLogo";
    if (style & MB_ICONQUESTION)
        return L"warnLogo";
    return L"infoLogo";
}

}  // namespace

CMessageDlg::CMessageDlg(const std::wstring& text, const std::wstring& caption, UINT style)
    : text(text), caption(caption), style(style) {}

const wchar_t* CMessageDlg::GetWindowClassName() const {
    return kDialogClassName;
}

UINT CMessageDlg::GetClassStyle() const {
    return kDialogClassStyle;
}

LRESULT CMessageDlg::OnClose(UINT, WPARAM, LPARAM, BOOL& handled) {
    DestroyWindow();
    handled = TRUE;
    return 0;
}

void CMessageDlg::OnClick(ui::TNotifyUI& msg) {
    const std::wstring& name = msg.pSender->GetName();
    if (name == L"btnClose")
        result = IDNO;
    else if (name == L"btnYes")
        result = IDYES;
    else
        return;
    Close(1);
}

std::wstring CMessageDlg::GetSkinFolder() {
    return ui::CPaintManagerUI::GetInstancePath() + L"skin/";
}

std::wstring CMessageDlg::GetSkinFile() {
    return L"dlg_message.xml";
}

void CMessageDlg::Notify(ui::TNotifyUI& msg) {
    if (msg.sType == L"windowinit")
        SetUpWindow();
    else if (msg.sType == L"click")
        OnClick(msg);
}

void CMessageDlg::SetUpWindow() {
    SetDlgItemTextW(L"caption", caption);
    SetDlgItemTextW(L"context", text);
    ShowWindow(IconControlName(style), true);
    SetUpButtons();
}

// Without MB_YESNO a single confirming button remains: the bottom "btnClose" with the text of
// "btnYes", answering IDNO.
void CMessageDlg::SetUpButtons() {
    ui::CControlUI* yes = m_pm.FindControl(L"btnYes");
    ui::CControlUI* no = m_pm.FindControl(L"btnClose");
    if (!yes || !no)
        return;
    if (!(style & MB_YESNO)) {
        yes->SetVisible(false);
        no->SetText(yes->GetText());
    }
    if (!yesLabel.empty())
        yes->SetText(yesLabel);
    if (!noLabel.empty())
        no->SetText(noLabel);
}

int ShowMessageDialog(HWND owner, const std::wstring& text, const std::wstring& caption,
                      UINT style) {
    std::unique_ptr<CMessageDlg> dialog(new (std::nothrow) CMessageDlg(text, caption, style));
    if (!dialog)
        return 0;
    dialog->Create(owner, L"", kDialogWindowStyle, 0, 0, 0, 0, 0);
    dialog->CenterWindow();
    dialog->ShowModal();
    return dialog->result;
}

int ShowMessage(const std::wstring& key, HWND owner, UINT style) {
    const std::wstring path = GetLanguageFilePath();
    wchar_t caption[kLanguageValueCapacity] = {};
    wchar_t text[kLanguageValueCapacity] = {};
    ReadLanguageValue(kMessageSection, L"Title", L"", caption, kLanguageValueCapacity, path);
    ReadLanguageValue(kMessageSection, key, L"", text, kLanguageValueCapacity, path);
    return ShowMessageDialog(owner, text, caption, style);
}
