// The language-file reader on any file: a lookup gives the value or the default, cut to the
// buffer and terminated within it, and prints nothing. The first byte chooses what the rest is:
// even, a whole file; odd, the bytes of the "Text" stream of a well-formed file, so that the
// mutations reach the entries behind the compound-file layer.
#include <string>

#include "fuzz/fuzz_support.h"
#include "i18n/language.h"
#include "i18n/language_file.h"
#include "platform/text.h"

namespace {

const std::wstring kDefault = L"<default>";

void Lookup(const std::wstring& path, const std::wstring& section, const std::wstring& key) {
    for (DWORD capacity : {1u, 2u, 260u}) {
        std::wstring out(capacity + 1, L'#');
        const bool found = ReadLanguageValue(section, key, kDefault, out.data(), capacity, path);
        const size_t length = std::wstring(out.c_str()).size();
        fuzz::Check(length < capacity && out[capacity] == L'#',
                    "a language value is not terminated within its buffer");
        fuzz::Check(found || out.c_str() == kDefault.substr(0, capacity - 1),
                    "a missing value does not give the default");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::wstring path;
    if (data[0] % 2 == 0) {
        path = fuzz::WriteScratch("fuzz.dat", rest);
    } else {
        path = platform::Utf8ToWide(fuzz::Home() + "/fuzz-stream.dat");
        const std::string message = EncodeLanguageSection({{L"Title", L"提示"}});
        if (!WriteLanguageFile(path, {{L"Text", std::string(rest)}, {L"Message", message}}))
            return 0;
    }
    Lookup(path, L"Text", L"Key1");
    Lookup(path, L"Text", L"SizeBytes");
    Lookup(path, L"Message", L"Title");
    Lookup(path, L"Missing", L"Title");
    return 0;
}
