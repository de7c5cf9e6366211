#include "ui/core/image.h"

#include <algorithm>

#include "ui/core/attributes.h"
#include "ui/core/geometry.h"

namespace ui {
namespace {

// Reads key='value' pairs; returns false when the text is not in that form.
template <typename F>
bool ForEachPair(std::wstring_view text, F&& apply) {
    size_t i = 0;
    bool any = false;
    while (i < text.size()) {
        while (i < text.size() && text[i] == L' ')
            ++i;
        if (i >= text.size())
            break;
        const size_t eq = text.find(L'=', i);
        if (eq == std::wstring_view::npos || eq + 1 >= text.size())
            return any;
        const wchar_t quote = text[eq + 1];
        if (quote != L'\'' && quote != L'"')
            return any;
        const size_t end = text.find(quote, eq + 2);
        if (end == std::wstring_view::npos)
            return any;
        apply(text.substr(i, eq - i), text.substr(eq + 2, end - eq - 2));
        any = true;
        i = end + 1;
    }
    return any;
}

void ApplyKey(DrawInfo& s, std::wstring_view key, std::wstring_view value) {
    if (key == L"file")
        s.file = value;
    else if (key == L"res")
        s.res = value;
    else if (key == L"restype")
        s.restype = value;
    else if (key == L"source")
        s.source = ParseRect(value);
    else if (key == L"corner" || key == L"scale9")
        s.corner = ParseRect(value);
    else if (key == L"dest")
        s.dest = ParseRect(value);
    else if (key == L"fade")
        s.fade = static_cast<BYTE>(std::clamp(ParseInt(value), 0, 255));
    else if (key == L"mask")
        s.mask = ParseColor(value);
    else if (key == L"hole")
        s.hole = ParseBool(value);
    else if (key == L"xtiled")
        s.xtiled = ParseBool(value);
    else if (key == L"ytiled")
        s.ytiled = ParseBool(value);
}

// Splits [a, b) at the two insets into three spans; the middle may be empty.
struct Spans {
    LONG edge[4];
};
Spans Split(LONG a, LONG b, LONG lead, LONG trail) {
    return {{a, a + lead, b - trail, b}};
}

}  // namespace

DrawInfo ParseDrawInfo(std::wstring_view text) {
    DrawInfo draw;
    const bool pairs =
        text.find(L'=') != std::wstring_view::npos &&
        ForEachPair(text, [&](std::wstring_view k, std::wstring_view v) { ApplyKey(draw, k, v); });
    if (!pairs)
        draw.file = text;
    return draw;
}

std::vector<ImagePiece> LayoutImage(const DrawInfo& draw, SIZE bitmap, const RECT& control) {
    RECT src = IsEmpty(draw.source) ? RECT{0, 0, bitmap.cx, bitmap.cy} : draw.source;
    src = Intersect(src, RECT{0, 0, bitmap.cx, bitmap.cy});
    RECT dst = control;
    if (!IsEmpty(draw.dest))
        dst = Intersect(Offset(draw.dest, control.left, control.top), control);
    if (IsEmpty(src) || IsEmpty(dst))
        return {};
    const RECT& c = draw.corner;
    const bool sliced = c.left || c.top || c.right || c.bottom;
    if (!sliced)
        return {{src, dst, draw.xtiled, draw.ytiled}};
    // Corners copy 1:1; a destination smaller than the corners squeezes them to fit.
    const LONG cl = std::min(c.left, Width(dst)), cr = std::min(c.right, Width(dst) - cl);
    const LONG ct = std::min(c.top, Height(dst)), cb = std::min(c.bottom, Height(dst) - ct);
    const Spans sx = Split(src.left, src.right, c.left, c.right);
    const Spans sy = Split(src.top, src.bottom, c.top, c.bottom);
    const Spans dx = Split(dst.left, dst.right, cl, cr);
    const Spans dy = Split(dst.top, dst.bottom, ct, cb);
    std::vector<ImagePiece> pieces;
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const bool centre = row == 1 && col == 1;
            if (centre && draw.hole)
                continue;
            ImagePiece p{{sx.edge[col], sy.edge[row], sx.edge[col + 1], sy.edge[row + 1]},
                         {dx.edge[col], dy.edge[row], dx.edge[col + 1], dy.edge[row + 1]},
                         centre && draw.xtiled,
                         centre && draw.ytiled};
            if (!IsEmpty(p.src) && !IsEmpty(p.dst))
                pieces.push_back(p);
        }
    }
    return pieces;
}

}  // namespace ui
