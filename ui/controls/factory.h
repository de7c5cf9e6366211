// The skin tag -> control class table (tags compared without case).
#pragma once

#include <string_view>

#include "ui/controls/control.h"

namespace ui {

// A new control for the tag, or null for a tag the engine does not know.
CControlUI* CreateControlByTag(std::wstring_view tag);

}  // namespace ui
