#include "platform/text.h"

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
// Windows' wchar_t holds UTF-16 code units, Linux's whole code points.
constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

bool IsScalar(char32_t c) {
    return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF);
}

bool IsHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}

bool IsLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// The code points of UTF-16 units; a surrogate without its partner is U+FFFD.
template <typename Unit, typename Visit>
void ForEachUtf16CodePoint(std::basic_string_view<Unit> text, Visit visit) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t u = static_cast<char16_t>(text[i]);
        if (IsHighSurrogate(u) && i + 1 < text.size() &&
            IsLowSurrogate(static_cast<char16_t>(text[i + 1]))) {
            visit(0x10000 + ((u - 0xD800) << 10) + (static_cast<char16_t>(text[i + 1]) - 0xDC00));
            ++i;
        } else {
            visit(IsScalar(u) ? u : kReplacement);
        }
    }
}

template <typename Visit>
void ForEachWideCodePoint(std::wstring_view text, Visit visit) {
    if constexpr (kWideIsUtf16) {
        ForEachUtf16CodePoint(text, visit);
    } else {
        for (wchar_t c : text)
            visit(IsScalar(static_cast<char32_t>(c)) ? static_cast<char32_t>(c) : kReplacement);
    }
}

template <typename String>
void AppendUtf16(String& out, char32_t c) {
    using Unit = typename String::value_type;
    if (c < 0x10000) {
        out += static_cast<Unit>(c);
    } else {
        c -= 0x10000;
        out += static_cast<Unit>(0xD800 + (c >> 10));
        out += static_cast<Unit>(0xDC00 + (c & 0x3FF));
    }
}

void AppendWide(std::wstring& out, char32_t c) {
    if constexpr (kWideIsUtf16)
        AppendUtf16(out, c);
    else
        out += static_cast<wchar_t>(c);
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string WideToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    ForEachWideCodePoint(text, [&out](char32_t c) { AppendUtf8(out, c); });
    return out;
}

std::wstring Utf8ToWide(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t c = 0;
        char32_t min = 0;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            extra = 1, c = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2, c = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3, c = b & 0x07, min = 0x10000;
        } else {
            out += static_cast<wchar_t>(kReplacement);
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < extra; ++k, ++j) {
            if (j >= text.size() || (static_cast<unsigned char>(text[j]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (static_cast<unsigned char>(text[j]) & 0x3F);
        }
        if (!ok || c < min || !IsScalar(c)) {
            // Skip only the lead byte so that a broken sequence costs one character.
            out += static_cast<wchar_t>(kReplacement);
            ++i;
            continue;
        }
        AppendWide(out, c);
        i = j;
    }
    return out;
}

std::wstring Utf16ToWide(std::u16string_view text) {
    std::wstring out;
    out.reserve(text.size());
    ForEachUtf16CodePoint(text, [&out](char32_t c) { AppendWide(out, c); });
    return out;
}

std::u16string WideToUtf16(std::wstring_view text) {
    std::u16string out;
    out.reserve(text.size());
    ForEachWideCodePoint(text, [&out](char32_t c) { AppendUtf16(out, c); });
    return out;
}

}  // namespace platform
