#pragma once
// Atoms interned once per connection. Interning is a round trip; the
// dispatcher compares every client message's type, so the names it knows are
// looked up here instead of asking the server each time.

#include <X11/Xlib.h>

namespace quor {
namespace gui {

class SAtoms {
public:
    // The atom of `name` on `display`, created when missing. None without a
    // display.
    static Atom Get(Display* display, const char* name);
    // The atom only if the server knows it already; None otherwise. A None
    // answer is not remembered: a window manager may create it later.
    static Atom Existing(Display* display, const char* name);
    // Forgets a connection's atoms (it is gone; a new one asks again).
    static void Forget(Display* display);
};

}  // namespace gui
}  // namespace quor
