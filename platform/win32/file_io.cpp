#include "platform/file_io.h"

#include "platform/win32/file_handle.h"

namespace platform {

bool WriteAll(HANDLE file, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr) || written == 0)
            return false;
        bytes += written;
        size -= written;
    }
    return true;
}

bool ReadFileSize(const std::wstring& path, std::uint64_t* size) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER bytes;
    // A pipe or a device has no size to read, and reading one could block.
    if (!file.IsValid() || GetFileType(file.get()) != FILE_TYPE_DISK ||
        !GetFileSizeEx(file.get(), &bytes))
        return false;
    *size = static_cast<std::uint64_t>(bytes.QuadPart);
    return true;
}

bool IsSameFile(const std::wstring& a, const std::wstring& b) {
    // No access rights: only the file's identity is asked for.
    const auto open = [](const std::wstring& path) {
        return CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    };
    FileHandle first(open(a)), second(open(b));
    BY_HANDLE_FILE_INFORMATION one, two;
    if (!first.IsValid() || !second.IsValid() || !GetFileInformationByHandle(first.get(), &one) ||
        !GetFileInformationByHandle(second.get(), &two))
        return a == b;
    return one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
           one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
}

bool ReadWholeFile(const std::wstring& path, std::uint64_t maxBytes, std::string* bytes) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.IsValid() || GetFileType(file.get()) != FILE_TYPE_DISK ||
        !GetFileSizeEx(file.get(), &size) || static_cast<std::uint64_t>(size.QuadPart) > maxBytes)
        return false;
    std::string data(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!data.empty() &&
        (!ReadFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &got, nullptr) ||
         got != data.size()))
        return false;
    *bytes = std::move(data);
    return true;
}

OutputFile::~OutputFile() {
    Close();
}

bool OutputFile::IsOpen() const {
    return file_ != INVALID_HANDLE_VALUE;
}

bool OutputFile::Create(const std::wstring& path, DWORD disposition) {
    Close();
    // The file is private to the user through the ACL its folder (the user's profile) passes on.
    file_ = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
    return IsOpen();
}

bool OutputFile::Write(const void* data, size_t size) {
    return IsOpen() && WriteAll(file_, data, size);
}

void OutputFile::Close() {
    if (IsOpen())
        CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}

}  // namespace platform
