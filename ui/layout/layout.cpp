#include "ui/layout/layout.h"

#include <algorithm>
#include <limits>

namespace ui {
namespace {

// Axis-neutral views: "main" is the stacking axis, "cross" the other one.
struct Axis {
    bool vertical;
    LONG Main(SIZE s) const { return vertical ? s.cy : s.cx; }
    LONG Cross(SIZE s) const { return vertical ? s.cx : s.cy; }
    LONG Lead(const RECT& r) const { return vertical ? r.top : r.left; }
    LONG Trail(const RECT& r) const { return vertical ? r.bottom : r.right; }
    LONG CrossLead(const RECT& r) const { return vertical ? r.left : r.top; }
    LONG CrossTrail(const RECT& r) const { return vertical ? r.right : r.bottom; }
    RECT Make(LONG m0, LONG m1, LONG c0, LONG c1) const {
        return vertical ? RECT{c0, m0, c1, m1} : RECT{m0, c0, m1, c1};
    }
};

LONG Clamp(LONG v, LONG lo, LONG hi) {
    return std::max(lo, std::min(v, std::max(lo, hi)));
}

LONG AlignOffset(Align a, LONG room) {
    if (room <= 0 || a == Align::Start)
        return 0;
    return a == Align::Center ? room / 2 : room;
}

// Main-axis sizes: fixed ones clamped, the rest sharing what remains, the last taking the
// remainder of the integer division.
std::vector<LONG> MainSizes(const Axis& ax, const std::vector<LayoutItem>& items, LONG room,
                            int childPadding) {
    std::vector<LONG> sizes(items.size(), 0);
    LONG used = 0;
    int visible = 0, adjustable = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        const LayoutItem& it = items[i];
        if (it.skip)
            continue;
        ++visible;
        used += ax.Lead(it.padding) + ax.Trail(it.padding);
        if (ax.Main(it.fixed) > 0) {
            sizes[i] = Clamp(ax.Main(it.fixed), ax.Main(it.min), ax.Main(it.max));
            used += sizes[i];
        } else {
            ++adjustable;
        }
    }
    if (visible > 1)
        used += childPadding * (visible - 1);
    const LONG remaining = std::max<LONG>(0, room - used);
    const LONG share = adjustable ? remaining / adjustable : 0;
    int seen = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        const LayoutItem& it = items[i];
        if (it.skip || ax.Main(it.fixed) > 0)
            continue;
        const LONG want = ++seen == adjustable ? remaining - share * (adjustable - 1) : share;
        sizes[i] = Clamp(want, ax.Main(it.min), ax.Main(it.max));
    }
    return sizes;
}

// One edge of a floating child, summed where it cannot overflow: a skin's positions may be
// anything, and an edge off every screen is as good as one at the end of the range.
LONG FloatEdge(LONG origin, LONG offset, double parentSize, double factor) {
    const double edge = static_cast<double>(origin) + offset + parentSize * factor;
    return static_cast<LONG>(std::clamp(edge, static_cast<double>(std::numeric_limits<LONG>::min()),
                                        static_cast<double>(std::numeric_limits<LONG>::max())));
}

}  // namespace

LinearResult LayoutLinear(bool vertical, const RECT& content, const std::vector<LayoutItem>& items,
                          int childPadding, Align along, Align across) {
    const Axis ax{vertical};
    const LONG room = ax.Trail(content) - ax.Lead(content);
    const LONG crossRoom = ax.CrossTrail(content) - ax.CrossLead(content);
    const std::vector<LONG> sizes = MainSizes(ax, items, room, childPadding);
    LinearResult result;
    result.rects.assign(items.size(), RECT{});
    LONG total = 0;
    bool first = true;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].skip)
            continue;
        total += (first ? 0 : childPadding) + ax.Lead(items[i].padding) + sizes[i] +
                 ax.Trail(items[i].padding);
        first = false;
    }
    result.needed = total;
    LONG pos = ax.Lead(content) + AlignOffset(along, room - total);
    first = true;
    for (size_t i = 0; i < items.size(); ++i) {
        const LayoutItem& it = items[i];
        if (it.skip)
            continue;
        pos += (first ? 0 : childPadding) + ax.Lead(it.padding);
        first = false;
        const LONG padLead = ax.CrossLead(it.padding), padTrail = ax.CrossTrail(it.padding);
        LONG cross = ax.Cross(it.fixed) > 0 ? ax.Cross(it.fixed) : crossRoom - padLead - padTrail;
        cross = Clamp(cross, ax.Cross(it.min), ax.Cross(it.max));
        const LONG c0 = ax.CrossLead(content) + padLead +
                        AlignOffset(across, crossRoom - padLead - padTrail - cross);
        result.rects[i] = ax.Make(pos, pos + sizes[i], c0, c0 + cross);
        pos += sizes[i] + ax.Trail(it.padding);
    }
    return result;
}

RECT PlaceFloat(const RECT& parent, const RECT& pos, const FloatFactors& f) {
    const double w = static_cast<double>(parent.right) - parent.left;
    const double h = static_cast<double>(parent.bottom) - parent.top;
    return RECT{FloatEdge(parent.left, pos.left, w, f.left),
                FloatEdge(parent.top, pos.top, h, f.top),
                FloatEdge(parent.left, pos.right, w, f.right),
                FloatEdge(parent.top, pos.bottom, h, f.bottom)};
}

}  // namespace ui
