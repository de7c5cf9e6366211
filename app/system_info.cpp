#include "app/system_info.h"

#include <cpuid.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"
#include "settings/settings.h"

namespace {

constexpr size_t kOsNameLimit = 259;
constexpr size_t kUidLength = 16;
constexpr size_t kUidOffset = 8;

// Copies at most length - 1 characters and terminates, like lstrcpynW.
bool CopyTruncated(std::wstring_view text, wchar_t* buffer, size_t length) {
    if (!buffer || length == 0)
        return false;
    const size_t count = std::min(text.size(), length - 1);
    text.copy(buffer, count);
    buffer[count] = L'\0';
    return true;
}

// CPUID leaf 0: the highest basic leaf and the vendor signature, as EAX, EBX, ECX, EDX.
std::string ProcessorPart() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid(0, eax, ebx, ecx, edx);
    char text[33];
    std::snprintf(text, sizeof(text), "%08X%08X%08X%08X", eax, ebx, ecx, edx);
    return text;
}

std::string StorageQuerySerial(const std::vector<std::string>& disks) {
    for (const std::string& disk : disks) {
        std::string serial = platform::ReadSysfsDiskSerial(disk);
        if (!serial.empty())
            return serial;
    }
    return {};
}

std::string AtaIdentifySerial(const std::vector<std::string>& disks) {
    platform::IdentifyWords words{};
    for (const std::string& disk : disks) {
        if (platform::AtaIdentify(disk, words))
            return IdentifySerial(words);
    }
    return {};
}

std::string ScsiInquirySerials(const std::vector<std::string>& disks) {
    std::string serials;
    for (const std::string& disk : disks)
        serials += platform::ScsiUnitSerial(disk);
    return serials;
}

}  // namespace

const wchar_t* WindowsVersionName(DWORD major, DWORD minor) {
    struct Entry {
        DWORD major;
        DWORD minor;
        const wchar_t* name;
    };
    static constexpr Entry kNames[] = {
        {5, 0, L"Windows2000"}, {5, 1, L"WindowsXP"}, {5, 2, L"Windows2003"}, {6, 0, L"Vista"},
        {6, 1, L"Windows7"},    {6, 2, L"Windows8"},  {6, 3, L"Windows8.1"},  {10, 0, L"windows10"},
    };
    for (const Entry& entry : kNames) {
        if (entry.major == major && entry.minor == minor)
            return entry.name;
    }
    return nullptr;
}

bool GetOsName(wchar_t* buffer, size_t length) {
    DWORD major = 0, minor = 0;
    std::wstring name;
    if (platform::GetWindowsVersion(&major, &minor)) {
        if (const wchar_t* known = WindowsVersionName(major, minor))
            name = known;
    } else {
        name = platform::Utf8ToWide(platform::ReadOsPrettyName());
    }
    if (name.empty())
        return false;
    if (name.size() > kOsNameLimit)
        name.resize(kOsNameLimit);
    return CopyTruncated(name, buffer, length);
}

bool IsWow64() {
    return platform::IsSystem64Bit();
}

std::string Md5Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr))
        return {};
    std::string hex;
    char pair[3];
    for (unsigned int i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof(pair), "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

std::string IdentifySerial(const platform::IdentifyWords& words) {
    std::string serial;
    for (size_t i = 10; i <= 19; ++i) {
        serial += static_cast<char>(words[i] >> 8);
        serial += static_cast<char>(words[i] & 0xFF);
    }
    serial.erase(serial.find_last_not_of(' ') + 1);
    return serial;
}

std::string ReadDiskSerial() {
    const std::vector<std::string> disks = platform::ListDisks();
    std::string serial = StorageQuerySerial(disks);
    if (serial.empty())
        serial = AtaIdentifySerial(disks);
    if (serial.empty())
        serial = ScsiInquirySerials(disks);
    return serial;
}

bool ComputeMachineHash(wchar_t* buffer, size_t length) {
    const std::string source = ProcessorPart() + ReadDiskSerial();
    std::string hex = Md5Hex(source);
    if (hex.empty())
        return false;
    std::transform(hex.begin(), hex.end(), hex.begin(), [](char c) { return std::toupper(c); });
    return CopyTruncated(platform::AnsiToWide(hex), buffer, length);
}

std::wstring LoadUid() {
    // One character is kept back so a value that fills the buffer still ends in a NUL.
    wchar_t stored[MAX_PATH] = {};
    DWORD size = sizeof(stored) - sizeof(wchar_t);
    if (SHGetValueW(HKEY_CURRENT_USER, kRegistryKey, L"uid", nullptr, stored, &size) ==
            ERROR_SUCCESS &&
        size > 0) {
        const std::wstring text = stored;
        return text.size() == kUidLength ? text : std::wstring();
    }

    wchar_t machineCode[256] = {};
    if (!ComputeMachineHash(machineCode, std::size(machineCode)))
        return {};
    const std::wstring uid = std::wstring(machineCode).substr(kUidOffset, kUidLength);
    SHSetValueW(HKEY_CURRENT_USER, kRegistryKey, L"uid", REG_SZ, uid.c_str(),
                static_cast<DWORD>(uid.size() * sizeof(wchar_t)));
    return uid;
}
