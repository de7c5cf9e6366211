// A window without a user interface: it records every message posted or sent to it, for
// command-line tools and tests that need a real window handle to receive progress.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/window.h"

namespace platform {

struct WindowMessage {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool sent;  // true for SendMessageW, false for PostMessageW
};

class MessageQueueWindow {
  public:
    // sendHandler, when given, answers sent messages on the sending thread.
    explicit MessageQueueWindow(std::function<LRESULT(const WindowMessage&)> sendHandler = nullptr);
    ~MessageQueueWindow();
    MessageQueueWindow(const MessageQueueWindow&) = delete;
    MessageQueueWindow& operator=(const MessageQueueWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    // Removes and returns the oldest message, waiting up to timeout for one to arrive.
    std::optional<WindowMessage> Wait(std::chrono::milliseconds timeout);
    // Removes and returns everything posted or sent so far.
    std::vector<WindowMessage> TakeAll();
    // Unregisters the handle; the window stops receiving messages.
    void Destroy();

  private:
    class Sink;
    std::shared_ptr<Sink> sink_;
    HWND hwnd_ = nullptr;
};

}  // namespace platform
