#include "platform/atomic_file.h"

#include "platform/win32/file_handle.h"

namespace platform {
namespace {

// A new file beside the target whose name nobody else holds.
std::wstring CreateTemporaryBeside(const std::wstring& target, FileHandle& file) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::wstring temp = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(GetTickCount() + attempt) + L".tmp";
        file.Reset(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.IsValid())
            return temp;
        if (GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    return {};
}

}  // namespace

bool WriteFileAtomically(const std::wstring& path, const std::string& bytes) {
    FileHandle file;
    const std::wstring temp = CreateTemporaryBeside(path, file);
    if (temp.empty())
        return false;
    const bool written =
        WriteAll(file.get(), bytes.data(), bytes.size()) && FlushFileBuffers(file.get());
    file.Close();
    if (!written || !MoveFileExW(temp.c_str(), path.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace platform
