#include "ui/qt/window_impl_base.h"

#include <QEventLoop>
#include <QTimer>
#include <QVariantAnimation>

#include "platform/path.h"
#include "ui/controls/combo.h"
#include "ui/controls/label.h"
#include "ui/markup/resources.h"
#include "ui/qt/host_widget.h"

namespace ui {

WindowImplBase::WindowImplBase() = default;

WindowImplBase::~WindowImplBase() {
    DetachWindow();
    m_pm.RemoveNotifier(this);
}

UINT WindowImplBase::GetClassStyle() const {
    return 0;
}

void WindowImplBase::OnFinalMessage(HWND) {
    m_pm.RemoveNotifier(this);
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, BOOL& handled) {
    handled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT, WPARAM, LPARAM, BOOL& handled) {
    handled = FALSE;
    return 0;
}

void WindowImplBase::ApplySkinFolder() {
    if (CPaintManagerUI::IsUseResourceZip())
        return;
    std::wstring folder = GetSkinFolder();
    if (!folder.empty() && folder.front() != L'/' && folder.front() != L'\\')
        folder = CPaintManagerUI::GetInstancePath() + folder;
    CPaintManagerUI::SetResourcePath(folder);
}

// mininfo and maxinfo bound the client area; the shadow margin comes on top.
void WindowImplBase::ApplySizeLimits(HostWidget& widget) {
    const WindowInfo& info = m_pm.GetWindowInfo();
    const int margin = 2 * widget.ShadowMargin();
    if (info.minInfo.cx > 0 && info.minInfo.cy > 0)
        widget.setMinimumSize(m_pm.ScaleValue(info.minInfo.cx) + margin,
                              m_pm.ScaleValue(info.minInfo.cy) + margin);
    if (info.maxInfo.cx > 0 && info.maxInfo.cy > 0)
        widget.setMaximumSize(m_pm.ScaleValue(info.maxInfo.cx) + margin,
                              m_pm.ScaleValue(info.maxInfo.cy) + margin);
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, BOOL& handled) {
    handled = TRUE;
    HostWidget* widget = GetWidget();
    widget->SetPaintManager(&m_pm, this);
    ApplySkinFolder();
    CDialogBuilder builder;
    CControlUI* root = builder.Create(GetSkinFile(), L"", this, &m_pm);
    if (!root) {
        OutputDebugStringW(
            (L"skin " + GetSkinFile() + L" not built: " + builder.GetLastErrorMessage()).c_str());
        widget->Detach();
        return -1;
    }
    m_pm.AttachDialog(root);
    m_pm.AddNotifier(this);
    widget->UpdateShadow();
    if (!HasRequestedSize())
        widget->SetClientSize(m_pm.GetInitSize());
    ApplySizeLimits(*widget);
    if (m_pm.GetWindowInfo().opacity < 255)
        widget->setWindowOpacity(m_pm.GetWindowInfo().opacity / 255.0);
    InitWindow();
    // "windowinit" follows the first layout, which the first paint would run; do not wait for
    // a paint that a hidden window never gets.
    QTimer::singleShot(0, widget, [widget] {
        if (CPaintManagerUI* pm = widget->GetPaintManager())
            pm->EnsureLayout();
    });
    return 0;
}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& handled) {
    handled = FALSE;
    return 0;
}

void WindowImplBase::OnClick(TNotifyUI&) {}

LRESULT WindowImplBase::ResponseDefaultKeyEvent(WPARAM key) {
    if (key == VK_ESCAPE) {
        Close(IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

void WindowImplBase::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_CLICK)
        OnClick(msg);
}

CControlUI* WindowImplBase::CreateControl(std::wstring_view) {
    return nullptr;
}

LRESULT WindowImplBase::OnKeyDown(WPARAM key, LPARAM ch) {
    if ((key == VK_RETURN || key == VK_ESCAPE) && ResponseDefaultKeyEvent(key))
        return 0;
    m_pm.OnKeyDown(key, static_cast<wchar_t>(ch));
    return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_CLOSE)
        return RouteMessage(msg, wParam, lParam);
    // A close request queued behind another one can arrive while the first is still closing
    // (a fade-out keeps the events running); the window is already on its way out.
    if (closing_)
        return 0;
    const HWND hwnd = GetHWND();
    closing_ = true;
    const LRESULT result = RouteMessage(msg, wParam, lParam);
    // Only a window that is still there may be touched: a closed one may have deleted itself.
    if (::IsWindow(hwnd))
        closing_ = false;
    return result;
}

LRESULT WindowImplBase::RouteMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    BOOL handled = TRUE;
    LRESULT result = 0;
    switch (msg) {
        case WM_CREATE:
            result = OnCreate(msg, wParam, lParam, handled);
            break;
        case WM_CLOSE:
            result = OnClose(msg, wParam, lParam, handled);
            break;
        case WM_SYSCOMMAND:
            result = OnSysCommand(msg, wParam, lParam, handled);
            break;
        case WM_KEYDOWN:
            return OnKeyDown(wParam, lParam);
        default:
            handled = FALSE;
    }
    if (handled)
        return result;
    result = HandleCustomMessage(msg, wParam, lParam, handled);
    if (handled)
        return result;
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

void WindowImplBase::CheckDlgButton(const wchar_t* name, bool check, bool notify) {
    if (CControlUI* c = m_pm.FindControl(name))
        if (auto* option = static_cast<COptionUI*>(c->GetInterface(L"Option")))
            option->Selected(check, notify);
}

bool WindowImplBase::IsDlgButtonChecked(const wchar_t* name) {
    CControlUI* c = m_pm.FindControl(name);
    auto* option = c ? static_cast<COptionUI*>(c->GetInterface(L"Option")) : nullptr;
    return option && option->IsSelected();
}

void WindowImplBase::EnableWindow(const wchar_t* name, bool enable) {
    if (CControlUI* c = m_pm.FindControl(name))
        c->SetEnabled(enable);
}

void WindowImplBase::ShowWindow(const wchar_t* name, bool show) {
    if (CControlUI* c = m_pm.FindControl(name))
        c->SetVisible(show);
}

void WindowImplBase::SelectComboItem(const wchar_t* name, int index, bool notify) {
    CControlUI* c = m_pm.FindControl(name);
    if (auto* combo = c ? static_cast<CComboUI*>(c->GetInterface(L"Combo")) : nullptr)
        combo->SelectItem(index, false, notify);
}

void WindowImplBase::SetDlgItemTextW(const wchar_t* name, const std::wstring& text) {
    if (CControlUI* c = m_pm.FindControl(name))
        c->SetText(text);
}

std::wstring WindowImplBase::GetDlgItemTextW(const wchar_t* name) {
    CControlUI* c = m_pm.FindControl(name);
    return c ? c->GetText() : std::wstring();
}

RECT WindowImplBase::GetControlRect(const wchar_t* name) {
    CControlUI* c = m_pm.FindControl(name);
    return c ? c->GetPos() : RECT{};
}

void WindowImplBase::FadeInOut(DWORD time, DWORD flags) {
    HostWidget* widget = GetWidget();
    if (!widget)
        return;
    const bool out = flags & AW_HIDE;
    const double full = m_pm.GetWindowInfo().opacity / 255.0;
    auto* fade = new QVariantAnimation(widget);
    fade->setDuration(static_cast<int>(time));
    fade->setStartValue(out ? full : 0.0);
    fade->setEndValue(out ? 0.0 : full);
    QObject::connect(fade, &QVariantAnimation::valueChanged, widget,
                     [widget](const QVariant& v) { widget->setWindowOpacity(v.toDouble()); });
    if (!out) {
        widget->setWindowOpacity(0.0);
        widget->show();
        fade->start(QAbstractAnimation::DeleteWhenStopped);
        return;
    }
    QEventLoop wait;
    QObject::connect(fade, &QVariantAnimation::finished, &wait, &QEventLoop::quit);
    fade->start(QAbstractAnimation::DeleteWhenStopped);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
}

void WindowImplBase::EnableShadow(bool enable) {
    if (HostWidget* widget = GetWidget())
        widget->SetShadowEnabled(enable);
}

}  // namespace ui
