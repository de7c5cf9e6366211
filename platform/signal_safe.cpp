#include "platform/signal_safe.h"

#include <cstring>

namespace platform {
namespace {

// Writes the value in lower-case hexadecimal at out[*used], keeping one byte for the NUL.
void AppendHex(char* out, std::size_t size, std::size_t* used, std::uint64_t value) {
    char digits[16];
    int count = 0;
    do {
        digits[count++] = "0123456789abcdef"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    while (count > 0 && *used + 1 < size)
        out[(*used)++] = digits[--count];
}

std::size_t Utf8Length(char32_t c) {
    if (c < 0x80)
        return 1;
    if (c < 0x800)
        return 2;
    if (c < 0x10000)
        return 3;
    return 4;
}

char* EncodeUtf8(char32_t c, char* out) {
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// The code point at *p, moving p past it: a UTF-16 pair where wchar_t holds UTF-16 (Windows).
// Lone surrogates and values beyond Unicode become U+FFFD, as platform::WideToUtf8 does.
char32_t NextCodePoint(const wchar_t*& p) {
    auto value = static_cast<char32_t>(*p++);
    if constexpr (sizeof(wchar_t) == 2) {
        const auto low = static_cast<char32_t>(*p);
        if (value >= 0xD800 && value <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
            ++p;
            return 0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0xFFFD;
    return value;
}

}  // namespace

void FormatHex(char* out, std::size_t size, const char* format,
               std::initializer_list<std::uint64_t> values) {
    if (size == 0)
        return;
    const std::uint64_t* next = values.begin();
    std::size_t used = 0;
    for (const char* p = format; *p && used + 1 < size; ++p) {
        if (p[0] == '%' && p[1] == 'x' && next != values.end()) {
            AppendHex(out, size, &used, *next++);
            ++p;
        } else {
            out[used++] = *p;
        }
    }
    out[used] = '\0';
}

bool AppendUtf8(char* out, std::size_t size, const wchar_t* text) {
    std::size_t used = std::strlen(out);
    std::size_t needed = used;
    for (const wchar_t* p = text; *p;)
        needed += Utf8Length(NextCodePoint(p));
    if (needed + 1 > size)
        return false;
    char* end = out + used;
    for (const wchar_t* p = text; *p;)
        end = EncodeUtf8(NextCodePoint(p), end);
    *end = '\0';
    return true;
}

}  // namespace platform
