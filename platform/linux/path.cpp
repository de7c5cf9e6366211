#include "platform/path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "platform/text.h"

namespace platform {
std::filesystem::path NativePath(const std::wstring& path) {
    return WideToUtf8(path);
}

std::wstring FullPath(const std::wstring& path) {
    if (path.empty() || path.front() == kPathSeparator)
        return path;
    char* cwd = ::getcwd(nullptr, 0);
    if (!cwd)
        return path;
    std::wstring folder = Utf8ToWide(cwd);
    std::free(cwd);
    if (folder.empty() || folder.back() != kPathSeparator)
        folder += kPathSeparator;
    return folder + path;
}

NewFileResult CreateNewFile(const std::wstring& path, const std::wstring& permissionsOf) {
    mode_t mode = 0666;
    if (!permissionsOf.empty()) {
        struct stat model;
        mode = ::stat(NativePath(permissionsOf).c_str(), &model) == 0 ? model.st_mode & 0666 : 0600;
    }
    const int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return errno == EEXIST ? NewFileResult::Exists : NewFileResult::Failed;
    ::close(fd);
    return NewFileResult::Created;
}

bool IsWritableFolder(const std::wstring& path) {
    struct stat st;
    const std::string native = NativePath(path);
    return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(native.c_str(), W_OK | X_OK) == 0;
}

bool IsRegularFile(const std::wstring& path) {
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::wstring CreateTempFolder(const std::wstring& prefix) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp && *tmp == '/' ? tmp : "/tmp") + '/' + WideToUtf8(prefix) + "-XXXXXX";
    // mkdtemp makes the folder 0700 under a name nobody else can have taken.
    if (!::mkdtemp(pattern.data()))
        return {};
    return Utf8ToWide(pattern);
}
}  // namespace platform

using platform::kPathSeparator;

BOOL PathFileExistsW(const wchar_t* path) {
    if (!path || !*path)
        return FALSE;
    struct stat st;
    return ::stat(platform::NativePath(path).c_str(), &st) == 0 ? TRUE : FALSE;
}

BOOL PathRemoveFileSpecW(wchar_t* path) {
    if (!path || !*path)
        return FALSE;
    wchar_t* last = std::wcsrchr(path, kPathSeparator);
    if (!last) {
        *path = L'\0';
        return TRUE;
    }
    if (last == path) {
        // Keep the root itself.
        if (last[1] == L'\0')
            return FALSE;
        last[1] = L'\0';
        return TRUE;
    }
    *last = L'\0';
    return TRUE;
}

const wchar_t* PathFindFileNameW(const wchar_t* path) {
    if (!path)
        return path;
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p) {
        if (*p == kPathSeparator && p[1] != L'\0')
            name = p + 1;
    }
    return name;
}

const wchar_t* PathFindExtensionW(const wchar_t* path) {
    if (!path)
        return path;
    const wchar_t* dot = nullptr;
    const wchar_t* p = path;
    for (; *p; ++p) {
        if (*p == kPathSeparator || *p == L' ')
            dot = nullptr;
        else if (*p == L'.')
            dot = p;
    }
    return dot ? dot : p;
}

void PathRemoveExtensionW(wchar_t* path) {
    if (!path)
        return;
    *const_cast<wchar_t*>(PathFindExtensionW(path)) = L'\0';
}

BOOL platform::CreatePrivateDirectory(const std::wstring& path) {
    if (path.empty())
        return FALSE;
    return ::mkdir(platform::NativePath(path).c_str(), 0700) == 0 ? TRUE : FALSE;
}

BOOL CreateDirectoryW(const wchar_t* path, void*) {
    if (!path || !*path)
        return FALSE;
    return ::mkdir(platform::NativePath(path).c_str(), 0777) == 0 ? TRUE : FALSE;
}

BOOL DeleteFileW(const wchar_t* path) {
    if (!path || !*path)
        return FALSE;
    return ::unlink(platform::NativePath(path).c_str()) == 0 ? TRUE : FALSE;
}

DWORD GetModuleFileNameW(void*, wchar_t* buffer, DWORD size) {
    if (!buffer || size == 0)
        return 0;
    char raw[4096];
    const ssize_t n = ::readlink("/proc/self/exe", raw, sizeof raw - 1);
    if (n <= 0) {
        buffer[0] = L'\0';
        return 0;
    }
    const std::wstring wide = platform::Utf8ToWide(std::string_view(raw, static_cast<size_t>(n)));
    const size_t len = wide.size() < size ? wide.size() : size - 1;
    wide.copy(buffer, len);
    buffer[len] = L'\0';
    return static_cast<DWORD>(len);
}

void OutputDebugStringW(const wchar_t* text) {
    if (!text)
        return;
    std::string line = platform::WideToUtf8(text);
    if (line.empty() || line.back() != '\n')
        line += '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}
