#include "platform/signal_safe.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

extern char** environ;

namespace platform {
namespace {

constexpr char kMessageBoxHelper[] = "brindle-message-box";

// getenv is not async-signal-safe; reading the environment block is.
bool HasEnvironmentValue(const char* name) {
    const std::size_t length = std::strlen(name);
    for (char** entry = environ; entry && *entry; ++entry) {
        if (std::strncmp(*entry, name, length) == 0 && (*entry)[length] == '=' &&
            (*entry)[length + 1] != '\0')
            return true;
    }
    return false;
}

bool HasDisplay() {
    return HasEnvironmentValue("DISPLAY") || HasEnvironmentValue("WAYLAND_DISPLAY");
}

bool HelperPath(char* path, std::size_t size) {
    const ssize_t length = ::readlink("/proc/self/exe", path, size - 1);
    if (length <= 0)
        return false;
    path[length] = '\0';
    char* slash = std::strrchr(path, '/');
    if (!slash || (slash - path) + 1 + sizeof kMessageBoxHelper > size)
        return false;
    std::memcpy(slash + 1, kMessageBoxHelper, sizeof kMessageBoxHelper);
    return true;
}

// vfork, not fork: glibc's fork takes the allocator's locks, which the crashed thread may hold.
bool RunMessageBoxHelper(const char* text, const char* caption) {
    char path[PATH_MAX];
    if (!HelperPath(path, sizeof path))
        return false;
    char* const argv[] = {path, const_cast<char*>(text), const_cast<char*>(caption), nullptr};
    const pid_t child = ::vfork();
    if (child < 0)
        return false;
    if (child == 0) {
        ::execve(path, argv, environ);
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool AccessOwnMemory(std::uint64_t address, void* local, std::size_t size, bool write) {
    iovec localVec{local, size};
    iovec remoteVec{reinterpret_cast<void*>(address), size};
    const ssize_t done = write ? ::process_vm_writev(::getpid(), &localVec, 1, &remoteVec, 1, 0)
                               : ::process_vm_readv(::getpid(), &localVec, 1, &remoteVec, 1, 0);
    return done == static_cast<ssize_t>(size);
}

void WriteText(int file, const char* text) {
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t written = ::write(file, text, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        text += written;
        left -= static_cast<std::size_t>(written);
    }
}

}  // namespace

bool ReadOwnMemory(std::uint64_t address, void* out, std::size_t size) {
    return AccessOwnMemory(address, out, size, false);
}

bool WriteOwnMemory(std::uint64_t address, const void* data, std::size_t size) {
    return AccessOwnMemory(address, const_cast<void*>(data), size, true);
}

int CreatePrivateFileAlways(const char* nativePath) {
    // Removing the name unlinks a planted symbolic or hard link, never what it points to.
    ::unlink(nativePath);
    return ::open(nativePath, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

void CloseFile(int file) {
    ::close(file);
}

void CrashMessageBox(const char* text, const char* caption) {
    if (HasDisplay() && RunMessageBoxHelper(text, caption))
        return;
    WriteText(STDERR_FILENO, caption);
    WriteText(STDERR_FILENO, ": ");
    WriteText(STDERR_FILENO, text);
    WriteText(STDERR_FILENO, "\n");
}

}  // namespace platform
