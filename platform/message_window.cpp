#include "platform/message_window.h"

namespace platform {
namespace {

// Sent by TakeAll and never recorded: a sent message is taken in only after everything posted
// before it, so once it is answered nothing posted earlier is still on its way (on Windows,
// posted messages wait in the window thread's queue).
constexpr UINT kCatchUp = WM_APP + 0x3FFE;

}  // namespace

class MessageQueueWindow::Sink : public IWindowSink {
  public:
    explicit Sink(std::function<LRESULT(const WindowMessage&)> handler)
        : handler_(std::move(handler)) {}

    bool Post(UINT msg, WPARAM wParam, LPARAM lParam) override {
        Push({msg, wParam, lParam, false});
        return true;
    }

    LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == kCatchUp)
            return 0;
        WindowMessage m{msg, wParam, lParam, true};
        LRESULT result = handler_ ? handler_(m) : 0;
        Push(m);
        return result;
    }

    std::optional<WindowMessage> Wait(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_for(lock, timeout, [this] { return !queue_.empty(); }))
            return std::nullopt;
        WindowMessage m = queue_.front();
        queue_.pop_front();
        return m;
    }

    std::vector<WindowMessage> TakeAll() {
        std::lock_guard lock(mutex_);
        std::vector<WindowMessage> all(queue_.begin(), queue_.end());
        queue_.clear();
        return all;
    }

  private:
    void Push(const WindowMessage& m) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(m);
        }
        cv_.notify_all();
    }

    std::function<LRESULT(const WindowMessage&)> handler_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<WindowMessage> queue_;
};

MessageQueueWindow::MessageQueueWindow(std::function<LRESULT(const WindowMessage&)> sendHandler)
    : sink_(std::make_shared<Sink>(std::move(sendHandler))), hwnd_(RegisterWindow(sink_)) {}

MessageQueueWindow::~MessageQueueWindow() {
    Destroy();
}

void MessageQueueWindow::Destroy() {
    UnregisterWindow(hwnd_);
}

std::optional<WindowMessage> MessageQueueWindow::Wait(std::chrono::milliseconds timeout) {
    return sink_->Wait(timeout);
}

std::vector<WindowMessage> MessageQueueWindow::TakeAll() {
    SendMessageW(hwnd_, kCatchUp, 0, 0);
    return sink_->TakeAll();
}

}  // namespace platform
