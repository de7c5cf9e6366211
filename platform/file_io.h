// Reading a file's size or its bytes, writing a file that must stay private to the user, and moving
// it into place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win_types.h"

#ifndef _WIN32
// File-creation dispositions, with the values the Win32 calls take.
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;

inline constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;

// Renames a file. Without MOVEFILE_REPLACE_EXISTING an existing target makes it fail.
BOOL MoveFileExW(const wchar_t* existing, const wchar_t* newName, DWORD flags);
#endif

namespace platform {

// Opens the file for reading (CreateFileW with GENERIC_READ, OPEN_EXISTING) and reads its size
// (GetFileSize); false when either fails. A pipe or device does not block the call.
bool ReadFileSize(const std::wstring& path, std::uint64_t* size);

// Whether both paths name the same file (the same device and inode), however each is spelled;
// two paths of which either does not exist are the same only when they are spelled alike.
bool IsSameFile(const std::wstring& a, const std::wstring& b);

// Reads a whole regular file of at most maxBytes into bytes; false when it is missing, not a
// regular file, larger, or cannot be read.
bool ReadWholeFile(const std::wstring& path, std::uint64_t maxBytes, std::string* bytes);

// A file opened for writing only. A file it creates is readable and writable by its owner alone
// (mode 0600): downloads land here and may later be started as programs.
class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens or creates the file as the disposition says; false when that is not possible.
    bool Create(const std::wstring& path, DWORD disposition);
    bool IsOpen() const;
    // Writes all bytes or reports failure.
    bool Write(const void* data, size_t size);
    void Close();

  private:
#ifdef _WIN32
    HANDLE file_ = INVALID_HANDLE_VALUE;
#else
    int fd_ = -1;
#endif
};

}  // namespace platform
