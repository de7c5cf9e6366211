#include "i18n/language_file.h"

#include "platform/structured_storage.h"
#include "platform/text.h"

namespace {

constexpr WORD kScrambleKey = 0x71D4;

void AppendUnit(std::string& out, char16_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

bool WriteStream(IStorage* storage, const LanguageStream& section) {
    IStream* stream = nullptr;
    if (FAILED(storage->CreateStream(
            section.name.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream)))
        return false;
    DWORD written = 0;
    const HRESULT hr =
        stream->Write(section.bytes.data(), static_cast<DWORD>(section.bytes.size()), &written);
    stream->Release();
    return SUCCEEDED(hr) && written == section.bytes.size();
}

}  // namespace

void ToggleLanguageScrambling(BYTE* data, size_t n) {
    for (size_t offset = 0; offset + 4 < n; offset += 4) {
        data[offset] ^= kScrambleKey & 0xFF;
        data[offset + 1] ^= kScrambleKey >> 8;
    }
}

std::string EncodeLanguageSection(const std::vector<LanguageEntry>& entries) {
    std::string bytes;
    for (const auto& [key, value] : entries) {
        for (char16_t unit : platform::WideToUtf16(key + L"=" + value))
            AppendUnit(bytes, unit);
        AppendUnit(bytes, u'\0');
    }
    AppendUnit(bytes, u'\0');
    ToggleLanguageScrambling(reinterpret_cast<BYTE*>(bytes.data()), bytes.size());
    return bytes;
}

bool WriteLanguageFile(const std::wstring& path, const std::vector<LanguageStream>& streams) {
    IStorage* storage = nullptr;
    if (FAILED(StgCreateDocfile(path.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0,
                                &storage)))
        return false;
    bool ok = true;
    for (const LanguageStream& stream : streams)
        ok = ok && WriteStream(storage, stream);
    ok = ok && SUCCEEDED(storage->Commit(STGC_DEFAULT));
    storage->Release();
    return ok;
}
