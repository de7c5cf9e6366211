// The INI functions on any file: reads give the value or the default, terminated within the
// buffer; a write reads back as written and leaves every other key of the file as it was.
// Input: section, key, value, other key, then the file (fields split at NUL bytes, so only the
// file can hold them).
#include <cwctype>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/ini_file.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace {

const wchar_t kDefault[] = L"<default>";

std::wstring Read(const std::wstring& section, const std::wstring& key, const std::wstring& path,
                  DWORD capacity = 260) {
    std::wstring buffer(capacity + 1, L'#');
    const DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), kDefault, buffer.data(),
                                             capacity, path.c_str());
    fuzz::Check(n < capacity && buffer[n] == L'\0' && buffer[capacity] == L'#',
                "a profile string is not terminated within its buffer");
    return buffer.c_str();
}

// Names and values that an INI line carries unchanged: no line breaks, none of the characters
// that end a section name or a key, no space at either end, no quotes around them, nothing that
// starts a section header.
bool Plain(const std::wstring& text, const wchar_t* forbidden) {
    return !text.empty() && text.find_first_of(forbidden) == std::wstring::npos &&
           !std::iswspace(text.front()) && !std::iswspace(text.back()) && text.front() != L'"' &&
           text.front() != L'\'' && text.front() != L'[';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto fields = fuzz::SplitFields(data, size, 5);
    const std::wstring section = platform::Utf8ToWide(fields[0]);
    const std::wstring key = platform::Utf8ToWide(fields[1]);
    const std::wstring value = platform::Utf8ToWide(fields[2]);
    const std::wstring other = platform::Utf8ToWide(fields[3]);
    const std::wstring path = fuzz::WriteScratch("fuzz.ini", fields[4]);

    for (DWORD capacity : {1u, 2u, 8u, 260u})
        Read(section, key, path, capacity);
    GetPrivateProfileIntW(section.c_str(), key.c_str(), 7, path.c_str());

    const std::wstring otherBefore = Read(section, other, path);
    const bool written =
        WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path.c_str());
    if (!Plain(section, L"[]\r\n") || !Plain(key, L"=\r\n") || !Plain(value, L"\r\n"))
        return 0;
    fuzz::Check(written, "a plain value could not be written");
    const auto room = static_cast<DWORD>(value.size() + 2);
    fuzz::Check(Read(section, key, path, room) == value, "a written value does not read back");
    if (!other.empty() && !platform::EqualsNoCase(other, key))
        fuzz::Check(Read(section, other, path) == otherBefore, "a write changed another key");

    WritePrivateProfileStringW(section.c_str(), key.c_str(), nullptr, path.c_str());
    fuzz::Check(Read(section, key, path) == kDefault, "a deleted key still reads");
    return 0;
}
