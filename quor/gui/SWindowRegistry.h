#pragma once
// Which control owns which X window, in this process.
//
// The "_QUORWND" property of a window names its control for other readers,
// but a 64-bit address does not fit the property's 32-bit item, and a value
// read back from the server is nothing to dereference anyway. Events find
// their control here instead, by connection and window: an event from any
// other connection, or for a window that is not (or no longer) registered,
// finds nothing. Entries are removed before a control is freed.
//
// The key stored in the property is the control's address on i386 and a
// process-unique number on x86_64.

#include <X11/Xlib.h>

#include <cstdint>

namespace quor {
namespace gui {

class SControl;

class SWindowRegistry {
public:
    // Returns the key for the property; 0 when the control or window is null.
    static uint32_t Register(SControl* control, Display* display, Window window);
    static void Unregister(SControl* control);
    static SControl* Find(Display* display, Window window);
    static SControl* FindKey(uint32_t key);
    // Registered windows on a connection.
    static int Count(Display* display);
    // Drops every window of a lost connection: no event or lookup finds its
    // controls again, which are freed later without asking the server.
    static void Forget(Display* display);
    // Windows of ours that another client destroyed (the last few dozen):
    // requests sent to them before their DestroyNotify was read fail, and
    // those errors are no fault.
    static void Gone(Display* display, Window window);
    static bool WasGone(Display* display, Window window);
};

}  // namespace gui
}  // namespace quor
