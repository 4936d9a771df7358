#include "quor/gui/SXErrorTrap.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "quor/gui/SControl.h"

// Last: it defines min and max as macros.
#include <X11/Xlibint.h>
#undef min
#undef max

namespace quor {
namespace gui {

namespace {

std::atomic<uint64_t> trapped{0};

struct Hooked {
    std::mutex lock;
    std::vector<Display*> displays;
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

// Xlib hands the hook the error as it came off the wire.
int Hook(Display* display, xError* wire, XExtCodes*, int* result)
{
    *result = 0;
    // The full serial of the failed request: the wire carries its low 16
    // bits, the connection knows the rest.
    unsigned long last = LastKnownRequestProcessed(display);
    unsigned long serial = (last & ~0xFFFFul) | wire->sequenceNumber;
    if (serial > last) serial -= 0x10000;
    {
        std::lock_guard<std::mutex> guard(probeLock);
        for (SXErrorTrap::Probe* p = probes; p; p = p->outer) {
            if (p->display == display && serial >= p->first) {
                p->failed = true;
                return 1;
            }
        }
    }
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
    return 1;  // handled: the process-wide handler is not called
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
    for (Display* d : h.displays)
        if (d == display) return;
    XExtCodes* codes = XAddExtension(display);
    if (!codes) return;
    XESetError(display, codes->extension, Hook);
    h.displays.push_back(display);
}

bool SXErrorTrap::Installed(Display* display)
{
    Hooked& h = hooked();
    std::lock_guard<std::mutex> guard(h.lock);
    for (Display* d : h.displays)
        if (d == display) return true;
    return false;
}

uint64_t SXErrorTrap::Count() { return trapped.load(std::memory_order_relaxed); }

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
