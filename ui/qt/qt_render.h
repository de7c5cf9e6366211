// IRender over a QPainter: antialiased text and shapes, bitmaps decoded once from the skin
// resources and kept for the life of the process.
#pragma once

#include <QFont>
#include <QPainter>
#include <vector>

#include "ui/core/render.h"

namespace ui {

// The QFont for a skin font; names the machine lacks (微软雅黑, 宋体...) map to an installed CJK
// font through Qt's substitution table.
QFont ToQFont(const FontInfo& font);
QColor ToQColor(DWORD argb);

class QtRender : public IRender {
  public:
    // painter may be null for a render that only measures text.
    explicit QtRender(QPainter* painter = nullptr) : painter_(painter) {}
    void SetPainter(QPainter* painter) { painter_ = painter; }

    void FillRect(const RECT& rc, DWORD argb) override;
    void FillGradient(const RECT& rc, DWORD c1, DWORD c2, DWORD c3, bool vertical) override;
    void DrawBorder(const RECT& rc, DWORD argb, int width, SIZE round) override;
    SIZE ImageSize(const DrawInfo& draw) override;
    void DrawImagePiece(const DrawInfo& draw, const ImagePiece& piece) override;
    void DrawText(const RECT& rc, const std::wstring& text, DWORD argb, const FontInfo& font,
                  UINT style) override;
    SIZE MeasureText(const std::wstring& text, const FontInfo& font, int maxWidth) override;
    void PushClip(const RECT& rc, SIZE round) override;
    void PopClip() override;

  private:
    QPainter* painter_;
    int clipDepth_ = 0;
};

// The decoded bitmap for an image string's file (with its mask applied); null when missing.
const QImage* LoadSkinImage(const DrawInfo& draw);

}  // namespace ui
