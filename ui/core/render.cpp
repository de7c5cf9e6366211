#include "ui/core/render.h"

#include "ui/core/geometry.h"

namespace ui {

void DrawImage(IRender& render, const ImageSpec& spec, const RECT& control, const RECT& paint) {
    if (spec.IsEmpty() || IsEmpty(Intersect(control, paint)))
        return;
    const SIZE bitmap = render.ImageSize(spec);
    for (const ImagePiece& piece : LayoutImage(spec, bitmap, control))
        render.DrawImagePiece(spec, piece);
}

}  // namespace ui
