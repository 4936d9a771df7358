#pragma once
// A lost X connection never ends the host.
//
// When the server drops a connection (xkill on one of its windows, a window
// manager killing a client it thinks hung, the server going away), Xlib
// calls the process-wide IO-error handler and then the connection's exit
// handler, and both end the process by default. A host usually installs the
// process-wide one itself, and GTK's exits too.
//
// Watch gives the toolkit's own connection an exit handler that returns, and
// puts a process-wide handler in front of the host's that keeps our
// connections to ourselves and passes every other one on. The lost
// connection is then marked dead: the dispatching thread stops, the window
// registry forgets its windows, and nothing reads or writes it again; the
// next editor open or message box opens a fresh one.
//
// The process-wide handler is a small stub in memory of its own that jumps to
// this library while it is loaded and to the handler it replaced after: a
// host (or another library) that chained itself in front of ours keeps a
// valid address whatever happens to this module.

#include <X11/Xlib.h>

#include <cstdint>

namespace quor {
namespace gui {

class SConnectionWatch {
public:
    // Watches one of the toolkit's own connections; also (re)installs the
    // process-wide handler in front of whatever is there now. Null is
    // ignored.
    static void Watch(Display* display);
    // Whether `display` was watched and has been lost.
    static bool Dead(Display* display);
    // Connections lost since load.
    static uint64_t Losses();
    // At unload, once every watched connection is closed: the process-wide
    // handler goes back to what it replaced when it is still ours, and the
    // stub jumps there from now on either way.
    static void Release();
};

}  // namespace gui
}  // namespace quor
