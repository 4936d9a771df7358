#pragma once
// The whole factor (1 to 4) by which a window's picture is enlarged on the
// screen, chosen from the user's settings when an editor or a message box
// opens. In order, the first that gives one wins:
//   BLINKWATCHER_SCALE   1 to 4; any other value is ignored (and reported)
//   GDK_SCALE            a whole number from 1 (above 4 counts as 4)
//   Xft.dpi              in the server's resource database, round(dpi / 96)
//                        kept within 1 to 4
// and 1 when none does.

#include <X11/Xlib.h>

namespace quor {
namespace gui {

constexpr int maxScale = 4;

struct SScaleChoice {
    int factor = 1;
    // BLINKWATCHER_SCALE was set to something other than 1 to 4.
    bool ownRejected = false;
};

// The choice from the three settings as given (each may be null: not set).
// `resources` is the text of the resource database (XResourceManagerString).
SScaleChoice ScaleFromSettings(const char* own, const char* gdk, const char* resources);

// The choice from the environment and `display`'s resource database (none
// without a display). With `report`, a rejected BLINKWATCHER_SCALE is told
// on standard error in one line, once for each value. No X request.
int ChooseScale(Display* display, bool report);

}  // namespace gui
}  // namespace quor
