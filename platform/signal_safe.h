// Helpers for code that runs inside a fatal-signal handler (on Windows, inside the unhandled-
// exception filter): no allocation, no locks, no stdio.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace platform {

// Copies format into out, each "%x" replaced by the next value in lower-case hexadecimal.
// Truncates to size - 1 bytes; out is always terminated.
void FormatHex(char* out, std::size_t size, const char* format,
               std::initializer_list<std::uint64_t> values);

// Appends text (wide, encoded as UTF-8, the file system's encoding) to the terminated string in
// out. False, leaving out unchanged, when the result would not fit in size bytes.
bool AppendUtf8(char* out, std::size_t size, const wchar_t* text);

// This process's memory through process_vm_readv/writev (ReadProcessMemory/WriteProcessMemory
// on Windows): an unmapped or protected address fails instead of faulting.
bool ReadOwnMemory(std::uint64_t address, void* out, std::size_t size);
bool WriteOwnMemory(std::uint64_t address, const void* data, std::size_t size);

// Creates the file afresh for writing, readable by its owner only; -1 on failure. Whatever
// stood at the path is removed first, and a link planted there again in between makes the
// creation fail: the file is never written through a link into another one. The path is UTF-8;
// on Windows the number stands for the file's handle, and the user's profile keeps it private.
int CreatePrivateFileAlways(const char* nativePath);
void CloseFile(int file);

// The system message box of a crashed process: with a display, the brindle-message-box helper
// beside the executable shows it (Qt must not run in the crashed process) and this waits until
// the user closed it; without a display, or when the helper cannot run, one line
// "caption: text" on standard error. On Windows the system's own message box, after the same
// line on standard error.
void CrashMessageBox(const char* text, const char* caption);

}  // namespace platform
