// Image strings ("file='x.png' source='0,0,12,21' corner='2,2,2,2'") and the geometry that
// turns one into the pieces a painter copies from the bitmap to the control.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/win_ui.h"

namespace ui {

struct DrawInfo {
    std::wstring file;
    std::wstring res;
    std::wstring restype;
    RECT source{};  // empty: the whole bitmap
    RECT corner{};  // nine-slice insets inside the source
    RECT dest{};    // empty: the whole control
    BYTE fade = 255;
    DWORD mask = 0;  // colour made transparent; 0 means none
    bool hole = false;
    bool xtiled = false;
    bool ytiled = false;

    bool IsEmpty() const { return file.empty() && res.empty(); }
};

// A bare file name or space-separated key='value' pairs; unknown keys are ignored.
DrawInfo ParseDrawInfo(std::wstring_view text);

// One copy from the bitmap to the screen; tiled copies repeat the source over dest.
struct ImagePiece {
    RECT src;
    RECT dst;
    bool xtiled = false;
    bool ytiled = false;
};

// The pieces for drawing draw into the control rect, given the bitmap's size; nothing when the
// source or destination is empty after clipping.
std::vector<ImagePiece> LayoutImage(const DrawInfo& draw, SIZE bitmap, const RECT& control);

}  // namespace ui
