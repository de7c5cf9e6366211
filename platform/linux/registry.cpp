#include "platform/registry.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/ini_file.h"
#include "platform/path.h"
#include "platform/shell_folders.h"
#include "platform/text.h"

namespace platform {
namespace {

std::mutex& RegistryMutex() {
    static std::mutex m;
    return m;
}

struct Value {
    DWORD type = REG_NONE;
    std::vector<unsigned char> bytes;
};

// Text data that the sz form carries exactly: whole characters that UTF-8 can hold.
bool IsStorableText(const unsigned char* data, DWORD size) {
    if (size % sizeof(wchar_t) != 0)
        return false;
    for (DWORD i = 0; i < size; i += sizeof(wchar_t)) {
        std::uint32_t c;
        std::memcpy(&c, data + i, sizeof(c));
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
    }
    return true;
}

// Stored text forms: sz:"escaped text", dword:<decimal>, hex(<type>):<bytes in hex>. Text that
// the sz form cannot carry exactly is stored in the hex form with its type.
std::wstring Encode(DWORD type, const unsigned char* data, DWORD size) {
    if (type == REG_SZ && IsStorableText(data, size)) {
        std::wstring text(size / sizeof(wchar_t), L'\0');
        if (!text.empty())
            std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
        std::wstring out = L"sz:\"";
        for (wchar_t c : text) {
            if (c == L'\\' || c == L'"') {
                out += L'\\';
                out += c;
            } else if (c < 0x20) {
                static const wchar_t* digits = L"0123456789abcdef";
                out += L"\\x";
                out += digits[(c >> 4) & 0xF];
                out += digits[c & 0xF];
            } else {
                out += c;
            }
        }
        return out + L"\"";
    }
    if (type == REG_DWORD && size == 4) {
        DWORD v;
        std::memcpy(&v, data, 4);
        return L"dword:" + std::to_wstring(v);
    }
    static const wchar_t* digits = L"0123456789abcdef";
    std::wstring out = L"hex(" + std::to_wstring(type) + L"):";
    for (DWORD i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 0xF];
    }
    return out;
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

std::optional<Value> Decode(const std::wstring& s) {
    Value v;
    if (s.rfind(L"sz:\"", 0) == 0 && s.size() >= 5 && s.back() == L'"') {
        std::wstring text;
        for (size_t i = 4; i + 1 < s.size(); ++i) {
            if (s[i] != L'\\' || i + 2 >= s.size()) {
                text += s[i];
            } else if (s[i + 1] == L'x') {
                // Two hex digits, or the value is damaged.
                const int hi = i + 3 < s.size() ? HexDigit(s[i + 2]) : -1;
                const int lo = i + 3 < s.size() ? HexDigit(s[i + 3]) : -1;
                if (hi < 0 || lo < 0)
                    return std::nullopt;
                text += static_cast<wchar_t>(hi * 16 + lo);
                i += 3;
            } else {
                text += s[++i];
            }
        }
        v.type = REG_SZ;
        v.bytes.resize(text.size() * sizeof(wchar_t));
        if (!text.empty())
            std::memcpy(v.bytes.data(), text.data(), v.bytes.size());
        return v;
    }
    if (s.rfind(L"dword:", 0) == 0) {
        const DWORD n = static_cast<DWORD>(std::wcstoul(s.c_str() + 6, nullptr, 10));
        v.type = REG_DWORD;
        v.bytes.resize(4);
        std::memcpy(v.bytes.data(), &n, 4);
        return v;
    }
    if (s.rfind(L"hex(", 0) == 0) {
        const size_t close = s.find(L"):");
        if (close == std::wstring::npos)
            return std::nullopt;
        v.type = static_cast<DWORD>(std::wcstoul(s.c_str() + 4, nullptr, 10));
        for (size_t i = close + 2; i + 1 < s.size(); i += 2) {
            const int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            v.bytes.push_back(static_cast<unsigned char>(hi * 16 + lo));
        }
        return v;
    }
    return std::nullopt;
}

// The user's hive may be the first file in a fresh configuration home.
void CreateParentFolders(const std::wstring& file) {
    for (size_t i = 1; (i = file.find(L'/', i)) != std::wstring::npos; ++i)
        CreateDirectoryW(file.substr(0, i).c_str(), nullptr);
}

std::wstring EnvPath(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? Utf8ToWide(v) : std::wstring();
}

}  // namespace

std::wstring HiveFile(HKEY hive) {
    if (hive == HKEY_CURRENT_USER) {
        std::wstring path = EnvPath("BRINDLE_USER_REGISTRY");
        if (!path.empty())
            return path;
        const std::wstring config = ConfigHome();
        return config.empty() ? std::wstring() : config + L"/brindle.reg";
    }
    if (hive == HKEY_LOCAL_MACHINE) {
        std::wstring path = EnvPath("BRINDLE_MACHINE_REGISTRY");
        if (!path.empty())
            return path;
        wchar_t exe[4096];
        if (GetModuleFileNameW(nullptr, exe, 4096) == 0)
            return {};
        PathRemoveFileSpecW(exe);
        return std::wstring(exe) + L"/../etc/brindle/machine.reg";
    }
    return {};
}

}  // namespace platform

LSTATUS SHGetValueW(HKEY hive, const wchar_t* subKey, const wchar_t* value, DWORD* type, void* data,
                    DWORD* size) {
    if (!subKey || !value)
        return ERROR_INVALID_PARAMETER;
    const std::wstring file = platform::HiveFile(hive);
    std::optional<std::wstring> stored;
    {
        std::lock_guard lock(platform::RegistryMutex());
        platform::IniFile ini;
        if (file.empty() || !ini.Load(file))
            return ERROR_FILE_NOT_FOUND;
        stored = ini.Get(subKey, value);
    }
    const auto v = stored ? platform::Decode(*stored) : std::nullopt;
    if (!v)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = v->type;
    const DWORD needed = static_cast<DWORD>(v->bytes.size());
    if (!data) {
        if (size)
            *size = needed;
        return ERROR_SUCCESS;
    }
    if (!size)
        return ERROR_INVALID_PARAMETER;
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (needed)
        std::memcpy(data, v->bytes.data(), needed);
    // Like the shell helper: a string is terminated when the buffer has room for it.
    if (v->type == REG_SZ && *size >= needed + sizeof(wchar_t))
        std::memset(static_cast<unsigned char*>(data) + needed, 0, sizeof(wchar_t));
    *size = needed;
    return ERROR_SUCCESS;
}

LSTATUS SHSetValueW(HKEY hive, const wchar_t* subKey, const wchar_t* value, DWORD type,
                    const void* data, DWORD size) {
    if (!subKey || !value || (!data && size))
        return ERROR_INVALID_PARAMETER;
    if (type == REG_DWORD && size != 4)
        return ERROR_INVALID_PARAMETER;
    // A name the file cannot hold would be stored under another name, or spill into lines of
    // its own that pose as other values.
    if (!platform::IniFile::CanStore(subKey, value))
        return ERROR_INVALID_PARAMETER;
    const std::wstring file = platform::HiveFile(hive);
    if (file.empty())
        return ERROR_ACCESS_DENIED;
    std::lock_guard lock(platform::RegistryMutex());
    platform::IniFile ini;
    if (!ini.Load(file))
        platform::CreateParentFolders(file);
    ini.Set(subKey, value, platform::Encode(type, static_cast<const unsigned char*>(data), size));
    return ini.Save(file) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LSTATUS SHDeleteValueW(HKEY hive, const wchar_t* subKey, const wchar_t* value) {
    if (!subKey || !value)
        return ERROR_INVALID_PARAMETER;
    const std::wstring file = platform::HiveFile(hive);
    std::lock_guard lock(platform::RegistryMutex());
    platform::IniFile ini;
    if (file.empty() || !ini.Load(file) || !ini.Get(subKey, value))
        return ERROR_FILE_NOT_FOUND;
    ini.DeleteKey(subKey, value);
    return ini.Save(file) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}
