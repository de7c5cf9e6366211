#include "platform/thread.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// What a handle and its thread share: the thread outlives a closed handle and the handle a
// finished thread, so whichever goes last frees it.
struct ThreadState {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

using Handle = std::shared_ptr<ThreadState>;

}  // namespace

std::uintptr_t _beginthreadex(void*, unsigned, _beginthreadex_proc_type proc, void* argument,
                              unsigned, unsigned* threadId) {
    auto* handle = new Handle(std::make_shared<ThreadState>());
    try {
        std::thread([state = *handle, proc, argument] {
            proc(argument);
            std::lock_guard lock(state->mutex);
            state->done = true;
            state->ended.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        delete handle;
        return 0;
    }
    if (threadId)
        *threadId = 0;
    return reinterpret_cast<std::uintptr_t>(handle);
}

DWORD WaitForSingleObject(HANDLE thread, DWORD milliseconds) {
    if (!thread)
        return WAIT_FAILED;
    ThreadState& state = **static_cast<Handle*>(thread);
    std::unique_lock lock(state.mutex);
    const auto isDone = [&state] { return state.done; };
    if (milliseconds == INFINITE)
        state.ended.wait(lock, isDone);
    else
        state.ended.wait_for(lock, std::chrono::milliseconds(milliseconds), isDone);
    return state.done ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL CloseHandle(HANDLE thread) {
    if (!thread)
        return FALSE;
    delete static_cast<Handle*>(thread);
    return TRUE;
}
