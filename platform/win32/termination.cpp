#include "platform/termination.h"

#include <csignal>

#include "platform/win_types.h"

namespace platform {
namespace {

void (*g_handler)(int signal) = nullptr;

// The console's events, told as the signals they stand for on Linux.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    const int signal = event == CTRL_C_EVENT ? SIGINT : SIGTERM;
    // The console calls this on a thread of its own already; the handler may take its time.
    g_handler(signal);
    return TRUE;
}

}  // namespace

void HandleTerminationRequests(void (*handler)(int signal)) {
    g_handler = handler;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace platform
