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

// dp when set, else dps; may be null. Inside an SDisplayScope of the calling
// thread, that scope's display.
Display* CurrentDisplay();

// Makes CurrentDisplay() answer `display` on the calling thread while it
// lives, so that what is made meanwhile (windows, graphics contexts, fonts,
// cursors) is made on that connection: the message box lives on our own
// connection even after the host has handed over its display. Scopes nest.
class SDisplayScope {
public:
    explicit SDisplayScope(Display* display);
    ~SDisplayScope();
    SDisplayScope(const SDisplayScope&) = delete;
    SDisplayScope& operator=(const SDisplayScope&) = delete;

private:
    Display* previous;
};
// Stores the host's display once: later editor opens keep the first handle.
// The monitor layout, missing when no display existed at load, is gathered.
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
