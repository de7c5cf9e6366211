#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/path.h"

BOOL MoveFileExW(const wchar_t* existing, const wchar_t* newName, DWORD flags) {
    if (!existing || !newName)
        return FALSE;
    if (!(flags & MOVEFILE_REPLACE_EXISTING) && PathFileExistsW(newName))
        return FALSE;
    const std::string from = platform::NativePath(existing);
    const std::string to = platform::NativePath(newName);
    return std::rename(from.c_str(), to.c_str()) == 0 ? TRUE : FALSE;
}

namespace platform {
namespace {

int OpenFlags(DWORD disposition) {
    switch (disposition) {
        case CREATE_NEW:
            return O_CREAT | O_EXCL;
        case CREATE_ALWAYS:
            return O_CREAT | O_TRUNC;
        case OPEN_EXISTING:
            return 0;
        case OPEN_ALWAYS:
            return O_CREAT;
        case TRUNCATE_EXISTING:
            return O_TRUNC;
        default:
            return -1;
    }
}

}  // namespace

OutputFile::~OutputFile() {
    Close();
}

bool ReadFileSize(const std::wstring& path, std::uint64_t* size) {
    const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat info {};
    const bool read = ::fstat(fd, &info) == 0;
    ::close(fd);
    if (read)
        *size = static_cast<std::uint64_t>(info.st_size);
    return read;
}

bool IsSameFile(const std::wstring& a, const std::wstring& b) {
    struct stat first {
    }, second{};
    if (::stat(NativePath(a).c_str(), &first) != 0 || ::stat(NativePath(b).c_str(), &second) != 0)
        return a == b;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool ReadWholeFile(const std::wstring& path, std::uint64_t maxBytes, std::string* bytes) {
    const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat info {};
    bool read = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                static_cast<std::uint64_t>(info.st_size) <= maxBytes;
    if (read) {
        bytes->resize(static_cast<size_t>(info.st_size));
        size_t done = 0;
        while (read && done < bytes->size()) {
            const ssize_t n = ::read(fd, bytes->data() + done, bytes->size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            read = n > 0;
            done += read ? static_cast<size_t>(n) : 0;
        }
    }
    ::close(fd);
    return read;
}

bool OutputFile::Create(const std::wstring& path, DWORD disposition) {
    Close();
    const int flags = OpenFlags(disposition);
    if (flags < 0)
        return false;
    fd_ = ::open(NativePath(path).c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | flags, 0600);
    // A file left behind by an earlier run keeps its old mode unless it is narrowed here.
    if (fd_ >= 0)
        ::fchmod(fd_, 0600);
    return fd_ >= 0;
}

bool OutputFile::Write(const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void OutputFile::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

}  // namespace platform
