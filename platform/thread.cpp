#include "platform/thread.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// Shared by the handle and the thread, so either may go first.
struct ThreadState {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

struct ThreadHandle {
    std::shared_ptr<ThreadState> state;
};

ThreadHandle* FromHandle(HANDLE handle) {
    return static_cast<ThreadHandle*>(handle);
}

}  // namespace

std::uintptr_t _beginthreadex(void*, unsigned, ThreadProc proc, void* argument, unsigned,
                              unsigned* threadId) {
    auto state = std::make_shared<ThreadState>();
    try {
        std::thread([state, proc, argument] {
            proc(argument);
            std::lock_guard lock(state->mutex);
            state->done = true;
            state->ended.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return 0;
    }
    if (threadId)
        *threadId = 0;
    return reinterpret_cast<std::uintptr_t>(new ThreadHandle{std::move(state)});
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    if (!handle)
        return WAIT_FAILED;
    ThreadState& state = *FromHandle(handle)->state;
    std::unique_lock lock(state.mutex);
    const auto ended = [&] { return state.done; };
    if (milliseconds == INFINITE)
        state.ended.wait(lock, ended);
    else if (!state.ended.wait_for(lock, std::chrono::milliseconds(milliseconds), ended))
        return WAIT_TIMEOUT;
    return WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE handle) {
    if (!handle)
        return FALSE;
    delete FromHandle(handle);
    return TRUE;
}
