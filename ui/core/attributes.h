// Parsing of skin attribute values: integers, rectangles, sizes, colours and booleans.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/win_ui.h"

namespace ui {

// Reads a leading integer, tolerating surrounding blanks; 0 when there is none.
int ParseInt(std::wstring_view text);
// "l,t,r,b"; missing numbers read as 0.
RECT ParseRect(std::wstring_view text);
// "cx,cy".
SIZE ParseSize(std::wstring_view text);
// "AARRGGBB" with an optional '#' or "0x"; six digits get an opaque alpha.
DWORD ParseColor(std::wstring_view text);
// True only for the exact text "true".
bool ParseBool(std::wstring_view text);
// Splits "a,b,c" into numbers (blank fields read as 0).
std::vector<int> ParseIntList(std::wstring_view text);

inline BYTE AlphaOf(DWORD argb) {
    return static_cast<BYTE>(argb >> 24);
}

}  // namespace ui
