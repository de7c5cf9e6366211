#include "platform/termination.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <thread>

namespace platform {
namespace {

constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Where the signal handler leaves word of a request; -1 while nobody listens.
std::atomic<int> g_requestFd{-1};

// Async-signal-safe: one write to an eventfd.
void OnTerminationSignal(int) {
    const int savedErrno = errno;
    const int fd = g_requestFd.load();
    const std::uint64_t one = 1;
    if (fd >= 0)
        (void)!::write(fd, &one, sizeof one);
    errno = savedErrno;
}

void SetHandler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signo : kTerminationSignals)
        ::sigaction(signo, &action, nullptr);
}

}  // namespace

struct TerminationRequests::State {
    int requestFd = ::eventfd(0, EFD_CLOEXEC);
    int stopFd = ::eventfd(0, EFD_CLOEXEC);
    std::thread thread;
};

TerminationRequests::TerminationRequests(std::function<void()> onRequest)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    if (s.requestFd < 0 || s.stopFd < 0)
        return;
    s.thread = std::thread([&s, onRequest = std::move(onRequest)] {
        pollfd fds[] = {{s.requestFd, POLLIN, 0}, {s.stopFd, POLLIN, 0}};
        std::uint64_t count = 0;
        for (;;) {
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (fds[1].revents)
                return;
            if ((fds[0].revents & POLLIN) && ::read(s.requestFd, &count, sizeof count) > 0)
                onRequest();
        }
    });
    g_requestFd = s.requestFd;
    SetHandler(&OnTerminationSignal);
}

TerminationRequests::~TerminationRequests() {
    State& s = *state_;
    if (s.thread.joinable()) {
        SetHandler(SIG_DFL);
        g_requestFd = -1;
        const std::uint64_t one = 1;
        (void)!::write(s.stopFd, &one, sizeof one);
        s.thread.join();
    }
    for (const int fd : {s.requestFd, s.stopFd})
        if (fd >= 0)
            ::close(fd);
}

}  // namespace platform
