#pragma once

#include "quor/gui/context/SPixel.h"

namespace quor {
namespace gui {
namespace context {

class SDrawBitmap;

// A fill colour, optionally with a bitmap that the brush owns.
class SDrawBrush {
public:
    // style -1 is a plain solid brush.
    SDrawBrush(SPixel colour, int style, SDrawBitmap* bitmap);
    virtual ~SDrawBrush();
    SDrawBrush(const SDrawBrush&) = delete;
    SDrawBrush& operator=(const SDrawBrush&) = delete;

    // The colour a fill with this brush paints.
    SPixel EffectiveColour() const { return style == -1 ? colour : secondColour; }

    SDrawBitmap* bitmap;
    int style;
    SPixel colour;
    SPixel secondColour = 0;
};

}  // namespace context
}  // namespace gui
}  // namespace quor
