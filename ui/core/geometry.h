// Rectangle and point helpers over the Win32 RECT/POINT/SIZE structs the engine speaks.
#pragma once

#include <algorithm>

#include "platform/win_ui.h"

// Value comparison for the Win32 structs (global, so argument lookup finds them).
inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator==(const SIZE& a, const SIZE& b) {
    return a.cx == b.cx && a.cy == b.cy;
}
inline bool operator==(const POINT& a, const POINT& b) {
    return a.x == b.x && a.y == b.y;
}

namespace ui {

inline LONG Width(const RECT& r) {
    return r.right - r.left;
}
inline LONG Height(const RECT& r) {
    return r.bottom - r.top;
}
inline bool IsEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}
inline bool Contains(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}
inline RECT Intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (IsEmpty(r))
        return RECT{};
    return r;
}
inline RECT Offset(RECT r, LONG dx, LONG dy) {
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}
// Shrinks r by the four insets of d (left, top, right, bottom).
inline RECT Deflate(const RECT& r, const RECT& d) {
    return {r.left + d.left, r.top + d.top, r.right - d.right, r.bottom - d.bottom};
}

}  // namespace ui
