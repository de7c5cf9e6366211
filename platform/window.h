// Window handles and window messages. A handle names a live window in a process-wide registry;
// whoever owns the window (the skin engine's Qt host, or a test) supplies an IWindowSink that
// decides how messages reach the window's thread. Handles are never reused, so a message
// posted to a window that has gone is dropped instead of reaching a stranger.
#pragma once

#include <memory>

#include "platform/win_types.h"

struct HWND__;
using HWND = HWND__*;

namespace platform {

class IWindowSink {
  public:
    virtual ~IWindowSink() = default;
    // Queues the message for the window's thread and returns at once; called from any thread.
    virtual bool Post(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    // Delivers the message and returns the window's answer: a direct call on the window's own
    // thread, a blocking hand-over from any other thread.
    virtual LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};

// Registers a live window and returns its new handle.
HWND RegisterWindow(std::shared_ptr<IWindowSink> sink);
// Forgets the handle; later posts and sends to it fail. Safe to call more than once.
void UnregisterWindow(HWND hwnd);
// The sink behind a live handle, or null.
std::shared_ptr<IWindowSink> FindWindowSink(HWND hwnd);

}  // namespace platform

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL IsWindow(HWND hwnd);
