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

// Opens the toolkit's own connection to the server "DISPLAY" names (":0.0"
// when unset), with its error trap and its loss watch. Null when no server
// answers.
Display* OpenOwnDisplay();
// The server dropped the connection `lost`: when it is dps, dps becomes null
// (nothing new is made on it) and the connection is kept, unused, until
// unload. Safe from any thread; makes no X call.
void LoseDisplay(Display* lost);
// Whether the toolkit's own connection was lost and no new one is open yet.
bool OwnDisplayLost();
// After a loss: opens a fresh connection, and makes the process-wide things
// that belong to one (colour table, monitor layout; fonts and atoms follow on
// first use) anew for it. True when dps is open afterwards. Nothing when no
// connection was lost.
bool ReviveOwnDisplay();
// At unload, after dps is closed: closes the connections lost earlier.
void CloseLostDisplays();
// Whether the host's window `window` may take the editor: it is on the
// toolkit's server (compared with the host's display when the host gave
// one, otherwise by looking the window up there) and is not one of the
// toolkit's own windows. True when the toolkit runs on the host's display.
// Writes one line to stderr when it refuses.
bool AcceptsHostWindow(Display* host, Window window);

}  // namespace context
}  // namespace gui
}  // namespace quor
