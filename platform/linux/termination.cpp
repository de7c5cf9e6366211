#include "platform/termination.h"

#include <fcntl.h>
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

// Where the signal handler leaves word of a request, one pipe byte per signal (its number);
// -1 while nobody listens.
std::atomic<int> g_requestFd{-1};

// Async-signal-safe: one write to a pipe.
void OnTerminationSignal(int signo) {
    const int savedErrno = errno;
    const int fd = g_requestFd.load();
    const unsigned char number = static_cast<unsigned char>(signo);
    if (fd >= 0)
        (void)!::write(fd, &number, 1);
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
    int pipe[2] = {-1, -1};  // read end, write end
    int stopFd = ::eventfd(0, EFD_CLOEXEC);
    std::thread thread;
};

TerminationRequests::TerminationRequests(std::function<void(int signal)> onRequest)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    if (::pipe2(s.pipe, O_CLOEXEC | O_NONBLOCK) != 0 || s.stopFd < 0)
        return;
    s.thread = std::thread([&s, onRequest = std::move(onRequest)] {
        pollfd fds[] = {{s.pipe[0], POLLIN, 0}, {s.stopFd, POLLIN, 0}};
        unsigned char number = 0;
        for (;;) {
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (fds[1].revents)
                return;
            while ((fds[0].revents & POLLIN) && ::read(s.pipe[0], &number, 1) == 1)
                onRequest(number);
        }
    });
    g_requestFd = s.pipe[1];
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
    for (const int fd : {s.pipe[0], s.pipe[1], s.stopFd})
        if (fd >= 0)
            ::close(fd);
}

}  // namespace platform
