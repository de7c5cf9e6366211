#include "i18n/format.h"

#include <clocale>
#include <cstdio>
#include <optional>

#include "platform/text.h"

namespace {

constexpr int kMaxField = 1024;

enum class Length { None, Char, Short, Long, LongLong, Int32, Int64, Pointer, Wide, LongDouble };

struct Conversion {
    std::string flags;
    int width = -1;
    int precision = -1;
    Length length = Length::None;
    wchar_t type = 0;
};

using Value = LanguageFormatArg::Value;

// Decimal digits at *pos, if any, into *value; false when the number exceeds kMaxField.
bool ParseNumber(std::wstring_view format, size_t* pos, int* value) {
    if (*pos >= format.size() || format[*pos] < L'0' || format[*pos] > L'9')
        return true;
    *value = 0;
    for (; *pos < format.size() && format[*pos] >= L'0' && format[*pos] <= L'9'; ++*pos) {
        *value = *value * 10 + (format[*pos] - L'0');
        if (*value > kMaxField)
            return false;
    }
    return true;
}

// The size prefixes of the Microsoft runtime, longest first.
Length ParseLength(std::wstring_view format, size_t* pos) {
    static constexpr std::pair<std::wstring_view, Length> kPrefixes[] = {
        {L"I64", Length::Int64},    {L"I32", Length::Int32}, {L"hh", Length::Char},
        {L"ll", Length::LongLong},  {L"h", Length::Short},   {L"l", Length::Long},
        {L"L", Length::LongDouble}, {L"I", Length::Pointer}, {L"w", Length::Wide}};
    for (const auto& [prefix, length] : kPrefixes) {
        if (format.substr(*pos).starts_with(prefix)) {
            *pos += prefix.size();
            return length;
        }
    }
    return Length::None;
}

// Parses the conversion that follows a '%'; false when it is cut off or too wide.
bool ParseConversion(std::wstring_view format, size_t* pos, Conversion* c) {
    for (; *pos < format.size() &&
           std::wstring_view(L"-+ #0").find(format[*pos]) != std::wstring_view::npos;
         ++*pos)
        c->flags += static_cast<char>(format[*pos]);
    if (!ParseNumber(format, pos, &c->width))
        return false;
    if (*pos < format.size() && format[*pos] == L'.') {
        ++*pos;
        c->precision = 0;
        if (!ParseNumber(format, pos, &c->precision))
            return false;
    }
    c->length = ParseLength(format, pos);
    if (*pos >= format.size())
        return false;
    c->type = format[(*pos)++];
    return true;
}

std::string FieldFormat(const Conversion& c) {
    std::string cFormat = "%" + c.flags;
    if (c.width >= 0)
        cFormat += std::to_string(c.width);
    if (c.precision >= 0)
        cFormat += "." + std::to_string(c.precision);
    return cFormat;
}

// Numbers print the same under every locale ("1.00 K", never "1,00 K"): the texts that hold
// them were written for a runtime that formats with the "C" locale whatever the user's is.
class CNumericLocale {
  public:
    CNumericLocale() : previous_(c_ ? uselocale(c_) : nullptr) {}
    ~CNumericLocale() {
        if (previous_)
            uselocale(previous_);
    }
    CNumericLocale(const CNumericLocale&) = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;

  private:
    static inline const locale_t c_ = newlocale(LC_ALL_MASK, "C", nullptr);
    locale_t previous_;
};

// Only numbers are printed here, so the "C" locale's character set is never asked for.
template <typename T>
std::wstring Print(const std::string& cFormat, T value) {
    std::string text;
    {
        CNumericLocale numbers;
        const int size = std::snprintf(nullptr, 0, cFormat.c_str(), value);
        if (size <= 0)
            return {};
        text.resize(static_cast<size_t>(size) + 1);
        std::snprintf(text.data(), text.size(), cFormat.c_str(), value);
        text.resize(static_cast<size_t>(size));
    }
    return platform::AnsiToWide(text);
}

std::wstring Pad(std::wstring text, const Conversion& c) {
    if (c.width > static_cast<int>(text.size())) {
        const std::wstring fill(static_cast<size_t>(c.width) - text.size(), L' ');
        text = c.flags.find('-') != std::string::npos ? text + fill : fill + text;
    }
    return text;
}

// Integers are cut to the size the conversion names, with the sizes of the 32-bit program the
// formats were written for: int, long and "I" are 32 bits.
int IntegerBits(Length length) {
    switch (length) {
        case Length::Char:
            return 8;
        case Length::Short:
            return 16;
        case Length::None:
        case Length::Long:
        case Length::Int32:
        case Length::Pointer:
            return 32;
        case Length::LongLong:
        case Length::Int64:
            return 64;
        default:
            return 0;
    }
}

std::optional<unsigned long long> IntegerBitsOf(const Value& value) {
    if (const auto* s = std::get_if<long long>(&value))
        return static_cast<unsigned long long>(*s);
    if (const auto* u = std::get_if<unsigned long long>(&value))
        return *u;
    return std::nullopt;
}

std::optional<std::wstring> FormatInteger(const Conversion& c, const Value& value) {
    const int bits = IntegerBits(c.length);
    const auto raw = IntegerBitsOf(value);
    if (!bits || !raw)
        return std::nullopt;
    const unsigned long long mask = bits == 64 ? ~0ULL : (1ULL << bits) - 1;
    const unsigned long long cut = *raw & mask;
    const std::string cFormat = FieldFormat(c) + "ll" + static_cast<char>(c.type);
    if (c.type != L'd' && c.type != L'i')
        return Print(cFormat, cut);
    const bool negative = (cut >> (bits - 1)) & 1;
    return Print(cFormat, static_cast<long long>(negative ? cut | ~mask : cut));
}

std::optional<std::wstring> FormatCharacter(const Conversion& c, const Value& value) {
    const auto raw = IntegerBitsOf(value);
    const bool narrowOrWide = c.length == Length::None || c.length == Length::Short ||
                              c.length == Length::Long || c.length == Length::Wide;
    if (!raw || !narrowOrWide || *raw == 0 || *raw > 0x10FFFF || (*raw >= 0xD800 && *raw <= 0xDFFF))
        return std::nullopt;
    return Pad(std::wstring(1, static_cast<wchar_t>(*raw)), c);
}

std::optional<std::wstring> FormatText(const Conversion& c, const Value& value) {
    const auto* text = std::get_if<std::wstring_view>(&value);
    const bool narrowOrWide = c.length == Length::None || c.length == Length::Short ||
                              c.length == Length::Long || c.length == Length::Wide;
    if (!text || !narrowOrWide)
        return std::nullopt;
    const size_t count = c.precision >= 0 ? static_cast<size_t>(c.precision) : text->size();
    return Pad(std::wstring(text->substr(0, count)), c);
}

std::optional<std::wstring> FormatReal(const Conversion& c, const Value& value) {
    const auto* real = std::get_if<double>(&value);
    const bool plainOrLong =
        c.length == Length::None || c.length == Length::Long || c.length == Length::LongDouble;
    if (!real || !plainOrLong)
        return std::nullopt;
    return Print(FieldFormat(c) + static_cast<char>(c.type), *real);
}

std::optional<std::wstring> Apply(const Conversion& c, const Value& value) {
    switch (c.type) {
        case L'd':
        case L'i':
        case L'u':
        case L'o':
        case L'x':
        case L'X':
            return FormatInteger(c, value);
        case L'c':
        case L'C':
            return FormatCharacter(c, value);
        case L's':
        case L'S':
            return FormatText(c, value);
        case L'f':
        case L'F':
        case L'e':
        case L'E':
        case L'g':
        case L'G':
        case L'a':
        case L'A':
            return FormatReal(c, value);
        default:
            return std::nullopt;
    }
}

}  // namespace

std::wstring FormatLanguageTextWith(const std::wstring& format, const LanguageFormatArg* args,
                                    size_t count) {
    std::wstring out;
    size_t next = 0;
    for (size_t pos = 0; pos < format.size();) {
        if (format[pos] != L'%') {
            out += format[pos++];
            continue;
        }
        ++pos;
        if (pos < format.size() && format[pos] == L'%') {
            out += L'%';
            ++pos;
            continue;
        }
        Conversion c;
        if (!ParseConversion(format, &pos, &c) || next >= count)
            return format;
        const std::optional<std::wstring> text = Apply(c, args[next++].value());
        if (!text)
            return format;
        out += *text;
    }
    return out;
}
