// Conversions between the program's wide strings and the byte encodings it talks to the outside
// world in. Wide strings hold one code point per wchar_t on Linux and UTF-16 on Windows.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// UTF-8 <-> wide. Malformed input becomes U+FFFD rather than failing: text from files and
// servers must never stop the program.
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);

// The current locale's multibyte encoding, which stands where the thread's ANSI code page
// stood. Characters the locale cannot express become '?' (as WideCharToMultiByte does).
std::string WideToAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);

// UTF-16 code units (as stored in language files and the Windows registry) <-> wide.
std::wstring Utf16ToWide(std::u16string_view text);
std::u16string WideToUtf16(std::wstring_view text);

}  // namespace platform
