#include "platform/termination.h"

#include <csignal>
#include <mutex>

#include "platform/win_types.h"

namespace platform {
namespace {

std::mutex g_mutex;
std::function<void(int signal)>* g_onRequest = nullptr;

// The console calls this on a thread of its own, which may take its time; the events are told
// as the signals they stand for on Linux.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    std::lock_guard lock(g_mutex);
    if (!g_onRequest)
        return FALSE;
    (*g_onRequest)(event == CTRL_C_EVENT ? SIGINT : SIGTERM);
    return TRUE;
}

}  // namespace

struct TerminationRequests::State {
    std::function<void(int signal)> onRequest;
};

TerminationRequests::TerminationRequests(std::function<void(int signal)> onRequest)
    : state_(std::make_unique<State>(State{std::move(onRequest)})) {
    std::lock_guard lock(g_mutex);
    g_onRequest = &state_->onRequest;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

TerminationRequests::~TerminationRequests() {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    std::lock_guard lock(g_mutex);
    g_onRequest = nullptr;
}

}  // namespace platform
