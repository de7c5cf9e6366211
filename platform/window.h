// Window handles and window messages. Whoever owns a window that is no more than a message
// target (the skin engine's Qt host, a command-line tool, a test) supplies an IWindowSink that
// takes its messages.
//
// On Linux a handle names a live sink in a process-wide registry, and the sink decides how
// messages reach the window's thread. Handles are never reused, so a message posted to a window
// that has gone is dropped instead of reaching a stranger. On Windows the handle is a real
// message-only window, run by a thread of its own that hands every message to the sink; posting
// and sending are the system's own.
#pragma once

#include <memory>

#include "platform/win_types.h"

#ifndef _WIN32
struct HWND__;
using HWND = HWND__*;
#endif

namespace platform {

class IWindowSink {
  public:
    virtual ~IWindowSink() = default;
    // Queues the message for the window's thread and returns at once; called from any thread
    // (on Windows, from the window's thread).
    virtual bool Post(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    // Delivers the message and returns the window's answer: a direct call on the window's own
    // thread, a blocking hand-over from any other thread (on Windows, called on the window's
    // thread while the sender waits).
    virtual LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};

// Registers a live window and returns its new handle.
HWND RegisterWindow(std::shared_ptr<IWindowSink> sink);
// Forgets the handle; later posts and sends to it fail. Safe to call more than once. On Windows
// the messages posted before it still reach the sink first.
void UnregisterWindow(HWND hwnd);
// The sink behind a live handle, or null.
std::shared_ptr<IWindowSink> FindWindowSink(HWND hwnd);

}  // namespace platform

#ifndef _WIN32
BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL IsWindow(HWND hwnd);
#endif
