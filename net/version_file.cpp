#include "net/version_file.h"

#include "platform/text.h"

namespace {

constexpr const wchar_t* kVersionPrefix = L"version=";
constexpr size_t kVersionPrefixLength = 8;

}  // namespace

VersionFile ParseVersionFile(std::wstring text) {
    std::erase_if(text, [](wchar_t c) { return c == L'\n' || c == L'\t'; });
    if (text.compare(0, kVersionPrefixLength, kVersionPrefix) != 0)
        return {};
    return {true, text.substr(kVersionPrefixLength)};
}

bool IsNewerVersion(const std::wstring& remote, const std::wstring& installed) {
    return platform::WideToUtf16(remote) > platform::WideToUtf16(installed);
}
