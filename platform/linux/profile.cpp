#include "platform/profile.h"

#include <cwchar>
#include <cwctype>
#include <mutex>
#include <optional>
#include <string>

#include "platform/ini_file.h"

namespace {

// Serialises read-modify-write cycles of the threads of this process.
std::mutex& ProfileMutex() {
    static std::mutex m;
    return m;
}

std::optional<std::wstring> ReadValue(const wchar_t* section, const wchar_t* key,
                                      const wchar_t* path) {
    if (!section || !key || !path)
        return std::nullopt;
    std::lock_guard lock(ProfileMutex());
    platform::IniFile ini;
    if (!ini.Load(path))
        return std::nullopt;
    return ini.Get(section, key);
}

// Windows drops one pair of quotes around a value.
std::wstring Unquote(std::wstring v) {
    if (v.size() >= 2 && (v.front() == L'"' || v.front() == L'\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

}  // namespace

UINT GetPrivateProfileIntW(const wchar_t* section, const wchar_t* key, int defaultValue,
                           const wchar_t* path) {
    const auto value = ReadValue(section, key, path);
    if (!value || value->empty())
        return static_cast<UINT>(defaultValue);
    // Like Windows: optional sign, decimal digits up to the first other character, wrapping
    // at 32 bits; no digits read as 0.
    const std::wstring& v = *value;
    size_t i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == L'-' || v[i] == L'+'))
        negative = v[i++] == L'-';
    std::uint32_t n = 0;
    for (; i < v.size() && std::iswdigit(v[i]); ++i)
        n = n * 10u + static_cast<UINT>(v[i] - L'0');
    return negative ? 0u - n : n;
}

DWORD GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key,
                               const wchar_t* defaultValue, wchar_t* buffer, DWORD size,
                               const wchar_t* path) {
    if (!buffer || size == 0)
        return 0;
    const auto value = ReadValue(section, key, path);
    std::wstring text = value ? Unquote(*value) : std::wstring(defaultValue ? defaultValue : L"");
    if (!value) {
        while (!text.empty() && text.back() == L' ')
            text.pop_back();
    }
    const size_t len = text.size() < size ? text.size() : size - 1;
    text.copy(buffer, len);
    buffer[len] = L'\0';
    return static_cast<DWORD>(len);
}

BOOL WritePrivateProfileStringW(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                                const wchar_t* path) {
    if (!section || !path)
        return FALSE;
    // A line break would end the line early and let the rest pose as lines of its own (a folder
    // name may hold one); such text cannot be stored in an INI file.
    for (const wchar_t* text : {section, key, value}) {
        if (text && std::wcspbrk(text, L"\r\n"))
            return FALSE;
    }
    std::lock_guard lock(ProfileMutex());
    platform::IniFile ini;
    ini.Load(path);
    if (!key)
        ini.DeleteSection(section);
    else if (!value)
        ini.DeleteKey(section, key);
    else
        ini.Set(section, key, value);
    return ini.Save(path) ? TRUE : FALSE;
}
