// Writing a whole message to a socket, for the Linux side of the platform layer.
#pragma once

#include <sys/socket.h>

#include <cerrno>
#include <string_view>

namespace platform {

// Every byte, or false. No SIGPIPE when the other side has gone: that is an answer, not a
// reason to die.
inline bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

}  // namespace platform
