#include "ui/qt/window_wnd.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <condition_variable>
#include <map>
#include <mutex>

#include "ui/markup/resources.h"
#include "ui/qt/host_widget.h"
#include "ui/qt/message_event.h"

namespace ui {
namespace {

struct WindowTable {
    std::mutex mutex;
    std::map<HWND, CWindowWnd*> windows;
};

WindowTable& Windows() {
    static WindowTable* table = new WindowTable;
    return *table;
}

}  // namespace

// Hands messages for one window to the UI thread; forgets the widget when the window goes so
// that later posts fail and waiting senders are released.
class CWindowWnd::Sink : public platform::IWindowSink {
  public:
    explicit Sink(HostWidget* widget) : widget_(widget) {}

    bool Post(UINT msg, WPARAM wParam, LPARAM lParam) override {
        std::lock_guard lock(mutex_);
        if (!widget_)
            return false;
        QCoreApplication::postEvent(widget_, new MessageEvent(msg, wParam, lParam, nullptr));
        return true;
    }

    LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (IsUiThread()) {
            HostWidget* widget = Widget();
            return widget ? widget->Deliver(msg, wParam, lParam) : 0;
        }
        auto request = std::make_shared<SendRequest>();
        {
            std::lock_guard lock(mutex_);
            if (!widget_)
                return 0;
            QCoreApplication::postEvent(widget_, new MessageEvent(msg, wParam, lParam, request));
        }
        return request->Wait();
    }

    HostWidget* Widget() {
        std::lock_guard lock(mutex_);
        return widget_;
    }

    void Shutdown() {
        std::lock_guard lock(mutex_);
        widget_ = nullptr;
    }

  private:
    std::mutex mutex_;
    HostWidget* widget_;
};

struct CWindowWnd::ModalState {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    UINT code = 0;
    QEventLoop* loop = nullptr;

    void Finish(UINT result) {
        std::lock_guard lock(mutex);
        done = true;
        code = result;
        if (loop)
            loop->exit();
        cv.notify_all();
    }
    UINT Wait() {
        std::unique_lock lock(mutex);
        cv.wait(lock, [this] { return done; });
        return code;
    }
};

CWindowWnd::CWindowWnd() = default;

CWindowWnd::~CWindowWnd() {
    DetachWindow();
}

void CWindowWnd::DetachWindow() {
    if (!hwnd_)
        return;
    RunOnUiThread([this] {
        DestroyOwnedWindows();
        if (auto modal = ReleaseWindow())
            modal->Finish(closeCode_);
    });
}

std::vector<CWindowWnd*> CWindowWnd::OwnedWindows() const {
    std::vector<CWindowWnd*> owned;
    std::lock_guard lock(Windows().mutex);
    for (auto& [h, w] : Windows().windows)
        if (w->owner_ == this)
            owned.push_back(w);
    return owned;
}

// Owned windows go before their owner, as their native windows are its children.
void CWindowWnd::DestroyOwnedWindows() {
    for (CWindowWnd* w : OwnedWindows())
        w->DestroyWindow();
}

std::shared_ptr<CWindowWnd::ModalState> CWindowWnd::ReleaseWindow() {
    const HWND hwnd = hwnd_;
    platform::UnregisterWindow(hwnd);
    sink_->Shutdown();
    {
        std::lock_guard lock(Windows().mutex);
        Windows().windows.erase(hwnd);
    }
    hwnd_ = nullptr;
    HostWidget* widget = widget_;
    widget_ = nullptr;
    widget->Detach();
    widget->hide();
    widget->deleteLater();
    return std::move(modal_);
}

CWindowWnd* CWindowWnd::FromHandle(HWND hwnd) {
    std::lock_guard lock(Windows().mutex);
    auto it = Windows().windows.find(hwnd);
    return it == Windows().windows.end() ? nullptr : it->second;
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* name, DWORD style, DWORD, int x, int y, int cx,
                        int cy) {
    EnsureApplication();
    HWND result = nullptr;
    RunOnUiThread([&] { result = CreateOnUiThread(parent, name, style, x, y, cx, cy); });
    return result;
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle,
                        const RECT& rc) {
    return Create(parent, name, style, exStyle, rc.left, rc.top, rc.right - rc.left,
                  rc.bottom - rc.top);
}

HWND CWindowWnd::CreateOnUiThread(HWND parent, const wchar_t* name, DWORD style, int x, int y,
                                  int cx, int cy) {
    if (hwnd_)
        return hwnd_;
    owner_ = FromHandle(parent);
    QWidget* parentWidget = owner_ ? owner_->widget_ : nullptr;
    // An owned window is a dialog: the window manager keeps it above its owner (transient for
    // it) and treats it as a dialog, not as a second main window.
    const Qt::WindowFlags kind = IsPopupWindow() ? Qt::Popup : owner_ ? Qt::Dialog : Qt::Window;
    widget_ = new HostWidget(parentWidget, kind | Qt::FramelessWindowHint);
    widget_->SetName(QString::fromStdWString(name ? name : L""));
    sink_ = std::make_shared<Sink>(widget_);
    hwnd_ = platform::RegisterWindow(sink_);
    {
        std::lock_guard lock(Windows().mutex);
        Windows().windows[hwnd_] = this;
    }
    widget_->SetMessageHandler([this](UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_CLOSE)
            closeCode_ = static_cast<UINT>(wParam);
        return HandleMessage(msg, wParam, lParam);
    });
    sizeRequested_ = cx > 0 && cy > 0;
    if (sizeRequested_)
        widget_->SetClientSize({cx, cy});
    if (x != CW_USEDEFAULT && y != CW_USEDEFAULT && (x || y))
        MoveTo(x, y);
    if (HandleMessage(WM_CREATE, 0, 0) == -1) {
        ReleaseWindow();  // no OnFinalMessage: the caller still holds the object
        return nullptr;
    }
    if (style & WS_VISIBLE)
        widget_->show();
    return hwnd_;
}

void CWindowWnd::DestroyWindow() {
    if (!hwnd_)
        return;
    const HWND hwnd = hwnd_;
    DestroyOwnedWindows();
    HandleMessage(WM_DESTROY, 0, 0);
    const UINT code = closeCode_;
    auto modal = ReleaseWindow();
    OnFinalMessage(hwnd);
    // Only now may a waiting opener go on and delete the object: OnFinalMessage has run.
    if (modal)
        modal->Finish(code);
}

void CWindowWnd::OnFinalMessage(HWND) {}

LRESULT CWindowWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_CLOSE) {
        DestroyWindow();
        return 0;
    }
    if (msg != WM_SYSCOMMAND || !widget_)
        return 0;
    switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            PostMessageW(WM_CLOSE, IDCANCEL, 0);
            break;
        case SC_MINIMIZE:
            widget_->showMinimized();
            break;
        case SC_MAXIMIZE:
            widget_->showMaximized();
            break;
        case SC_RESTORE:
            widget_->showNormal();
            break;
    }
    return 0;
}

// Brought forward, a window brings its dialogs along above it: a modal one must not stay
// hidden behind the window it blocks.
void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
    RunOnUiThread([=, this] {
        if (!widget_)
            return;
        widget_->setVisible(show);
        if (!show || !takeFocus)
            return;
        widget_->raise();
        widget_->activateWindow();
        for (CWindowWnd* owned : OwnedWindows())
            if (owned->widget_ && owned->widget_->isVisible())
                owned->BringForward();
    });
}

void CWindowWnd::BringForward() {
    if (widget_->isMinimized())
        widget_->showNormal();
    widget_->raise();
    widget_->activateWindow();
}

// A dialog comes with its owner: an owner that was minimised or hidden is shown again beneath
// it, so the dialog never stands alone before a window the user cannot reach.
void CWindowWnd::StartModal(std::shared_ptr<ModalState> state) {
    modal_ = std::move(state);
    if (owner_ && owner_->widget_) {
        if (!owner_->widget_->isVisible() || owner_->widget_->isMinimized())
            owner_->widget_->showNormal();
        owner_->widget_->raise();
    }
    const bool visible = widget_->isVisible();
    if (visible)
        widget_->hide();
    widget_->setWindowModality(owner_ ? Qt::WindowModal : Qt::ApplicationModal);
    widget_->show();
    BringForward();
}

UINT CWindowWnd::RunModalOnUiThread() {
    if (!hwnd_)
        return static_cast<UINT>(-1);
    auto state = std::make_shared<ModalState>();
    StartModal(state);
    QEventLoop loop;
    {
        std::lock_guard lock(state->mutex);
        if (!state->done)
            state->loop = &loop;
    }
    if (state->loop)
        loop.exec();
    // The window has gone and the object may have deleted itself: only the state remains.
    return state->code;
}

UINT CWindowWnd::ShowModal() {
    if (IsUiThread())
        return RunModalOnUiThread();
    auto state = std::make_shared<ModalState>();
    bool started = false;
    RunOnUiThread([&] {
        started = hwnd_ != nullptr;
        if (started)
            StartModal(state);
    });
    return started ? state->Wait() : static_cast<UINT>(-1);
}

void CWindowWnd::Close(UINT code) {
    ::PostMessageW(hwnd_, WM_CLOSE, code, 0);
}

void CWindowWnd::CenterWindow() {
    RunOnUiThread([this] {
        if (!widget_)
            return;
        QRect area;
        if (owner_ && owner_->widget_)
            area = owner_->widget_->frameGeometry();
        else if (QScreen* screen = QGuiApplication::primaryScreen())
            area = screen->availableGeometry();
        QRect frame = widget_->frameGeometry();
        frame.moveCenter(area.center());
        widget_->move(frame.topLeft());
        KeepOnScreen();
    });
}

// The window's client area (its see-through shadow margin aside) stays inside the available
// area of the screen it is on. One larger than that area keeps its caption reachable: its top
// edge, then its left edge, at the area's corner.
void CWindowWnd::KeepOnScreen() {
    const int m = widget_->ShadowMargin();
    const QRect client = widget_->frameGeometry().adjusted(m, m, -m, -m);
    QScreen* screen = QGuiApplication::screenAt(client.center());
    if (!screen)
        screen = widget_->screen() ? widget_->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    auto fit = [](int start, int length, int areaStart, int areaLength) {
        return std::max(areaStart, std::min(start, areaStart + areaLength - length));
    };
    const QPoint inside(fit(client.left(), client.width(), area.left(), area.width()),
                        fit(client.top(), client.height(), area.top(), area.height()));
    widget_->move(widget_->pos() + (inside - client.topLeft()));
}

void CWindowWnd::SetIcon(UINT resourceId) {
    RunOnUiThread([=, this] {
        if (!widget_)
            return;
        const auto bytes = resources::Load(L"icon/" + std::to_wstring(resourceId) + L".png");
        QPixmap pixmap;
        if (bytes &&
            pixmap.loadFromData(reinterpret_cast<const uchar*>(bytes->data()), bytes->size()))
            widget_->setWindowIcon(QIcon(pixmap));
    });
}

void CWindowWnd::ResizeClient(int cx, int cy) {
    RunOnUiThread([=, this] {
        if (!widget_)
            return;
        const QRect client = widget_->ClientRect();
        widget_->SetClientSize({cx >= 0 ? cx : client.width(), cy >= 0 ? cy : client.height()});
    });
}

void CWindowWnd::MoveTo(int x, int y) {
    RunOnUiThread([=, this] {
        if (!widget_)
            return;
        const int m = widget_->ShadowMargin();
        widget_->move(x - m, y - m);
        KeepOnScreen();
    });
}

LRESULT CWindowWnd::SendMessageW(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageW(hwnd_, msg, wParam, lParam);
}

BOOL CWindowWnd::PostMessageW(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageW(hwnd_, msg, wParam, lParam);
}

}  // namespace ui
