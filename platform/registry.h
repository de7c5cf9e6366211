// Registry values through the shell's light-weight helpers: the real registry on Windows. On
// Linux each hive is one file: the current user's in the XDG configuration home, the machine's
// beside the installed program (written by the installer). Keys and value names compare without
// regard to case.
#pragma once

#include <string>

#include "platform/win_types.h"

#ifdef _WIN32
#include <shlwapi.h>
#else
struct HKEY__;
using HKEY = HKEY__*;

inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002});

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

// REG_SZ data are wchar_t units; sizes are in bytes. With data null, *size receives the size.
// A buffer too small gives ERROR_MORE_DATA and the needed size.
LSTATUS SHGetValueW(HKEY hive, const wchar_t* subKey, const wchar_t* value, DWORD* type, void* data,
                    DWORD* size);
LSTATUS SHSetValueW(HKEY hive, const wchar_t* subKey, const wchar_t* value, DWORD type,
                    const void* data, DWORD size);
LSTATUS SHDeleteValueW(HKEY hive, const wchar_t* subKey, const wchar_t* value);

namespace platform {
// The file behind a hive: BRINDLE_USER_REGISTRY / BRINDLE_MACHINE_REGISTRY when set (tests),
// else <config home>/brindle.reg and <program folder>/../etc/brindle/machine.reg.
std::wstring HiveFile(HKEY hive);
}  // namespace platform
#endif
