#include "quor/threading/SThread.h"

#include <sched.h>
#include <time.h>

#include <cerrno>
#include <cmath>
#include <mutex>

namespace quor {
namespace threading {

struct SThread::State {
    std::atomic<bool> stop{false};
    // Held by Start until it has stored everything about the new thread: the
    // routine may stop (and its owner delete) the SThread at once.
    std::mutex gate;
    Routine routine = nullptr;
    void* argument = nullptr;
};

namespace {

// Static TLS: a few bytes of the block glibc keeps for modules loaded later.
// Dynamic TLS would give every host thread that touches it a block of its own
// that outlives the unloaded plug-in, which LeakSanitizer cannot walk.
thread_local SThread::State* current __attribute__((tls_model("initial-exec"))) = nullptr;

// Threads that stopped themselves cannot join themselves; they are kept here
// and joined later. Plain, trivially destructible storage, so that it is still
// usable while other static destructors run at unload.
pthread_mutex_t reapLock = PTHREAD_MUTEX_INITIALIZER;
constexpr int ReapCapacity = 64;
pthread_t reapList[ReapCapacity];
int reapCount = 0;

void Adopt(pthread_t thread)
{
    SThread::ReapFinished(false);
    pthread_mutex_lock(&reapLock);
    bool kept = reapCount < ReapCapacity;
    if (kept) reapList[reapCount++] = thread;
    pthread_mutex_unlock(&reapLock);
    // Only reachable with 64 self-stopped threads still running at once.
    if (!kept) pthread_detach(thread);
}

struct ReapAtUnload {
    ~ReapAtUnload() { SThread::ReapFinished(true); }
} reapAtUnload;

void* Trampoline(void* p)
{
    auto* holder = static_cast<std::shared_ptr<SThread::State>*>(p);
    std::shared_ptr<SThread::State> state = std::move(*holder);
    delete holder;
    { std::lock_guard<std::mutex> wait(state->gate); }
    current = state.get();
    void* result = state->routine(state->argument);
    current = nullptr;
    return result;
}

}  // namespace

SThread::SThread(int priority)
    : routine(nullptr), argument(nullptr), waiting(false), priorityClass(priority), running(false), joinable(false),
      thread()
{
}

SThread::~SThread() { Cancel(); }

int SThread::ChoosePriority(int priorityClass, int min, int max)
{
    if (priorityClass == 2) return min + (max - min) / 2;
    if (priorityClass == 3 || priorityClass == 4) return max;
    return min;
}

bool SThread::Start(Routine r, void* a)
{
    if (running) Cancel();
    // A detached predecessor can no longer be waited for; it was asked to stop.
    routine = r;
    argument = a;
    if (!r || !a) return false;

    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return false;
    int policy = 0;
    if (pthread_attr_getschedpolicy(&attr, &policy) != 0) {
        pthread_attr_destroy(&attr);
        return false;
    }
    int min = sched_get_priority_min(policy);
    int max = sched_get_priority_max(policy);
    if (min < 0 || max < 0) {
        pthread_attr_destroy(&attr);
        return false;
    }
    sched_param param{};
    param.sched_priority = ChoosePriority(priorityClass, min, max);

    // Not make_shared: its type tag is a unique symbol, which would make the
    // library impossible to unload.
    std::shared_ptr<State> next(new State());
    next->routine = r;
    next->argument = a;
    auto* holder = new std::shared_ptr<State>(next);
    std::unique_lock<std::mutex> gate(next->gate);
    pthread_t created;
    bool ok = pthread_attr_setschedpolicy(&attr, SCHED_OTHER) == 0 &&
              pthread_attr_setschedparam(&attr, &param) == 0 &&
              pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_JOINABLE) == 0 &&
              pthread_create(&created, &attr, Trampoline, holder) == 0;
    pthread_attr_destroy(&attr);
    if (!ok) {
        delete holder;
        return false;
    }
    thread = created;
    state = next;
    joinable = true;
    running = true;
    waiting = false;
    // From here on this object may already be gone (see State::gate).
    gate.unlock();
    return true;
}

void SThread::RequestStop()
{
    if (state) state->stop = true;
}

bool SThread::IsCurrent() const { return state && current == state.get(); }

void SThread::Cancel()
{
    if (!running) return;
    running = false;
    RequestStop();
    if (!joinable) return;
    joinable = false;
    // On its own thread the handle may not even be stored yet: use the
    // thread's own identity.
    if (IsCurrent())
        Adopt(pthread_self());
    else
        pthread_join(thread, nullptr);
}

void SThread::Abandon()
{
    if (!running) return;
    running = false;
    RequestStop();
    if (!joinable) return;
    joinable = false;
    Adopt(IsCurrent() ? pthread_self() : thread);
}

void SThread::Detach()
{
    if (!joinable) return;
    joinable = false;
    pthread_detach(thread);
}

void SThread::Wait(int ms)
{
    waiting = true;
    while (waiting) Sleep(ms > 0 ? ms : 1);
}

void SThread::Resume() { waiting = false; }

bool SThread::StopRequested() { return current && current->stop.load(); }

void SThread::Sleep(int ms) { ThreadSleep(ms); }

void SThread::ReapFinished(bool wait)
{
    pthread_t pending[ReapCapacity];
    int count = 0;
    pthread_mutex_lock(&reapLock);
    if (wait) {
        for (int i = 0; i < reapCount; ++i) pending[count++] = reapList[i];
        reapCount = 0;
    } else {
        int kept = 0;
        for (int i = 0; i < reapCount; ++i)
            if (pthread_tryjoin_np(reapList[i], nullptr) != 0) reapList[kept++] = reapList[i];
        reapCount = kept;
    }
    pthread_mutex_unlock(&reapLock);
    // Joined outside the lock: a thread still finishing may adopt another.
    for (int i = 0; i < count; ++i) pthread_join(pending[i], nullptr);
}

void ThreadSleep(int ms)
{
    if (ms <= 0) return;
    timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    nanosleep(&ts, nullptr);
}

int PreciseSleep(double seconds)
{
    // Rejected before conversion: negative, NaN, and values beyond time_t
    // (32 bits on i386) have no defined conversion.
    if (!(seconds >= 0.0) || seconds >= 2147483647.0) return -1;
    timespec ts;
    ts.tv_sec = static_cast<time_t>(seconds);
    long ns = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
    ts.tv_nsec = ns > 999999999L ? 999999999L : ns;
    while (nanosleep(&ts, &ts) != 0) {
        if (errno != EINTR) return -1;
    }
    return 0;
}

}  // namespace threading
}  // namespace quor
