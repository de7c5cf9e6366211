#include "ui/core/render.h"

#include "ui/core/geometry.h"

namespace ui {

void DrawImage(IRender& render, const DrawInfo& draw, const RECT& control, const RECT& paint) {
    if (draw.IsEmpty() || IsEmpty(Intersect(control, paint)))
        return;
    const SIZE bitmap = render.ImageSize(draw);
    for (const ImagePiece& piece : LayoutImage(draw, bitmap, control))
        render.DrawImagePiece(draw, piece);
}

}  // namespace ui
