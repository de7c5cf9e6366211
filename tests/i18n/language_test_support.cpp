#include "tests/i18n/language_test_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "i18n/language.h"

namespace language_test {

std::string RawStream(std::u16string_view units, std::string oddTail) {
    std::string bytes;
    for (char16_t unit : units)
        bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    bytes += oddTail;
    ToggleLanguageScrambling(reinterpret_cast<BYTE*>(bytes.data()), bytes.size());
    return bytes;
}

std::wstring WriteFile(const testing_support::TempDir& dir,
                       const std::vector<LanguageStream>& streams, const std::wstring& name) {
    const std::wstring path = dir.WFile(name);
    return WriteLanguageFile(path, streams) ? path : L"";
}

Lookup Read(const std::wstring& path, const std::wstring& section, const std::wstring& key,
            DWORD capacity) {
    // A sentinel fill shows a missing terminator as a value of `capacity` characters.
    std::wstring out(capacity, L'#');
    const bool found = ReadLanguageValue(section, key, kDefault, out.data(), capacity, path);
    return {found, out.c_str()};
}

StderrCapture::StderrCapture() {
    std::fflush(stderr);
    saved_ = ::dup(2);
    const int fd = ::open(dir_.File("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, 2);
    ::close(fd);
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
