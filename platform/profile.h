// The Win32 profile (INI file) functions. On Windows they are the system's own; on Linux files
// are UTF-8, the file is created at the first write (its folder is not) and every write
// rewrites it atomically.
#pragma once

#include "platform/win_types.h"

#ifndef _WIN32
UINT GetPrivateProfileIntW(const wchar_t* section, const wchar_t* key, int defaultValue,
                           const wchar_t* path);
// Copies the value (or the default) into buffer, cut to size - 1 characters; returns the
// number of characters copied.
DWORD GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key,
                               const wchar_t* defaultValue, wchar_t* buffer, DWORD size,
                               const wchar_t* path);
// A null value deletes the key; a null key deletes the section.
BOOL WritePrivateProfileStringW(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                                const wchar_t* path);
#endif
