#pragma once
// Something a tooltip draws: a rectangle filled in its own background colour,
// moved by an offset. Text objects and framed rectangles build on it.

#include <cstdint>

#include "quor/gui/SGeometry.h"

namespace quor {
namespace gui {
namespace context {
class SDrawing;
}

class SDrawObject {
public:
    SDrawObject() = default;
    SDrawObject(const Rectangle& rect, uint32_t background, uint32_t foreground);
    virtual ~SDrawObject() = default;

    // Fills the rectangle, moved by the offset, in the background colour; the
    // surface keeps its own background colour. Nothing without a surface.
    virtual void Draw(context::SDrawing* d);

    Rectangle rect;
    Point offset;
    uint32_t background = 0;
    uint32_t foreground = 0;
};

}  // namespace gui
}  // namespace quor
