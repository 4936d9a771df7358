#pragma once
// X errors on the toolkit's own connection never reach the process-wide error
// handler. Xlib's default handler ends the process on any error, and the
// process is a host that has no idea we exist; swapping the process-wide
// handler around our requests would race with the host's own threads. Xlib
// asks a connection's asynchronous reply handlers about every error before
// any error handler, so one such handler, installed for good, catches them.
//
// Every error so trapped is printed in the control's "XError Message: "
// format and counted, except errors of requests made inside a Probe: those
// are expected answers (a window that may be gone) and only set the probe's
// flag.

#include <X11/Xlib.h>

#include <cstdint>

namespace quor {
namespace gui {

class SXErrorTrap {
public:
    // Hooks the connection's errors; once per connection, later calls do
    // nothing. Null is ignored.
    static void Install(Display* display);
    static bool Installed(Display* display);
    // The connection has been closed: its trap goes too (nothing is asked
    // of the closed connection).
    static void Forget(Display* display);
    // Errors trapped on any hooked connection outside probes since load.
    static uint64_t Count();

    // Marks the requests made on `display` during its lifetime as probes. On
    // a connection without the hook the process-wide handler is borrowed
    // meanwhile, passing other connections' errors on to the one it replaced.
    // Synchronous requests (those that wait for a reply) report their error
    // before they return, so Failed() is exact for them.
    class Probe {
    public:
        explicit Probe(Display* display);
        ~Probe();
        Probe(const Probe&) = delete;
        Probe& operator=(const Probe&) = delete;
        bool Failed() const { return failed; }

    // Read by the error hooks.
    public:
        Display* display;
        unsigned long first;
        bool failed = false;
        bool borrowed = false;
        Probe* outer;
    };
};

}  // namespace gui
}  // namespace quor
