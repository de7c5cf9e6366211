// Language tables: every text the program composes at run time is looked up by key in a
// language file beside the executable. Nothing is cached; each lookup opens the file, reads one
// section and closes it again, so lookups share no state and run on any thread.
#pragma once

#include <string>

#include "platform/win_types.h"

// Chooses the language file at build time: 936 (Simplified Chinese) gives "cn.dat", 950
// (Traditional Chinese) gives "tw.dat"; any other value gives no file, so every lookup yields
// its default.
inline constexpr UINT kLanguageCodePage = 936;

inline constexpr const wchar_t* kTextSection = L"Text";
inline constexpr const wchar_t* kMessageSection = L"Message";
// Characters of the lookup buffers, terminator included: values are cut to 259 characters.
inline constexpr DWORD kLanguageValueCapacity = 260;

// The locale of a code page's language, "zh_CN" for 936 and "zh_TW" for 950, empty for any
// other: the dialogs the windowing library draws itself speak the program's language.
std::wstring GetLanguageLocaleName(UINT codePage = kLanguageCodePage);

// programDir, "/language/" and the file name of kLanguageCodePage.
std::wstring GetLanguageFilePath();
// The same for another code page; an unknown one gives the folder alone.
std::wstring GetLanguageFilePath(UINT codePage);

// Looks key up in the section of the language file at path. On a match the value is copied to
// out and true returned; otherwise (missing file, section or key, damaged file) the default is
// copied and false returned. Either is cut to capacity - 1 characters and NUL-terminated.
bool ReadLanguageValue(const std::wstring& section, const std::wstring& key,
                       const std::wstring& defaultValue, wchar_t* out, DWORD capacity,
                       const std::wstring& path);

// The key's value in section "Text" of the program's language file; empty when missing.
std::wstring GetText(const std::wstring& key);
