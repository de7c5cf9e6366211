// File-system path helpers with the Win32 shell's names and semantics. Windows has them in
// shlwapi; on Linux paths are '/'-separated and reach the file system as UTF-8.
#pragma once

#include <filesystem>
#include <string>

#include "platform/win_types.h"

#ifdef _WIN32
#include <shlwapi.h>
#endif

namespace platform {
#ifdef _WIN32
inline constexpr wchar_t kPathSeparator = L'\\';
#else
inline constexpr wchar_t kPathSeparator = L'/';
#endif
// A wide path as the file system's own calls and the standard library's streams take it.
std::filesystem::path NativePath(const std::wstring& path);
// The path made absolute against the current folder (GetFullPathNameW); an absolute path and an
// empty one come back unchanged.
std::wstring FullPath(const std::wstring& path);

enum class NewFileResult { Created, Exists, Failed };
// Creates an empty file that must not exist yet (CreateFileW with CREATE_NEW): a name claimed
// this way cannot be taken by anyone else, and nothing that exists is followed or replaced.
// With permissionsOf, the new file is open to no one the named file is not open to: a copy
// made of a private document stays private.
NewFileResult CreateNewFile(const std::wstring& path, const std::wstring& permissionsOf = {});
// Creates one folder (no parents) that only its owner may enter, as CreateDirectoryW does with
// a security descriptor granting the owner alone.
BOOL CreatePrivateDirectory(const std::wstring& path);
// True when the folder exists and this process may create files in it.
bool IsWritableFolder(const std::wstring& path);
// True for a regular file (after links): reading a pipe or a device named like a document would
// block or never end.
bool IsRegularFile(const std::wstring& path);
// Creates a new folder that only this user may enter, in the temporary folder ($TMPDIR or
// /tmp), named after prefix; empty when none could be made.
std::wstring CreateTempFolder(const std::wstring& prefix);
}  // namespace platform

#ifndef _WIN32
// True when a file or folder exists at the path.
BOOL PathFileExistsW(const wchar_t* path);
// Removes the last component (and the separator before it, except at the root). TRUE when
// something was removed.
BOOL PathRemoveFileSpecW(wchar_t* path);
// The last component of the path (a pointer into it).
const wchar_t* PathFindFileNameW(const wchar_t* path);
// The extension of the last component, from its last '.', or the terminating NUL when none.
const wchar_t* PathFindExtensionW(const wchar_t* path);
// Removes the extension of the last component in place.
void PathRemoveExtensionW(wchar_t* path);
// Creates one folder (no parents). The security argument of the Win32 call has no counterpart.
BOOL CreateDirectoryW(const wchar_t* path, void* securityAttributes);
BOOL DeleteFileW(const wchar_t* path);
// The running executable's full path, truncated to size - 1 characters; returns its length.
DWORD GetModuleFileNameW(void* module, wchar_t* buffer, DWORD size);
// One diagnostic line on standard error; the program writes no log file.
void OutputDebugStringW(const wchar_t* text);
#endif
