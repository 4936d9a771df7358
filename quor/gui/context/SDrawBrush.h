#pragma once

namespace quor {
namespace gui {
namespace context {

class SDrawBitmap;

// A fill colour, optionally with a bitmap that the brush owns.
class SDrawBrush {
public:
    // style -1 is a plain solid brush.
    SDrawBrush(int colour, int style, SDrawBitmap* bitmap);
    virtual ~SDrawBrush();
    SDrawBrush(const SDrawBrush&) = delete;
    SDrawBrush& operator=(const SDrawBrush&) = delete;

    // The colour a fill with this brush paints.
    int EffectiveColour() const { return style == -1 ? colour : secondColour; }

    SDrawBitmap* bitmap;
    int style;
    int colour;
    int secondColour = 0;
};

}  // namespace context
}  // namespace gui
}  // namespace quor
