#include "quor/gui/SDisplay.h"

#include <X11/Xlib.h>

#include "quor/gui/context/SDisplayHandles.h"

namespace quor {
namespace gui {

bool SDisplay::AllMonitorRects()
{
    Display* display = context::CurrentDisplay();
    if (!display) return false;
    XLockDisplay(display);
    int screen = DefaultScreen(display);
    monitors.assign(1, SMonitorRect{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)});
    XUnlockDisplay(display);
    return true;
}

}  // namespace gui
}  // namespace quor
