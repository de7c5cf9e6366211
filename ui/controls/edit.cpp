#include "ui/controls/edit.h"

#include "ui/core/attributes.h"
#include "ui/core/geometry.h"
#include "ui/manager/host.h"
#include "ui/manager/paint_manager.h"

namespace ui {

CEditUI::CEditUI() {
    SetTextStyle(DT_SINGLELINE | DT_VCENTER);
}

CEditUI::~CEditUI() {
    if (manager_ && manager_->GetHost())
        manager_->GetHost()->RemoveEdit(this);
}

std::wstring_view CEditUI::GetClass() const {
    return L"EditUI";
}

void* CEditUI::GetInterface(std::wstring_view name) {
    return name == L"Edit" ? this : CLabelUI::GetInterface(name);
}

void CEditUI::SyncNative() {
    if (manager_ && manager_->GetHost())
        manager_->GetHost()->SyncEdit(this);
}

void CEditUI::SetText(std::wstring_view text) {
    CLabelUI::SetText(text);
    SyncNative();
}

void CEditUI::OnNativeTextChanged(std::wstring_view text) {
    if (text_ == text)
        return;
    text_ = text;
    Notify(DUI_MSGTYPE_TEXTCHANGED);
}

void CEditUI::OnNativeReturn() {
    Notify(DUI_MSGTYPE_RETURN);
}

void CEditUI::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    SyncNative();
}

void CEditUI::SetPasswordMode(bool on) {
    password_ = on;
    Invalidate();
    SyncNative();
}

bool CEditUI::WantsNativeEdit() const {
    return true;
}

RECT CEditUI::GetEditRect() const {
    return Deflate(rcItem_, GetTextPadding());
}

void CEditUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    if (manager_ && manager != manager_ && manager_->GetHost())
        manager_->GetHost()->RemoveEdit(this);
    CLabelUI::SetManager(manager, parent);
}

void CEditUI::SetPos(RECT rc) {
    CLabelUI::SetPos(rc);
    SyncNative();
}

void CEditUI::SetVisible(bool visible) {
    CLabelUI::SetVisible(visible);
    SyncNative();
}

void CEditUI::SetEnabled(bool enabled) {
    CLabelUI::SetEnabled(enabled);
    SyncNative();
}

void CEditUI::SetFocus() {
    CLabelUI::SetFocus();
    if (manager_ && manager_->GetHost())
        manager_->GetHost()->FocusEdit(this);
}

void CEditUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_MOUSEENTER || event.Type == UIEVENT_MOUSELEAVE) {
        hot_ = event.Type == UIEVENT_MOUSEENTER;
        Invalidate();
        return;
    }
    CLabelUI::DoEvent(event);
}

void CEditUI::PaintStatusImage(IRender& render) {
    const std::wstring* pick = &normalImage_;
    if (!IsEnabled())
        pick = &disabledImage_;
    else if (IsFocused())
        pick = &focusedImage_;
    else if (hot_)
        pick = &hotImage_;
    DrawImage(render, pick->empty() ? normalImage_ : *pick);
}

void CEditUI::PaintText(IRender& render) {
    if (nativeActive_)
        return;
    const std::wstring text = password_ ? std::wstring(GetText().size(), passwordChar_) : GetText();
    DrawLabelText(render, GetEditRect(), text, CurrentTextColor(), GetFont(), GetTextStyle(),
                  false);
}

void CEditUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"readonly")
        SetReadOnly(ParseBool(value));
    else if (name == L"password")
        SetPasswordMode(ParseBool(value));
    else if (name == L"passwordchar" && !value.empty())
        passwordChar_ = value.front();
    else if (name == L"maxchar")
        SetMaxChar(ParseInt(value));
    else if (name == L"normalimage")
        normalImage_ = value;
    else if (name == L"hotimage")
        hotImage_ = value;
    else if (name == L"focusedimage")
        focusedImage_ = value;
    else if (name == L"disabledimage")
        disabledImage_ = value;
    else
        CLabelUI::SetAttribute(name, value);
}

CRichEditUI::CRichEditUI() {
    multiLine_ = true;
    SetTextStyle(DT_WORDBREAK);
}

std::wstring_view CRichEditUI::GetClass() const {
    return L"RichEditUI";
}

void* CRichEditUI::GetInterface(std::wstring_view name) {
    return name == L"RichEdit" ? this : CEditUI::GetInterface(name);
}

bool CRichEditUI::WantsNativeEdit() const {
    return !readOnly_;
}

SIZE CRichEditUI::EstimateSize(SIZE available) {
    return CControlUI::EstimateSize(available);
}

void CRichEditUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"multiline")
        multiLine_ = ParseBool(value);
    else if (name == L"wordwrap")
        SetTextStyle(ParseBool(value) ? DT_WORDBREAK : DT_SINGLELINE);
    else if (name == L"inset")
        SetTextPadding(ParseRect(value));
    else
        CEditUI::SetAttribute(name, value);
}

}  // namespace ui
