// Placement rules of the layouts, as pure functions of the children's size requests, so the
// arithmetic is testable without controls.
#pragma once

#include <vector>

#include "platform/win_ui.h"

namespace ui {

enum class Align { Start, Center, End };

struct LayoutItem {
    SIZE fixed{};  // 0 along an axis: take a share of what remains
    SIZE min{};
    SIZE max{9999, 9999};
    RECT padding{};     // outer margin
    bool skip = false;  // hidden or floating: takes no room
};

struct LinearResult {
    std::vector<RECT> rects;  // one per item; skipped items get an empty rect
    LONG needed = 0;          // extent along the main axis the children want
};

// Stacks the items top to bottom (vertical) or left to right inside content. `along` aligns
// the stack when nothing stretches; `across` aligns each item on the other axis.
LinearResult LayoutLinear(bool vertical, const RECT& content, const std::vector<LayoutItem>& items,
                          int childPadding, Align along, Align across);

// The rect of a floating child: the parent's origin plus pos, with each edge moved by the
// parent's size times its factor (left, top, right, bottom).
struct FloatFactors {
    double left = 0, top = 0, right = 0, bottom = 0;
};
RECT PlaceFloat(const RECT& parent, const RECT& pos, const FloatFactors& f);

}  // namespace ui
