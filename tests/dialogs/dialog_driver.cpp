#include "tests/dialogs/dialog_driver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <memory>

#include <gtest/gtest.h>

#include "platform/text.h"
#include "skin/embedded_skin.h"
#include "ui/controls/control.h"
#include "ui/manager/paint_manager.h"
#include "ui/qt/host_widget.h"
#include "ui/qt/window_wnd.h"

namespace testing_support {
namespace {

constexpr qint64 kPatienceMs = 5000;

ui::CPaintManagerUI* FindShownWindow(const WindowMatcher& matches) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* host = dynamic_cast<ui::HostWidget*>(widget);
        ui::CPaintManagerUI* pm = host && host->isVisible() ? host->GetPaintManager() : nullptr;
        if (!pm || !pm->GetRoot())
            continue;
        // The first layout sends "windowinit"; the window has set itself up after it.
        pm->EnsureLayout();
        if (matches(*pm))
            return pm;
    }
    return nullptr;
}

// A window that should have closed but did not would keep its modal loop, and the test, running
// for ever: close it after a while and fail instead.
void CloseIfStillOpen(HWND hwnd) {
    QTimer::singleShot(kPatienceMs, [hwnd] {
        if (!IsWindow(hwnd))
            return;
        ADD_FAILURE() << "the window stayed open";
        ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
    });
}

}  // namespace

void EnsureDialogEnvironment() {
    ui::EnsureApplication();
    ui::CPaintManagerUI::SetResourceZip(skin::EmbeddedSkinData(), skin::EmbeddedSkinSize());
}

void WhenWindowShows(WindowMatcher matches, WindowAction action) {
    auto* poll = new QTimer(QCoreApplication::instance());
    poll->setInterval(5);
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    QObject::connect(poll, &QTimer::timeout, [poll, waited, matches, action] {
        ui::CPaintManagerUI* pm = FindShownWindow(matches);
        if (!pm && waited->elapsed() < kPatienceMs)
            return;
        poll->stop();
        poll->deleteLater();
        if (!pm) {
            ADD_FAILURE() << "the expected window never showed";
            return;
        }
        const HWND hwnd = pm->GetPaintHWND();
        action(*pm);
        CloseIfStillOpen(hwnd);
    });
    poll->start();
}

WindowMatcher HasControl(const std::wstring& name) {
    return [name](ui::CPaintManagerUI& pm) { return pm.FindControl(name) != nullptr; };
}

WindowMatcher ControlText(const std::wstring& name, const std::wstring& text) {
    return [name, text](ui::CPaintManagerUI& pm) {
        ui::CControlUI* control = pm.FindControl(name);
        return control && control->GetText() == text;
    };
}

void ClickAt(ui::CPaintManagerUI& pm, int x, int y) {
    pm.OnMouseMove(POINT{x, y});
    pm.OnButtonDown(POINT{x, y});
    pm.OnButtonUp(POINT{x, y});
}

void Click(ui::CPaintManagerUI& pm, const std::wstring& name) {
    ui::CControlUI* control = pm.FindControl(name);
    if (!control || !control->IsShown()) {
        ADD_FAILURE() << "no shown control to click: " << platform::WideToUtf8(name);
        return;
    }
    const RECT rc = control->GetPos();
    ClickAt(pm, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
}

std::wstring TextOf(ui::CPaintManagerUI& pm, const std::wstring& name) {
    ui::CControlUI* control = pm.FindControl(name);
    return control ? control->GetText() : L"<missing>";
}

void Type(ui::CPaintManagerUI& pm, const std::wstring& name, const std::wstring& text) {
    if (ui::CControlUI* control = pm.FindControl(name))
        control->SetText(text);
}

}  // namespace testing_support
