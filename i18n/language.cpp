#include "i18n/language.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "i18n/language_file.h"
#include "platform/path.h"
#include "platform/structured_storage.h"
#include "platform/text.h"
#include "settings/settings.h"

namespace {

const wchar_t* LanguageFileName(UINT codePage) {
    switch (codePage) {
        case 936:
            return L"cn.dat";
        case 950:
            return L"tw.dat";
        default:
            return L"";
    }
}

}  // namespace

std::wstring GetLanguageLocaleName(UINT codePage) {
    switch (codePage) {
        case 936:
            return L"zh_CN";
        case 950:
            return L"zh_TW";
        default:
            return L"";
    }
}

namespace {

void CopyCut(const std::wstring& text, wchar_t* out, DWORD capacity) {
    if (!out || capacity == 0)
        return;
    const size_t count = std::min<size_t>(text.size(), capacity - 1);
    std::copy_n(text.begin(), count, out);
    out[count] = L'\0';
}

// Walks the NUL-terminated "key=value" entries up to the first empty one. Entries without "="
// are skipped; the first entry whose key equals the requested one exactly wins.
bool FindEntry(std::u16string_view units, std::u16string_view key, std::wstring* value) {
    size_t start = 0;
    while (start < units.size() && units[start] != u'\0') {
        const size_t stop = std::min(units.find(u'\0', start), units.size());
        const std::u16string_view entry = units.substr(start, stop - start);
        const size_t equals = entry.find(u'=');
        if (equals != std::u16string_view::npos && entry.substr(0, equals) == key) {
            *value = platform::Utf16ToWide(entry.substr(equals + 1));
            return true;
        }
        start = stop + 1;
    }
    return false;
}

// Reads the section in one call, unscrambles it, terminates it and searches it. A stream that
// fills the whole buffer may go on beyond it, so it is rejected rather than read in part.
bool FindValueInStream(IStream* stream, const std::wstring& key, std::wstring* value) {
    std::vector<BYTE> buffer(kLanguageSectionBufferSize);
    DWORD n = 0;
    if (FAILED(stream->Read(buffer.data(), static_cast<DWORD>(buffer.size()), &n)) || n == 0 ||
        n >= buffer.size())
        return false;
    ToggleLanguageScrambling(buffer.data(), n);
    const size_t unitCount = n / 2;
    std::u16string units(unitCount + 1, u'\0');
    for (size_t i = 0; i < unitCount; ++i)
        units[i] = static_cast<char16_t>(buffer[2 * i] | (buffer[2 * i + 1] << 8));
    return FindEntry(units, platform::WideToUtf16(key), value);
}

bool ReadSectionValue(const std::wstring& section, const std::wstring& key,
                      const std::wstring& path, std::wstring* value) {
    IStorage* storage = nullptr;
    if (FAILED(StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                              &storage)))
        return false;
    bool found = false;
    IStream* stream = nullptr;
    if (SUCCEEDED(storage->OpenStream(section.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                      &stream))) {
        found = FindValueInStream(stream, key, value);
        stream->Release();
    }
    storage->Release();
    return found;
}

}  // namespace

std::wstring GetLanguageFilePath() {
    return GetLanguageFilePath(kLanguageCodePage);
}

std::wstring GetLanguageFilePath(UINT codePage) {
    std::wstring path = GetAppPaths().programDir;
    if (path.empty() || path.back() != platform::kPathSeparator)
        path += platform::kPathSeparator;
    path += L"language";
    path += platform::kPathSeparator;
    return path + LanguageFileName(codePage);
}

bool ReadLanguageValue(const std::wstring& section, const std::wstring& key,
                       const std::wstring& defaultValue, wchar_t* out, DWORD capacity,
                       const std::wstring& path) {
    std::wstring value;
    const bool found = ReadSectionValue(section, key, path, &value);
    CopyCut(found ? value : defaultValue, out, capacity);
    return found;
}

std::wstring GetText(const std::wstring& key) {
    wchar_t buffer[kLanguageValueCapacity] = {};
    ReadLanguageValue(kTextSection, key, L"", buffer, kLanguageValueCapacity,
                      GetLanguageFilePath());
    return buffer;
}
