#include "quor/gui/SEventDispatcher.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "quor/gui/SControl.h"
#include "quor/gui/SToolkitLock.h"

namespace quor {
namespace gui {

namespace {

constexpr int idlePeriodMs = 22;

// Static TLS (see SThread.cpp).
thread_local bool onDispatchThread __attribute__((tls_model("initial-exec"))) = false;

// Whether the state below exists: it is made on first use and goes with the
// other static objects at unload, and Shutdown may be called after that.
std::atomic<bool> alive{false};

struct Dispatch {
    std::mutex lock;  // guards the fields below but `stop`
    std::condition_variable settled;
    Display* display = nullptr;
    pthread_t thread{};
    bool running = false;
    int wake = -1;
    std::atomic<bool> stop{false};
    // Passes over the queue begun and ended; Settle waits for the end of one
    // that began after its call.
    uint64_t begun = 0;
    uint64_t done = 0;

    Dispatch() { alive.store(true); }
    ~Dispatch();
};

Dispatch& dispatch()
{
    static Dispatch d;
    return d;
}

void Drain(Display* display)
{
    // XPending flushes and reads what the socket holds without blocking;
    // XNextEvent then never waits.
    while (!dispatch().stop.load(std::memory_order_relaxed) && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        SToolkitHold hold;
        SControl::eventProc(&event);
    }
}

void* Loop(void* argument)
{
    Display* display = static_cast<Display*>(argument);
    Dispatch& d = dispatch();
    onDispatchThread = true;
    // Named so that its share of the host's CPU can be told apart (top -H,
    // the editor benchmark).
    pthread_setname_np(pthread_self(), "bw-dispatch");
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {d.wake, POLLIN, 0}};
    while (!d.stop.load(std::memory_order_acquire)) {
        uint64_t pass;
        {
            std::lock_guard<std::mutex> guard(d.lock);
            pass = ++d.begun;
        }
        Drain(display);
        {
            std::lock_guard<std::mutex> guard(d.lock);
            d.done = pass;
        }
        d.settled.notify_all();
        if (XEventsQueued(display, QueuedAlready) > 0) continue;
        fds[0].revents = fds[1].revents = 0;
        int ready = poll(fds, 2, idlePeriodMs);
        if (ready < 0 && errno != EINTR) break;
        if (fds[1].revents & POLLIN) {
            uint64_t count;
            ssize_t n = read(d.wake, &count, sizeof count);
            (void)n;
        }
        // A connection the server has dropped: Xlib would end the process on
        // the next read, so stop reading it.
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) break;
    }
    return nullptr;
}

Dispatch::~Dispatch()
{
    SEventDispatcher::Shutdown();
    alive.store(false);
}

}  // namespace

bool SEventDispatcher::Serve(Display* display)
{
    if (!display) return false;
    Dispatch& d = dispatch();
    std::lock_guard<std::mutex> guard(d.lock);
    if (d.running) return d.display == display;
    if (d.wake < 0) d.wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (d.wake < 0) return false;
    d.stop.store(false, std::memory_order_release);
    d.display = display;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    int failed = pthread_create(&d.thread, &attributes, Loop, display);
    pthread_attr_destroy(&attributes);
    if (failed) {
        d.display = nullptr;
        return false;
    }
    d.running = true;
    return true;
}

bool SEventDispatcher::Serving(Display* display)
{
    if (!alive.load()) return false;
    Dispatch& d = dispatch();
    std::lock_guard<std::mutex> guard(d.lock);
    return d.running && display && d.display == display;
}

void SEventDispatcher::Shutdown()
{
    if (!alive.load()) return;
    Dispatch& d = dispatch();
    pthread_t thread;
    {
        std::lock_guard<std::mutex> guard(d.lock);
        if (!d.running) {
            if (d.wake >= 0) close(d.wake);
            d.wake = -1;
            return;
        }
        thread = d.thread;
        d.running = false;
        d.stop.store(true, std::memory_order_release);
    }
    Wake();
    if (!pthread_equal(thread, pthread_self())) pthread_join(thread, nullptr);
    std::lock_guard<std::mutex> guard(d.lock);
    d.display = nullptr;
    if (d.wake >= 0) close(d.wake);
    d.wake = -1;
    d.settled.notify_all();
}

void SEventDispatcher::Wake()
{
    if (!alive.load()) return;
    Dispatch& d = dispatch();
    int fd;
    {
        std::lock_guard<std::mutex> guard(d.lock);
        fd = d.wake;
    }
    if (fd < 0) return;
    uint64_t one = 1;
    ssize_t n = write(fd, &one, sizeof one);
    (void)n;
}

void SEventDispatcher::HandOver()
{
    if (onDispatchThread || !alive.load()) return;
    Dispatch& d = dispatch();
    Display* display;
    int fd;
    {
        std::lock_guard<std::mutex> guard(d.lock);
        if (!d.running) return;
        display = d.display;
        fd = d.wake;
    }
    // QueuedAfterReading also takes what xcb has read but Xlib not yet
    // queued, which QueuedAlready does not see.
    if (XEventsQueued(display, QueuedAfterReading) <= 0) return;
    uint64_t one = 1;
    ssize_t n = write(fd, &one, sizeof one);
    (void)n;
}

bool SEventDispatcher::OnDispatchThread() { return onDispatchThread; }

bool SEventDispatcher::Stopping()
{
    if (!alive.load()) return true;
    return dispatch().stop.load(std::memory_order_acquire);
}

bool SEventDispatcher::Settle(int timeoutMs)
{
    Dispatch& d = dispatch();
    if (onDispatchThread) return false;
    Display* display;
    {
        std::lock_guard<std::mutex> guard(d.lock);
        if (!d.running) return false;
        display = d.display;
    }
    // A round trip: whatever the server sent us before now is in the queue.
    XSync(display, False);
    uint64_t target;
    {
        std::lock_guard<std::mutex> guard(d.lock);
        target = d.begun + 1;
    }
    Wake();
    std::unique_lock<std::mutex> guard(d.lock);
    return d.settled.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&] { return !d.running || d.done >= target; }) &&
           d.running;
}

}  // namespace gui
}  // namespace quor
