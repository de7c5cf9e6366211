#include "platform/path.h"

#include <vector>

#include "platform/win32/file_handle.h"

namespace platform {
std::filesystem::path NativePath(const std::wstring& path) {
    return std::filesystem::path(path);
}

std::wstring FullPath(const std::wstring& path) {
    if (path.empty() || !PathIsRelativeW(path.c_str()))
        return path;
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::vector<wchar_t> buffer(size);
    const DWORD length = GetFullPathNameW(path.c_str(), size, buffer.data(), nullptr);
    return length == 0 || length >= size ? path : std::wstring(buffer.data(), length);
}

NewFileResult CreateNewFile(const std::wstring& path) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.IsValid())
        return NewFileResult::Created;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? NewFileResult::Exists
                                                                       : NewFileResult::Failed;
}

BOOL CreatePrivateDirectory(const std::wstring& path) {
    // The folders the program makes live in the user's own profile, whose ACL already keeps
    // everyone else out and passes that on.
    return CreateDirectoryW(path.c_str(), nullptr);
}

std::wstring CreateTempFolder(const std::wstring& prefix) {
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH)
        return {};
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::wstring folder = std::wstring(temp) + prefix + L"-" +
                                    std::to_wstring(GetCurrentProcessId()) + L"-" +
                                    std::to_wstring(GetTickCount() + attempt);
        if (CreatePrivateDirectory(folder))
            return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    return {};
}

bool IsWritableFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    // Access rights on Windows are a matter of the folder's ACL; creating a file is the one
    // reliable answer. The probe deletes itself when closed.
    std::wstring probe = path;
    if (!probe.empty() && probe.back() != L'\\' && probe.back() != L'/')
        probe += L'\\';
    probe += L"~brindle-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(GetTickCount()) + L".tmp";
    FileHandle file(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return file.IsValid();
}

bool IsRegularFile(const std::wstring& path) {
    // No access rights: this only asks what the name is, and never blocks on a pipe.
    FileHandle file(CreateFileW(path.c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    return file.IsValid() && GetFileType(file.get()) == FILE_TYPE_DISK &&
           GetFileInformationByHandle(file.get(), &info) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace platform
