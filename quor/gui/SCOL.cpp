#include "quor/gui/SCOL.h"

#include <X11/Xlib.h>

#include "quor/gui/context/SDisplayHandles.h"

namespace quor {
namespace gui {

namespace {
// The component goes to the high byte of the 16-bit channel: 255 -> 0xFF00.
unsigned short Channel(int c)
{
    if (c < 0) c = 0;
    if (c > 255) c = 255;
    return static_cast<unsigned short>(c << 8);
}
}  // namespace

context::SPixel SCOL(int r, int g, int b)
{
    Display* display = context::CurrentDisplay();
    if (!display) return 0;
    XColor colour = {};
    colour.red = Channel(r);
    colour.green = Channel(g);
    colour.blue = Channel(b);
    colour.flags = DoRed | DoGreen | DoBlue;
    if (!XAllocColor(display, DefaultColormap(display, 0), &colour))
        return static_cast<context::SPixel>(BlackPixel(display, 0));
    return static_cast<context::SPixel>(colour.pixel);
}

}  // namespace gui
}  // namespace quor
