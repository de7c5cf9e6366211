#include "platform/window.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<HWND, std::shared_ptr<IWindowSink>> windows;
    std::uintptr_t next = 0x10000;
};

Registry& GetRegistry() {
    static Registry* registry = new Registry;  // outlives every static that may post at exit
    return *registry;
}

}  // namespace

HWND RegisterWindow(std::shared_ptr<IWindowSink> sink) {
    Registry& r = GetRegistry();
    std::lock_guard lock(r.mutex);
    HWND hwnd = reinterpret_cast<HWND>(r.next);
    r.next += 0x10;
    r.windows.emplace(hwnd, std::move(sink));
    return hwnd;
}

void UnregisterWindow(HWND hwnd) {
    Registry& r = GetRegistry();
    std::shared_ptr<IWindowSink> dropped;
    {
        std::lock_guard lock(r.mutex);
        auto it = r.windows.find(hwnd);
        if (it == r.windows.end())
            return;
        dropped = std::move(it->second);
        r.windows.erase(it);
    }
    // The sink is released outside the lock: its destructor may take locks of its own.
}

std::shared_ptr<IWindowSink> FindWindowSink(HWND hwnd) {
    Registry& r = GetRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.windows.find(hwnd);
    return it == r.windows.end() ? nullptr : it->second;
}

}  // namespace platform

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto sink = platform::FindWindowSink(hwnd);
    return sink && sink->Post(msg, wParam, lParam) ? TRUE : FALSE;
}

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto sink = platform::FindWindowSink(hwnd);
    return sink ? sink->Send(msg, wParam, lParam) : 0;
}

BOOL IsWindow(HWND hwnd) {
    return platform::FindWindowSink(hwnd) ? TRUE : FALSE;
}
