// A Win32 file handle that closes itself.
#pragma once

#include "platform/win_types.h"

namespace platform {

class FileHandle {
  public:
    explicit FileHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }
    void Close() { Reset(INVALID_HANDLE_VALUE); }
    void Reset(HANDLE handle) {
        if (IsValid())
            CloseHandle(handle_);
        handle_ = handle;
    }

  private:
    HANDLE handle_;
};

// Writes all bytes to the file; false when any write fails.
bool WriteAll(HANDLE file, const void* data, size_t size);

}  // namespace platform
