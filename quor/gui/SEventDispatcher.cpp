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

#include "quor/gui/SConnectionWatch.h"
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
    std::mutex lock;  // guards the fields below but the atomics
    std::condition_variable settled;
    Display* display = nullptr;
    pthread_t thread{};
    // A thread was started and not yet joined.
    bool joinable = false;
    // The thread serves `display`: set when started, cleared when it has
    // ended its loop (asked to, or on its own after a hang-up).
    bool running = false;
    // The wake-up descriptor; written only under `lock`, closed only once
    // the thread is joined, so no write ever reaches a closed (and perhaps
    // reused) descriptor.
    int wake = -1;
    std::atomic<bool> stop{false};
    // Which thread is the current one: a thread left to end by itself (its
    // connection lost) no longer is, and changes nothing of its successor's.
    std::atomic<unsigned> generation{0};
    // Threads still inside Loop, the one left to end included.
    int inside = 0;
    // Passes over the queue begun and ended; Settle waits for the end of one
    // that began after its call.
    uint64_t begun = 0;
    uint64_t done = 0;

    Dispatch() { alive.store(true); }
    ~Dispatch();
};

// Windows on show (editors open, dialogs up): only then does the thread also
// look at the queue once per idle period. Without any it sleeps until the
// socket or the wake-up descriptor has something.
std::atomic<int> attending{0};

Dispatch& dispatch()
{
    static Dispatch d;
    return d;
}

// With d.lock held.
void WakeLocked(Dispatch& d)
{
    if (d.wake < 0) return;
    uint64_t one = 1;
    ssize_t n = write(d.wake, &one, sizeof one);
    (void)n;
}

void Drain(Display* display)
{
    // XPending flushes and reads what the socket holds without blocking;
    // XNextEvent then never waits.
    while (!dispatch().stop.load(std::memory_order_relaxed) && XPending(display) > 0) {
        // Taken off the queue under the lock: whoever holds it knows that
        // every event is either handled or still queued
        // (SControl::CollectDestroyed relies on it). Another thread may have
        // emptied the queue meanwhile, and XNextEvent must not wait here.
        SToolkitHold hold;
        if (XEventsQueued(display, QueuedAlready) <= 0) continue;
        XEvent event;
        XNextEvent(display, &event);
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
    int wake;
    unsigned mine;
    {
        std::lock_guard<std::mutex> guard(d.lock);
        wake = d.wake;  // stays open until every thread has left this loop
        mine = d.generation.load(std::memory_order_relaxed);
    }
    auto current = [&] {
        return !d.stop.load(std::memory_order_acquire) && d.generation.load(std::memory_order_acquire) == mine;
    };
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {wake, POLLIN, 0}};
    while (current()) {
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
        if (!current()) break;
        if (XEventsQueued(display, QueuedAlready) > 0) continue;
        fds[0].revents = fds[1].revents = 0;
        const int timeout = attending.load(std::memory_order_acquire) > 0 ? idlePeriodMs : -1;
        int ready = poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR) break;
        if (fds[1].revents & POLLIN) {
            uint64_t count;
            ssize_t n = read(wake, &count, sizeof count);
            (void)n;
        }
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // The server has dropped the connection. A round trip lets Xlib
            // see it, which marks the connection dead (see SConnectionWatch);
            // a mere look would not read while events wait in the queue.
            // Then nothing here touches it again.
            if (!(fds[0].revents & POLLNVAL)) XSync(display, False);
            break;
        }
    }
    {
        std::lock_guard<std::mutex> guard(d.lock);
        if (d.generation.load(std::memory_order_relaxed) == mine) d.running = false;
        --d.inside;
        d.settled.notify_all();
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
    if (d.running && !d.stop.load(std::memory_order_acquire)) return d.display == display;
    if (d.joinable) {
        // A thread that has ended is reaped at once. One still ending (its
        // connection was lost) may be waiting for the toolkit lock that our
        // caller holds: it is left to end by itself, as no longer current.
        if (d.running) {
            pthread_detach(d.thread);
        } else {
            pthread_join(d.thread, nullptr);
        }
        d.joinable = false;
        d.running = false;
    }
    if (d.wake < 0) d.wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (d.wake < 0) return false;
    d.generation.fetch_add(1, std::memory_order_acq_rel);
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
    ++d.inside;
    d.joinable = true;
    d.running = true;
    return true;
}

bool SEventDispatcher::Serving(Display* display)
{
    if (!alive.load()) return false;
    Dispatch& d = dispatch();
    std::lock_guard<std::mutex> guard(d.lock);
    return d.running && !d.stop.load(std::memory_order_acquire) && display && d.display == display;
}

void SEventDispatcher::Abandon(Display* display)
{
    if (!alive.load() || !display) return;
    Dispatch& d = dispatch();
    std::lock_guard<std::mutex> guard(d.lock);
    if (d.display != display || !d.joinable) return;
    d.stop.store(true, std::memory_order_release);
    WakeLocked(d);
    d.settled.notify_all();
}

void SEventDispatcher::Shutdown()
{
    if (!alive.load()) return;
    Dispatch& d = dispatch();
    pthread_t thread{};
    bool join = false;
    {
        std::lock_guard<std::mutex> guard(d.lock);
        if (d.joinable) {
            thread = d.thread;
            join = !pthread_equal(thread, pthread_self());
            d.joinable = false;
        }
        d.stop.store(true, std::memory_order_release);
        WakeLocked(d);
    }
    if (join) pthread_join(thread, nullptr);
    std::unique_lock<std::mutex> guard(d.lock);
    // A thread left to end by itself after its connection was lost reads the
    // descriptor too.
    if (!onDispatchThread) d.settled.wait(guard, [&d] { return d.inside == 0; });
    d.running = false;
    d.display = nullptr;
    if (d.wake >= 0) close(d.wake);
    d.wake = -1;
    d.settled.notify_all();
}

void SEventDispatcher::Wake()
{
    if (!alive.load()) return;
    Dispatch& d = dispatch();
    std::lock_guard<std::mutex> guard(d.lock);
    WakeLocked(d);
}

void SEventDispatcher::Attend(bool shown)
{
    attending.fetch_add(shown ? 1 : -1, std::memory_order_acq_rel);
    // A thread asleep without a timeout takes the new one.
    Wake();
}

int SEventDispatcher::Attending() { return attending.load(std::memory_order_acquire); }

void SEventDispatcher::HandOver()
{
    if (onDispatchThread || !alive.load()) return;
    Dispatch& d = dispatch();
    Display* display;
    {
        std::lock_guard<std::mutex> guard(d.lock);
        if (!d.running || d.stop.load(std::memory_order_acquire)) return;
        display = d.display;
    }
    if (SConnectionWatch::Dead(display)) return;
    // Flushes what the caller asked for (the thread no longer passes by
    // every idle period to do it), and also takes what xcb has read but
    // Xlib not yet queued, which QueuedAlready does not see.
    if (XEventsQueued(display, QueuedAfterFlush) <= 0) return;
    std::lock_guard<std::mutex> guard(d.lock);
    if (d.running) WakeLocked(d);
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
        if (!d.running || d.stop.load(std::memory_order_acquire)) return false;
        display = d.display;
    }
    if (SConnectionWatch::Dead(display)) return false;
    // A round trip: whatever the server sent us before now is in the queue.
    XSync(display, False);
    uint64_t target;
    {
        std::lock_guard<std::mutex> guard(d.lock);
        target = d.begun + 1;
        WakeLocked(d);
    }
    std::unique_lock<std::mutex> guard(d.lock);
    return d.settled.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&] { return !d.running || d.done >= target; }) &&
           d.running;
}

bool SEventDispatcher::WaitNested(Display* display, int ms)
{
    if (OnDispatchThread() && Stopping()) return false;
    SToolkitRelease release;
    pollfd p = {ConnectionNumber(display), POLLIN, 0};
    const int ready = poll(&p, 1, ms);
    if (ready < 0 && errno != EINTR) return false;
    return !(p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

}  // namespace gui
}  // namespace quor
