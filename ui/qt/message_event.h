// A window message travelling through Qt's event queue to the UI thread. A sent message carries
// a request that the sender waits on; it completes with the window's answer, or with 0 when the
// window goes before answering.
#pragma once

#include <QEvent>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/win_types.h"

namespace ui {

class SendRequest {
  public:
    void Complete(LRESULT result) {
        std::lock_guard lock(mutex_);
        if (done_)
            return;
        result_ = result;
        done_ = true;
        cv_.notify_all();
    }
    LRESULT Wait() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return done_; });
        return result_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    LRESULT result_ = 0;
};

class MessageEvent : public QEvent {
  public:
    static QEvent::Type EventType() {
        static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    MessageEvent(UINT msg, WPARAM wParam, LPARAM lParam, std::shared_ptr<SendRequest> request)
        : QEvent(EventType()),
          msg(msg),
          wParam(wParam),
          lParam(lParam),
          request(std::move(request)) {}
    // An unanswered send is released when the event is dropped with its window.
    ~MessageEvent() override {
        if (request)
            request->Complete(0);
    }

    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    std::shared_ptr<SendRequest> request;
};

}  // namespace ui
