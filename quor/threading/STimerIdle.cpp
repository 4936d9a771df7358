#include "quor/threading/STimerIdle.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "quor/gui/SToolkitLock.h"
#include "quor/threading/SThread.h"

namespace quor {
namespace threading {

namespace {

// Static TLS (see SThread.cpp).
thread_local bool onIdleThread __attribute__((tls_model("initial-exec"))) = false;

struct IdleState {
    std::mutex lock;
    // Signalled when an idle call ends and when the thread is asked to stop.
    std::condition_variable changed;
    std::vector<SIdleData> idledata;
    SThread* idlethread = nullptr;
    bool idletimerrunning = false;
    SThread::Routine idlethreadfunc = nullptr;
    int idleperiod = 0;
    // Entries being called right now. Usually one; two only while a thread
    // that stopped itself finishes its last call and its successor runs.
    std::vector<SIdleData> calling;

    // At unload: the thread has ended before anything here is freed.
    ~IdleState();
};

IdleState& Idle()
{
    static IdleState state;
    return state;
}

// With the lock held.
void StartThread(IdleState& s, int period, void* argument)
{
    if (s.idletimerrunning) return;
    // A period of 0 or less would turn the wait between passes into a spin.
    s.idleperiod = period > 0 ? period : 1;
    s.idlethreadfunc = STimerIdle::timercallback;
    s.idlethread = new SThread(2);
    // Safe to look at afterwards: the thread cannot stop itself while the
    // caller holds the lock.
    if (s.idlethread->Start(s.idlethreadfunc, argument)) {
        s.idletimerrunning = true;
    } else {
        delete s.idlethread;
        s.idlethread = nullptr;
    }
}

// Stops the thread (only when no function is left, unless forced) and waits
// for it to end, except on the idle thread itself.
void StopThread(IdleState& s, bool force)
{
    SThread* thread;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (!s.idletimerrunning || (!force && !s.idledata.empty())) return;
        thread = s.idlethread;
        s.idlethread = nullptr;
        s.idletimerrunning = false;
        thread->RequestStop();
        s.changed.notify_all();
    }
    // Outside the lock: the thread needs it to finish its pass. Holding the
    // toolkit lock the thread may be waiting for that to make a call: it is
    // left to end by itself, which it does without making the call.
    if (quor::gui::SToolkitLock::HeldHere())
        thread->Abandon();
    else
        thread->Cancel();
    delete thread;
}

IdleState::~IdleState()
{
    StopThread(*this, true);
    SThread::ReapFinished(true);
}

bool IsCalling(const IdleState& s, const SIdleData& entry)
{
    return std::find(s.calling.begin(), s.calling.end(), entry) != s.calling.end();
}

}  // namespace

STimerIdle::STimerIdle(quor::gui::SControl* c, int n, int p, bool f)
    : control(c), function(nullptr), argument(nullptr), number(n), period(p), flag(f)
{
    IdleState& s = Idle();
    std::lock_guard<std::mutex> guard(s.lock);
    StartThread(s, period, this);
}

STimerIdle::~STimerIdle()
{
    RemoveFunction();
    StopThread(Idle(), false);
}

void STimerIdle::SetFunction(void (**f)(void*), void* a)
{
    if (function && !(f == function && a == argument)) RemoveFunction();
    function = f;
    argument = a;
    Register(a, f);
    IdleState& s = Idle();
    std::lock_guard<std::mutex> guard(s.lock);
    StartThread(s, period, this);
}

void STimerIdle::RemoveFunction()
{
    if (!function) return;
    Unregister(argument, function);
    function = nullptr;
    argument = nullptr;
}

bool STimerIdle::Register(void* a, void (**f)(void*))
{
    IdleState& s = Idle();
    SIdleData entry{a, f};
    std::lock_guard<std::mutex> guard(s.lock);
    if (std::find(s.idledata.begin(), s.idledata.end(), entry) != s.idledata.end()) return false;
    s.idledata.push_back(entry);
    s.changed.notify_all();
    return true;
}

bool STimerIdle::Unregister(void* a, void (**f)(void*))
{
    IdleState& s = Idle();
    SIdleData entry{a, f};
    std::unique_lock<std::mutex> lock(s.lock);
    auto it = std::find(s.idledata.begin(), s.idledata.end(), entry);
    bool removed = it != s.idledata.end();
    if (removed) s.idledata.erase(it);
    // An idle function removing itself cannot wait for its own call; and
    // holding the toolkit lock, under which every call runs, no call is in
    // progress (the idle thread may be waiting for that lock to make one,
    // and finds the entry gone once it has it).
    if (!onIdleThread && !quor::gui::SToolkitLock::HeldHere()) s.changed.wait(lock, [&s, &entry] { return !IsCalling(s, entry); });
    return removed;
}

std::vector<SIdleData> STimerIdle::Entries()
{
    IdleState& s = Idle();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.idledata;
}

bool STimerIdle::ThreadRunning()
{
    IdleState& s = Idle();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.idletimerrunning;
}

int STimerIdle::ThreadPeriod()
{
    IdleState& s = Idle();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.idleperiod;
}

bool STimerIdle::OnIdleThread() { return onIdleThread; }

void* STimerIdle::timercallback(void* idle)
{
    if (!idle) return nullptr;
    onIdleThread = true;
    // Named like the dispatch thread, for the same reason.
    pthread_setname_np(pthread_self(), "bw-idle");
    IdleState& s = Idle();
    std::unique_lock<std::mutex> lock(s.lock);
    while (!SThread::StopRequested()) {
        size_t i = 0;
        while (i < s.idledata.size() && !SThread::StopRequested()) {
            SIdleData entry = s.idledata[i];
            if (!entry.function || !*entry.function) {
                ++i;
                continue;
            }
            lock.unlock();
            {
                // Calls run under the toolkit lock, taken before the list's,
                // so that whoever holds it may remove a function without
                // waiting for a call in progress.
                quor::gui::SToolkitHold hold;
                lock.lock();
                void (*call)(void*) = nullptr;
                if (!SThread::StopRequested() &&
                    std::find(s.idledata.begin(), s.idledata.end(), entry) != s.idledata.end())
                    call = *entry.function;
                if (call) {
                    s.calling.push_back(entry);
                    lock.unlock();
                    call(entry.argument);
                    lock.lock();
                    s.calling.erase(std::find(s.calling.begin(), s.calling.end(), entry));
                    s.changed.notify_all();
                }
                // The list's lock goes before the toolkit lock does.
                lock.unlock();
            }
            lock.lock();
            // The call may have changed the list: go on after the entry just
            // served, or at the same index when it was removed.
            auto it = std::find(s.idledata.begin(), s.idledata.end(), entry);
            if (it != s.idledata.end()) i = static_cast<size_t>(it - s.idledata.begin()) + 1;
            else if (i > s.idledata.size()) i = s.idledata.size();
        }
        if (SThread::StopRequested()) break;
        // Nothing to call: no timeout, no wake-up, until a function comes;
        // then its first call a period later, as from a running timer.
        if (s.idledata.empty()) {
            s.changed.wait(lock, [&s] { return SThread::StopRequested() || !s.idledata.empty(); });
            if (SThread::StopRequested()) break;
        }
        s.changed.wait_for(lock, std::chrono::milliseconds(s.idleperiod), [] { return SThread::StopRequested(); });
    }
    onIdleThread = false;
    return nullptr;
}

}  // namespace threading
}  // namespace quor
