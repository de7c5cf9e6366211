// Applying a printf-style format taken from a language file. Formats follow the Windows rules
// for wide strings: %s (also %ls, %ws, %S, %hs) takes a text argument. The arguments are typed,
// so a format whose conversions do not fit them is detected before anything is formatted.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <variant>

class LanguageFormatArg {
  public:
    LanguageFormatArg(int v) : value_(static_cast<long long>(v)) {}
    LanguageFormatArg(long v) : value_(static_cast<long long>(v)) {}
    LanguageFormatArg(long long v) : value_(v) {}
    LanguageFormatArg(unsigned v) : value_(static_cast<unsigned long long>(v)) {}
    LanguageFormatArg(unsigned long v) : value_(static_cast<unsigned long long>(v)) {}
    LanguageFormatArg(unsigned long long v) : value_(v) {}
    LanguageFormatArg(double v) : value_(v) {}
    // Null prints as "(null)", as the Windows runtime does.
    LanguageFormatArg(const wchar_t* v) : value_(std::wstring_view(v ? v : L"(null)")) {}
    LanguageFormatArg(const std::wstring& v) : value_(std::wstring_view(v)) {}
    LanguageFormatArg(std::wstring_view v) : value_(v) {}
    // Narrow text and truth values have no conversion in a language text.
    LanguageFormatArg(const char*) = delete;
    LanguageFormatArg(bool) = delete;

    using Value = std::variant<long long, unsigned long long, double, std::wstring_view>;
    const Value& value() const { return value_; }

  private:
    Value value_;
};

// The format with its conversions applied to args in order; "%%" gives "%". When a conversion
// does not fit its argument (a number for %s, text for %d, a missing argument), or is one the
// program never supplies (%n, %p, "*" widths, positional arguments, a lone "%" at the end, a
// width or precision above 1024), the format is returned unchanged: a mistake in a hand-edited
// language file then shows as its raw text instead of crashing or printing memory. Arguments
// beyond the last conversion are ignored, so a translation may leave a placeholder out.
// Integer conversions take the sizes of the 32-bit program the formats were written for: plain,
// "l" and "I" cut the value to 32 bits, "ll" and "I64" keep 64, "h" and "hh" cut to 16 and 8.
std::wstring FormatLanguageTextWith(const std::wstring& format, const LanguageFormatArg* args,
                                    size_t count);

template <typename... Args>
std::wstring FormatLanguageText(const std::wstring& format, const Args&... args) {
    const std::array<LanguageFormatArg, sizeof...(Args)> list{LanguageFormatArg(args)...};
    return FormatLanguageTextWith(format, list.data(), list.size());
}
