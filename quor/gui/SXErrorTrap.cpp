#include "quor/gui/SXErrorTrap.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "quor/gui/SControl.h"
#include "quor/gui/SWindowRegistry.h"

// Last: it defines min and max as macros.
#include <X11/Xlibint.h>
#undef min
#undef max

namespace quor {
namespace gui {

namespace {

std::atomic<uint64_t> trapped{0};

// The log's budget since the last BeginLog.
std::mutex logLock;
int logged = 0;
uint64_t unlogged = 0;

struct Trap {
    Display* display;
    std::unique_ptr<_XAsyncHandler> handler;
};

struct Hooked {
    std::mutex lock;
    std::vector<Trap> traps;
};

Hooked& hooked()
{
    static Hooked h;
    return h;
}

// Probes in progress, innermost first. Errors are read on whichever thread
// happens to read the connection, so the list is shared, not per thread.
std::mutex probeLock;
SXErrorTrap::Probe* probes = nullptr;

// A window of ours that another client destroyed: requests sent to it before
// we read its DestroyNotify fail. The server sends the notification before
// any such error, so it is in the queue now or has been handled. The queue is
// read under the display's lock, which Xlib holds while it calls the hook.
bool DestroyedByOthers(Display* display, const xError* wire)
{
    if (wire->errorCode != BadWindow && wire->errorCode != BadDrawable) return false;
    const Window window = wire->resourceID;
    if (SWindowRegistry::WasGone(display, window)) return true;
    for (const _XQEvent* q = display->head; q; q = q->next)
        if (q->event.type == DestroyNotify && q->event.xdestroywindow.window == window) return true;
    return false;
}

// Every error of the connection passes here before any error handler: Xlib
// asks its asynchronous reply handlers first, on both of the paths an error
// can arrive by (while a request waits for its reply, and among the events).
// An extension's error hook would only see the first. Xlib has just recorded
// the failed request's serial as the last one read.
Bool Hook(Display* display, xReply* reply, char*, int, XPointer)
{
    if (reply->generic.type != X_Error) return False;
    const xError* wire = reinterpret_cast<const xError*>(reply);
    const unsigned long serial = LastKnownRequestProcessed(display);
    {
        std::lock_guard<std::mutex> guard(probeLock);
        for (SXErrorTrap::Probe* p = probes; p; p = p->outer) {
            if (p->display == display && serial >= p->first) {
                p->failed = true;
                return True;
            }
        }
    }
    if (DestroyedByOthers(display, wire)) return True;
    XErrorEvent event = {};
    event.type = 0;
    event.display = display;
    event.resourceid = wire->resourceID;
    event.serial = serial;
    event.error_code = wire->errorCode;
    event.request_code = wire->majorCode;
    event.minor_code = static_cast<unsigned char>(wire->minorCode);
    trapped.fetch_add(1, std::memory_order_relaxed);
    SControl::errorHandler(display, &event);
    return True;  // handled: no error handler is called
}

// On a connection without the hook (the host's, used only when ours could not
// be opened) a probe has to borrow the process-wide handler for its duration.
std::mutex borrowLock;
XErrorHandler borrowedFrom = nullptr;
int borrowCount = 0;

int BorrowedHandler(Display* display, XErrorEvent* event)
{
    {
        std::lock_guard<std::mutex> guard(probeLock);
        for (SXErrorTrap::Probe* p = probes; p; p = p->outer) {
            if (p->display == display && event->serial >= p->first) {
                p->failed = true;
                return 0;
            }
        }
    }
    XErrorHandler previous;
    {
        std::lock_guard<std::mutex> guard(borrowLock);
        previous = borrowedFrom;
    }
    return previous ? previous(display, event) : 0;
}

void Borrow()
{
    std::lock_guard<std::mutex> guard(borrowLock);
    if (borrowCount++ == 0) borrowedFrom = XSetErrorHandler(BorrowedHandler);
}

void GiveBack()
{
    std::lock_guard<std::mutex> guard(borrowLock);
    if (--borrowCount == 0) {
        XSetErrorHandler(borrowedFrom);
        borrowedFrom = nullptr;
    }
}

}  // namespace

void SXErrorTrap::Install(Display* display)
{
    if (!display) return;
    Hooked& h = hooked();
    std::lock_guard<std::mutex> guard(h.lock);
    for (const Trap& t : h.traps)
        if (t.display == display) return;
    std::unique_ptr<_XAsyncHandler> handler(new _XAsyncHandler());
    handler->handler = Hook;
    handler->data = nullptr;
    LockDisplay(display);
    handler->next = display->async_handlers;
    display->async_handlers = handler.get();
    UnlockDisplay(display);
    h.traps.push_back(Trap{display, std::move(handler)});
}

void SXErrorTrap::Forget(Display* display)
{
    Hooked& h = hooked();
    std::lock_guard<std::mutex> guard(h.lock);
    for (size_t i = 0; i < h.traps.size(); ++i) {
        if (h.traps[i].display != display) continue;
        h.traps.erase(h.traps.begin() + static_cast<long>(i));
        return;
    }
}

bool SXErrorTrap::Installed(Display* display)
{
    Hooked& h = hooked();
    std::lock_guard<std::mutex> guard(h.lock);
    for (const Trap& t : h.traps)
        if (t.display == display) return true;
    return false;
}

uint64_t SXErrorTrap::Count() { return trapped.load(std::memory_order_relaxed); }

void SXErrorTrap::BeginLog()
{
    std::lock_guard<std::mutex> guard(logLock);
    logged = 0;
    unlogged = 0;
}

void SXErrorTrap::EndLog()
{
    uint64_t quiet;
    int shown;
    {
        std::lock_guard<std::mutex> guard(logLock);
        quiet = unlogged;
        shown = logged;
        logged = 0;
        unlogged = 0;
    }
    if (quiet)
        fprintf(stderr, "XError Message: %llu more X errors not shown (%llu since the editor opened)\n",
                static_cast<unsigned long long>(quiet), static_cast<unsigned long long>(quiet + shown));
}

bool SXErrorTrap::Admit()
{
    std::lock_guard<std::mutex> guard(logLock);
    if (logged < LogLines) {
        ++logged;
        return true;
    }
    ++unlogged;
    return false;
}

// The display stays locked for the probe's lifetime, so that requests of
// other threads cannot fall inside its range of serials.
SXErrorTrap::Probe::Probe(Display* d) : display(d), first(0), outer(nullptr)
{
    if (display) {
        XLockDisplay(display);
        first = NextRequest(display);
        borrowed = !Installed(display);
        if (borrowed) Borrow();
    }
    std::lock_guard<std::mutex> guard(probeLock);
    outer = probes;
    probes = this;
}

SXErrorTrap::Probe::~Probe()
{
    // Errors of asynchronous requests made inside arrive later; a round trip
    // collects them while this probe still claims them.
    if (display) XSync(display, False);
    {
        std::lock_guard<std::mutex> guard(probeLock);
        for (Probe** p = &probes; *p; p = &(*p)->outer) {
            if (*p == this) {
                *p = outer;
                break;
            }
        }
    }
    if (!display) return;
    if (borrowed) GiveBack();
    XUnlockDisplay(display);
}

}  // namespace gui
}  // namespace quor
