// The "ANSI" conversions through the C library's current locale.
#include <climits>
#include <cwchar>

#include "platform/text.h"

namespace platform {

std::string WideToAnsi(std::wstring_view text) {
    std::string out;
    std::mbstate_t state{};
    char buf[MB_LEN_MAX];
    for (wchar_t c : text) {
        const size_t n = std::wcrtomb(buf, c, &state);
        if (n == static_cast<size_t>(-1)) {
            state = std::mbstate_t{};
            out += '?';
        } else {
            out.append(buf, n);
        }
    }
    return out;
}

std::wstring AnsiToWide(std::string_view text) {
    std::wstring out;
    std::mbstate_t state{};
    size_t i = 0;
    while (i < text.size()) {
        wchar_t c = 0;
        const size_t n = std::mbrtowc(&c, text.data() + i, text.size() - i, &state);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
            state = std::mbstate_t{};
            out += L'\xFFFD';
            ++i;
        } else if (n == 0) {
            out += L'\0';
            ++i;
        } else {
            out += c;
            i += n;
        }
    }
    return out;
}

}  // namespace platform
