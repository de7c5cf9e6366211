#include <cwctype>
#include <string>

#include "platform/path.h"
#include "platform/registry.h"
#include "settings/settings.h"

namespace {

// A REG_SZ value read into a 260-character buffer; nullopt-like empty flag through found.
std::wstring ReadText(HKEY hive, const wchar_t* value, bool* found) {
    wchar_t buffer[MAX_PATH] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    const bool ok = SHGetValueW(hive, kRegistryKey, value, nullptr, buffer, &size) == ERROR_SUCCESS;
    if (found)
        *found = ok;
    return ok ? std::wstring(buffer) : std::wstring();
}

// Leading decimal number as a signed 64-bit value: white space and one sign skipped, digits up
// to the first other character, none giving 0.
long long LeadingNumber(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+'))
        negative = text[i++] == L'-';
    unsigned long long n = 0;
    for (; i < text.size() && std::iswdigit(text[i]); ++i) {
        n = n * 10 + static_cast<unsigned>(text[i] - L'0');
        if (n > 0x7FFFFFFFFFFFFFFFull)
            return negative ? -0x7FFFFFFFFFFFFFFFll : 0x7FFFFFFFFFFFFFFFll;
    }
    return negative ? -static_cast<long long>(n) : static_cast<long long>(n);
}

}  // namespace

std::wstring ResolveAdId(bool deriveFromInstaller) {
    bool found = false;
    std::wstring adId = ReadText(HKEY_CURRENT_USER, L"AdId", &found);
    if (found)
        return adId;
    if (!deriveFromInstaller)
        return {};

    std::wstring installer = ReadText(HKEY_LOCAL_MACHINE, L"InstallerName", &found);
    if (!found)
        return {};
    PathRemoveExtensionW(installer.data());
    const std::wstring name = PathFindFileNameW(installer.c_str());

    size_t mark = name.find(L'_');
    if (mark == std::wstring::npos)
        mark = name.find(L'-');
    if (mark == std::wstring::npos)
        return {};
    const std::wstring candidate = name.substr(mark + 1);
    if (candidate.empty() || LeadingNumber(candidate) <= 0)
        return {};
    SHSetValueW(HKEY_CURRENT_USER, kRegistryKey, L"AdId", REG_SZ, candidate.c_str(),
                static_cast<DWORD>(candidate.size() * sizeof(wchar_t)));
    return candidate;
}

std::wstring GetInstalledVersion() {
    return ReadText(HKEY_LOCAL_MACHINE, L"Version", nullptr);
}

bool HasInstallReportMarker() {
    return SHGetValueW(HKEY_CURRENT_USER, kRegistryKey, L"SendInstallMessage", nullptr, nullptr,
                       nullptr) == ERROR_SUCCESS;
}

void ClearInstallReportMarker() {
    SHDeleteValueW(HKEY_CURRENT_USER, kRegistryKey, L"SendInstallMessage");
}
