#include "platform/single_instance.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/text.h"

namespace platform {
namespace {

// FNV-1a: stable across builds, so two builds of the program still find each other.
std::uint64_t StableHash(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

// An abstract socket (no file to clean up) per user and home folder, so test runs with their
// own home folders do not meet the user's program.
sockaddr_un InstanceAddress(const std::wstring& windowClass, socklen_t* length) {
    const char* home = std::getenv("HOME");
    const std::string name = WideToUtf8(windowClass) + "-" + std::to_string(::getuid()) + "-" +
                             std::to_string(StableHash(home ? home : ""));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t size = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), size);
    *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + size);
    return address;
}

}  // namespace

bool ActivateRunningInstance(const std::wstring& windowClass) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    socklen_t length = 0;
    const sockaddr_un address = InstanceAddress(windowClass, &length);
    const bool reached = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    if (reached)
        (void)!::send(fd, "s", 1, MSG_NOSIGNAL);
    ::close(fd);
    return reached;
}

struct InstanceListener::State {
    int listenFd = -1;
    int stopFd = -1;
    std::thread thread;
};

InstanceListener::InstanceListener(const std::wstring& windowClass,
                                   std::function<void()> onActivate)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    socklen_t length = 0;
    const sockaddr_un address = InstanceAddress(windowClass, &length);
    if (s.listenFd < 0 ||
        ::bind(s.listenFd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(s.listenFd, 4) != 0) {
        if (s.listenFd >= 0)
            ::close(s.listenFd);
        s.listenFd = -1;
        return;
    }
    s.stopFd = ::eventfd(0, EFD_CLOEXEC);
    s.thread = std::thread([&s, onActivate = std::move(onActivate)] {
        pollfd fds[] = {{s.listenFd, POLLIN, 0}, {s.stopFd, POLLIN, 0}};
        while (::poll(fds, 2, -1) >= 0 && !(fds[1].revents & POLLIN)) {
            if (!(fds[0].revents & POLLIN))
                continue;
            const int client = ::accept4(s.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                ::close(client);
                onActivate();
            }
        }
    });
}

InstanceListener::~InstanceListener() {
    State& s = *state_;
    if (s.listenFd < 0)
        return;
    const std::uint64_t one = 1;
    (void)!::write(s.stopFd, &one, sizeof one);
    s.thread.join();
    ::close(s.stopFd);
    ::close(s.listenFd);
}

bool InstanceListener::IsListening() const {
    return state_->listenFd >= 0;
}

}  // namespace platform
