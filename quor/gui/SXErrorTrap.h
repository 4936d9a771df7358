#pragma once
// X errors on the toolkit's own connection never reach the process-wide error
// handler. Xlib's default handler ends the process on any error, and the
// process is a host that has no idea we exist; swapping the process-wide
// handler around our requests would race with the host's own threads. Xlib
// asks a connection's asynchronous reply handlers about every error before
// any error handler, so one such handler, installed for good, catches them.
//
// Every error so trapped is counted and printed as one "XError Message: "
// line, except errors of requests made inside a Probe: those are expected
// answers (a window that may be gone) and only set the probe's flag; and
// errors about a window of ours that another client destroyed before we
// knew, which are no fault either (SWindowRegistry::Gone). A fault
// that repeats would otherwise fill the host's log: from one editor opening
// to the next at most LogLines lines are printed, and the rest are summed up
// in one line when the editor closes.

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

    static constexpr int LogLines = 10;
    // An editor opens: the log's budget starts again.
    static void BeginLog();
    // The editor closes: one line with the count of the errors not printed
    // since BeginLog, if there were any.
    static void EndLog();
    // For the error handler: counts the error and says whether it gets its
    // line.
    static bool Admit();

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
