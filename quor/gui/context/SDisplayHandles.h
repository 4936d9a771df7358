#pragma once
// The two display connections of the process and the rule that picks one.
//   dps: opened by this library at load time; null when no X server answered.
//   dp:  the host's display, handed over at the first editor open.
// The toolkit lives on its own connection dps whenever it is open: it reads
// and dispatches that connection's events itself, which many hosts never do
// for theirs. The host's dp serves only when dps could not be opened.
// New X resources are made on CurrentDisplay() and no X call is made while it
// is null; a resource is used and freed on the connection it was made on.

#include <X11/Xlib.h>

extern Display* dp;
extern Display* dps;

namespace quor {
namespace gui {
namespace context {

// dps when open, else dp; may be null.
Display* CurrentDisplay();
// Stores the host's display once: later editor opens keep the first handle.
// When it is the first display the process has (no dps), the monitor layout
// and the colour table, missing since load, are filled now, before the editor
// paints anything. Safe from any thread, and as often as hosts call it.
void AdoptHostDisplay(Display* host);
// True while X resources made on `display` may still be freed through it:
// it is dps or the host's display we still hold. The host may close its
// display before this library is unloaded, so nothing is freed on a
// connection we have let go.
bool DisplayOpen(Display* display);
// Lets go of the host's display for good (at unload): from then on no call is
// made on it.
void ForgetHostDisplay();

}  // namespace context
}  // namespace gui
}  // namespace quor
