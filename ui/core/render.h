// What the engine asks of whoever draws: the Qt host gives a QPainter-backed render, tests a
// recording one. Coordinates are the window's client pixels after DPI scaling.
#pragma once

#include <string>

#include "platform/win_ui.h"
#include "ui/core/image.h"

namespace ui {

// Text placement flags, with the values of the Win32 DrawText flags they stand for.
inline constexpr UINT DT_TOP = 0x0;
inline constexpr UINT DT_LEFT = 0x0;
inline constexpr UINT DT_CENTER = 0x1;
inline constexpr UINT DT_RIGHT = 0x2;
inline constexpr UINT DT_VCENTER = 0x4;
inline constexpr UINT DT_BOTTOM = 0x8;
inline constexpr UINT DT_WORDBREAK = 0x10;
inline constexpr UINT DT_SINGLELINE = 0x20;
inline constexpr UINT DT_NOPREFIX = 0x800;
inline constexpr UINT DT_END_ELLIPSIS = 0x8000;

// A skin's font sizes stay within what a screen can show, so that scaling them for the screen
// and measuring text in them cannot leave the range of an int.
inline constexpr int kMaxFontSize = 1000;

struct FontInfo {
    std::wstring name = L"微软雅黑";
    int size = 12;  // pixels
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

class IRender {
  public:
    virtual ~IRender() = default;
    virtual void FillRect(const RECT& rc, DWORD argb) = 0;
    // Two- or three-stop gradient (c3 == 0: two stops), top to bottom or left to right.
    virtual void FillGradient(const RECT& rc, DWORD c1, DWORD c2, DWORD c3, bool vertical) = 0;
    virtual void DrawBorder(const RECT& rc, DWORD argb, int width, SIZE round) = 0;
    // The size of the bitmap named by draw (file or res), {0,0} when it cannot be loaded.
    virtual SIZE ImageSize(const DrawInfo& draw) = 0;
    virtual void DrawImagePiece(const DrawInfo& draw, const ImagePiece& piece) = 0;
    virtual void DrawText(const RECT& rc, const std::wstring& text, DWORD argb,
                          const FontInfo& font, UINT style) = 0;
    // Width and height of text on one line (or wrapped to maxWidth when it is positive).
    virtual SIZE MeasureText(const std::wstring& text, const FontInfo& font, int maxWidth) = 0;
    virtual void PushClip(const RECT& rc, SIZE round) = 0;
    virtual void PopClip() = 0;
};

// Draws draw into the control rect through render, clipped to paint.
void DrawImage(IRender& render, const DrawInfo& draw, const RECT& control, const RECT& paint);

}  // namespace ui
