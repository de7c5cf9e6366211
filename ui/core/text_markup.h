// The small text markup skins put in captions and combo items: "{f 1}72{/f}" (font by id),
// "<f 微软雅黑 12>72</f>" (font by name and size), {b} {i} {u} and {c #AARRGGBB}. The engine
// draws one run per control, so the first style found applies to the whole text.
#pragma once

#include <string>
#include <string_view>

#include "platform/win_ui.h"

namespace ui {

struct MarkupText {
    std::wstring text;      // the text with every tag removed
    int fontId = -1;        // {f n}
    std::wstring fontName;  // <f name size>
    int fontSize = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    DWORD color = 0;  // 0: the control's own colour
};

MarkupText ParseTextMarkup(std::wstring_view source);

}  // namespace ui
