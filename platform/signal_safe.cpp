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

// Writes the value in lower-case hexadecimal at out[*used], keeping one byte for the NUL.
void AppendHex(char* out, std::size_t size, std::size_t* used, std::uint64_t value) {
    char digits[16];
    int count = 0;
    do {
        digits[count++] = "0123456789abcdef"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    while (count > 0 && *used + 1 < size)
        out[(*used)++] = digits[--count];
}

std::size_t Utf8Length(char32_t c) {
    if (c < 0x80)
        return 1;
    if (c < 0x800)
        return 2;
    if (c < 0x10000)
        return 3;
    return 4;
}

char* EncodeUtf8(char32_t c, char* out) {
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// Surrogates and values beyond Unicode become U+FFFD, as platform::WideToUtf8 does.
char32_t ValidCodePoint(wchar_t c) {
    const auto value = static_cast<char32_t>(c);
    if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0xFFFD;
    return value;
}

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

void FormatHex(char* out, std::size_t size, const char* format,
               std::initializer_list<std::uint64_t> values) {
    if (size == 0)
        return;
    const std::uint64_t* next = values.begin();
    std::size_t used = 0;
    for (const char* p = format; *p && used + 1 < size; ++p) {
        if (p[0] == '%' && p[1] == 'x' && next != values.end()) {
            AppendHex(out, size, &used, *next++);
            ++p;
        } else {
            out[used++] = *p;
        }
    }
    out[used] = '\0';
}

bool AppendUtf8(char* out, std::size_t size, const wchar_t* text) {
    std::size_t used = std::strlen(out);
    std::size_t needed = used;
    for (const wchar_t* p = text; *p; ++p)
        needed += Utf8Length(ValidCodePoint(*p));
    if (needed + 1 > size)
        return false;
    char* end = out + used;
    for (const wchar_t* p = text; *p; ++p)
        end = EncodeUtf8(ValidCodePoint(*p), end);
    *end = '\0';
    return true;
}

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
