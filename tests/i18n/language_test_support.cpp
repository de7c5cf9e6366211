#include "tests/i18n/language_test_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "i18n/language.h"

namespace language_test {

std::string Utf16Le(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string Scrambled(std::string plain) {
    ToggleLanguageScrambling(reinterpret_cast<BYTE*>(plain.data()), plain.size());
    return plain;
}

std::wstring WriteFile(const testing_support::TempDir& dir,
                       const std::vector<LanguageStream>& streams, const std::wstring& name) {
    const std::wstring path = dir.WFile(name);
    if (!WriteLanguageFile(path, streams))
        return {};
    return path;
}

Lookup Read(const std::wstring& path, const std::wstring& section, const std::wstring& key,
            DWORD capacity) {
    // Filled with a sentinel so a missing terminator shows as a value of `capacity` characters.
    std::vector<wchar_t> out(capacity + 1, L'#');
    out[capacity] = L'\0';
    const bool found = ReadLanguageValue(section, key, kDefault, out.data(), capacity, path);
    return {found, out.data()};
}

StderrCapture::StderrCapture() {
    std::fflush(stderr);
    saved_ = ::dup(2);
    const int fd = ::open(dir_.File("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, 2);
    ::close(fd);
}

StderrCapture::~StderrCapture() {
    Finish();
}

std::string StderrCapture::Finish() {
    if (saved_ < 0)
        return {};
    std::fflush(stderr);
    ::dup2(saved_, 2);
    ::close(saved_);
    saved_ = -1;
    return testing_support::ReadFile(dir_.File("stderr"));
}

}  // namespace language_test
