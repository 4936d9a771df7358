#pragma once
// The thread that reads the toolkit's own X connection and dispatches its
// events, so that controls paint and react whatever the host does: most
// Linux hosts never call a window's "_XEventProc", and the message box must
// work before any editor exists.
//
// It waits in poll() on the connection and a wake-up descriptor, and drains
// the queue when either fires. Other threads' round trips read the socket
// too, and the events they find wait in Xlib's queue while the socket stays
// quiet: so whoever lets go of the toolkit lock hands such events over
// (HandOver), and, while windows are on show, the thread also looks at the
// queue once per idle period (22 ms) in case a round trip ran outside the
// lock. Without windows on show it sleeps until something arrives.
//
// Events are dispatched under the toolkit lock, one at a time, through
// SControl::eventProc: exactly what a host calling "_XEventProc" would do,
// and eventProc drops events from any other connection, so nothing is
// delivered twice.

#include <X11/Xlib.h>

namespace quor {
namespace gui {

class SEventDispatcher {
public:
    // Starts the thread for `display` unless it already runs there. Only the
    // toolkit's own connection is served: reading the host's would steal
    // its events. Returns whether the thread runs for `display`.
    static bool Serve(Display* display);
    // Whether the thread serves `display` now: false once it has stopped,
    // asked to or after the server hung up.
    static bool Serving(Display* display);
    // The server dropped `display`: the thread stops serving it (without
    // waiting for it, from any thread, the dispatching one included). The
    // next Serve reaps it and starts another for a new connection.
    static void Abandon(Display* display);
    // A window goes on show (true) or off (false): while none is, the thread
    // sleeps without a timeout and so never wakes by itself.
    static void Attend(bool shown);
    static int Attending();
    // Ends the thread and waits for it (at unload, before the connection is
    // closed). Never call it holding the toolkit lock.
    static void Shutdown();
    // Makes the thread look at the queue now.
    static void Wake();
    // Flushes the connection's output and wakes the thread when events wait
    // in the queue or in the socket; for threads other than the dispatching
    // one, as they let go of the toolkit lock (their round trips may have
    // queued events). Sends no request of its own.
    static void HandOver();
    // Whether the caller is the dispatching thread.
    static bool OnDispatchThread();
    // Whether the thread has been asked to end: an event loop nested in one
    // of its handlers (a modal dialog) must return then.
    static bool Stopping();
    // For an event loop nested on any thread that reads the connection
    // itself (a modal loop): lets the toolkit lock go while it waits up to
    // `ms` for the connection. False when the loop must end: unload stopping
    // the dispatching thread, a failed wait, or a connection the server
    // dropped (Xlib would end the process on the next read).
    static bool WaitNested(Display* display, int ms);
    // Waits until every event that reached the queue before the call has
    // been dispatched; for tests and for callers that must see their own
    // requests handled. False after the timeout or when nothing is served.
    static bool Settle(int timeoutMs);
};

}  // namespace gui
}  // namespace quor
