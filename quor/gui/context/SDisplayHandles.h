#pragma once
// The two display connections of the process and the rule that picks one.
//   dps: opened by this library at load time; null when no X server answered.
//   dp:  the host's display, handed over at the first editor open.
// Every X call of the GUI goes to CurrentDisplay(), evaluated at each call and
// never cached, and no X call is made while it is null.

#include <X11/Xlib.h>

extern Display* dp;
extern Display* dps;

namespace quor {
namespace gui {
namespace context {

// dp when set, else dps; may be null.
Display* CurrentDisplay();
// Stores the host's display once: later editor opens keep the first handle.
void AdoptHostDisplay(Display* host);

}  // namespace context
}  // namespace gui
}  // namespace quor
