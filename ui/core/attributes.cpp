#include "ui/core/attributes.h"

#include <cwchar>

namespace ui {

int ParseInt(std::wstring_view text) {
    std::wstring s(text);
    return static_cast<int>(std::wcstol(s.c_str(), nullptr, 10));
}

std::vector<int> ParseIntList(std::wstring_view text) {
    std::vector<int> values;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(L',', start);
        if (comma == std::wstring_view::npos)
            comma = text.size();
        values.push_back(ParseInt(text.substr(start, comma - start)));
        start = comma + 1;
    }
    return values;
}

RECT ParseRect(std::wstring_view text) {
    std::vector<int> v = ParseIntList(text);
    v.resize(4, 0);
    return RECT{v[0], v[1], v[2], v[3]};
}

SIZE ParseSize(std::wstring_view text) {
    std::vector<int> v = ParseIntList(text);
    v.resize(2, 0);
    return SIZE{v[0], v[1]};
}

DWORD ParseColor(std::wstring_view text) {
    while (!text.empty() && (text.front() == L' ' || text.front() == L'#'))
        text.remove_prefix(1);
    if (text.size() > 1 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X'))
        text.remove_prefix(2);
    std::wstring digits(text);
    const DWORD value = static_cast<DWORD>(std::wcstoul(digits.c_str(), nullptr, 16));
    return digits.size() <= 6 && !digits.empty() ? (value | 0xFF000000u) : value;
}

bool ParseBool(std::wstring_view text) {
    return text == L"true";
}

}  // namespace ui
