#pragma once
// The frame colours (colour table indices) of a control while the pointer is
// over it.

namespace quor {
namespace gui {

class SIHoverable {
public:
    virtual ~SIHoverable() = default;
    // `off` frames the control while its value is 0, `on` while it is 1 or
    // more.
    virtual void SetHoverColours(int off, int on)
    {
        hoverColourOff = off;
        hoverColourOn = on;
    }

    int hoverColourOn = 0;
    int hoverColourOff = 0;
    bool hovering = false;
};

}  // namespace gui
}  // namespace quor
