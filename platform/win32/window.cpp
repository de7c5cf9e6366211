#include "platform/window.h"

#include <future>
#include <mutex>
#include <thread>

namespace platform {
namespace {

constexpr wchar_t kClassName[] = L"BrindleMessageWindow";
// Sent by UnregisterWindow: destroys the window on its own thread and ends that thread.
constexpr UINT kUnregister = WM_APP + 0x3FFF;

// What the window's thread and its handle share.
struct WindowState {
    std::shared_ptr<IWindowSink> sink;
    std::thread thread;
};

std::mutex g_mutex;

LRESULT Deliver(HWND hwnd, WindowState& state, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!InSendMessage()) {
        state.sink->Post(msg, wParam, lParam);
        return 0;
    }
    // Windows delivers a sent message ahead of everything posted before it; handing over the
    // posted ones first keeps the order in which the messages were issued.
    MSG posted;
    while (PeekMessageW(&posted, hwnd, 0, 0, PM_REMOVE))
        DispatchMessageW(&posted);
    return state.sink->Send(msg, wParam, lParam);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* state = reinterpret_cast<WindowState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == kUnregister) {
        MSG posted;
        while (PeekMessageW(&posted, hwnd, 0, 0, PM_REMOVE))
            DispatchMessageW(&posted);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
        PostQuitMessage(0);
        return 0;
    }
    // The system's own messages (creation, destruction) are not the program's.
    if (!state || msg < WM_USER)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    return Deliver(hwnd, *state, msg, wParam, lParam);
}

void RunWindow(WindowState* state, std::promise<HWND>& created) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);  // fails harmlessly once the class exists
    const HWND hwnd = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      windowClass.hInstance, state);
    created.set_value(hwnd);
    MSG msg;
    while (hwnd && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
}

}  // namespace

HWND RegisterWindow(std::shared_ptr<IWindowSink> sink) {
    auto* state = new WindowState{std::move(sink), {}};
    std::promise<HWND> created;
    std::future<HWND> hwnd = created.get_future();
    state->thread = std::thread(RunWindow, state, std::ref(created));
    const HWND result = hwnd.get();
    if (!result) {
        state->thread.join();
        delete state;
    }
    return result;
}

void UnregisterWindow(HWND hwnd) {
    std::unique_lock lock(g_mutex);
    if (!hwnd || !IsWindow(hwnd))
        return;
    auto* state = reinterpret_cast<WindowState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!state || GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId())
        return;
    SendMessageW(hwnd, kUnregister, 0, 0);
    lock.unlock();
    state->thread.join();
    delete state;
}

std::shared_ptr<IWindowSink> FindWindowSink(HWND hwnd) {
    std::lock_guard lock(g_mutex);
    if (!hwnd || !IsWindow(hwnd))
        return nullptr;
    const auto* state =
        reinterpret_cast<const WindowState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return state ? state->sink : nullptr;
}

}  // namespace platform
