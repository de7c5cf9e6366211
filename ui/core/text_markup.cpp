#include "ui/core/text_markup.h"

#include <algorithm>
#include <cwctype>
#include <vector>

#include "ui/core/attributes.h"
#include "ui/core/render.h"

namespace ui {
namespace {

std::vector<std::wstring_view> SplitWords(std::wstring_view s) {
    std::vector<std::wstring_view> words;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == L' ')
            ++i;
        const size_t start = i;
        while (i < s.size() && s[i] != L' ')
            ++i;
        if (i > start)
            words.push_back(s.substr(start, i - start));
    }
    return words;
}

void ApplyFontTag(MarkupText& m, const std::vector<std::wstring_view>& args) {
    if (args.size() == 1 && std::iswdigit(args[0].front())) {
        m.fontId = ParseInt(args[0]);
        return;
    }
    for (std::wstring_view a : args) {
        if (a == L"bold")
            m.bold = true;
        else if (a == L"italic")
            m.italic = true;
        else if (a == L"underline")
            m.underline = true;
        else if (std::iswdigit(a.front()))
            m.fontSize = std::min(ParseInt(a), kMaxFontSize);
        else
            m.fontName = a;
    }
}

// Applies one tag body ("f 1", "/f", "b"...); false when it is not a tag the markup knows.
bool ApplyTag(MarkupText& m, std::wstring_view body) {
    if (!body.empty() && body.front() == L'/')
        return body.size() <= 2;
    const std::vector<std::wstring_view> words = SplitWords(body);
    if (words.empty())
        return false;
    const std::vector<std::wstring_view> args(words.begin() + 1, words.end());
    if (words[0] == L"f")
        ApplyFontTag(m, args);
    else if (words[0] == L"b")
        m.bold = true;
    else if (words[0] == L"i")
        m.italic = true;
    else if (words[0] == L"u")
        m.underline = true;
    else if (words[0] == L"c" && !args.empty())
        m.color = ParseColor(args[0]);
    else
        return false;
    return true;
}

}  // namespace

MarkupText ParseTextMarkup(std::wstring_view source) {
    MarkupText m;
    size_t i = 0;
    while (i < source.size()) {
        const wchar_t open = source[i];
        const wchar_t close = open == L'{' ? L'}' : open == L'<' ? L'>' : 0;
        const size_t end = close ? source.find(close, i + 1) : std::wstring_view::npos;
        if (end != std::wstring_view::npos && ApplyTag(m, source.substr(i + 1, end - i - 1))) {
            i = end + 1;
            continue;
        }
        m.text += source[i++];
    }
    return m;
}

}  // namespace ui
