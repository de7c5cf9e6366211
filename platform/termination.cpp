#include "platform/termination.h"

#include <pthread.h>

#include <csignal>
#include <thread>

namespace platform {

void HandleTerminationRequests(void (*handler)(int signal)) {
    sigset_t requests;
    sigemptyset(&requests);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&requests, signal);
    pthread_sigmask(SIG_BLOCK, &requests, nullptr);
    std::thread([requests, handler] {
        int signal = 0;
        if (sigwait(&requests, &signal) == 0)
            handler(signal);
    }).detach();
}

}  // namespace platform
