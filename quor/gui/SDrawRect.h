#pragma once
// A framed rectangle, optionally filled, for tooltips that show more than
// text.

#include "quor/gui/SDrawObject.h"

namespace quor {
namespace gui {

class SDrawRect : public SDrawObject {
public:
    SDrawRect() = default;
    SDrawRect(const Rectangle& rect, uint32_t fillColour, uint32_t frameColour, bool filled);

    // Filled (when asked) in the fill colour, then framed in the frame
    // colour, both moved by the offset.
    void Draw(context::SDrawing* d) override;

    uint32_t fillColour = 0;
    uint32_t frameColour = 0;
    bool filled = false;
};

}  // namespace gui
}  // namespace quor
