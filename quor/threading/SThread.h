#pragma once
#include <pthread.h>

#include <atomic>
#include <memory>

namespace quor {
namespace threading {

// A thread with a priority class. Threads are stopped cooperatively, never
// cancelled: a thread cancelled inside an Xlib call would leave the display
// lock held and deadlock the host's GUI thread. A routine that runs for long
// polls StopRequested() (or a flag of its own) and returns when asked.
//
// Threads are created joinable, not detached: joining is the only way to know
// that a thread has left the library's code entirely, which the library needs
// before it frees what the thread uses and before it is unloaded.
class SThread {
public:
    using Routine = void* (*)(void*);

    explicit SThread(int priority = 0);
    // Requests a stop and waits for the thread to end (see Cancel).
    ~SThread();
    SThread(const SThread&) = delete;
    SThread& operator=(const SThread&) = delete;

    // Starts routine(argument) on a new thread; a running thread is stopped
    // first. Null routine or argument: nothing is started. Failures leave
    // Running() false and return false. The routine may stop the thread and
    // delete this object at once; the caller must not touch the object after
    // a successful Start unless it knows the routine does neither.
    bool Start(Routine routine, void* argument);
    // Asks the thread to stop without waiting for it.
    void RequestStop();
    // Asks the thread to stop and waits until it has ended. Called on the
    // thread itself it cannot wait: the thread is handed over to be joined
    // later (at the latest when the library is unloaded). Running() becomes
    // false either way.
    void Cancel();
    // Asks the thread to stop and hands it over to be joined later, without
    // waiting: for a caller that holds a lock the thread may need in order
    // to notice the request. Running() becomes false.
    void Abandon();
    // Gives up the handle: the thread can no longer be waited for.
    void Detach();
    // Sets the waiting flag and sleeps ms at a time until Resume clears it.
    void Wait(int ms);
    void Resume();
    void Finalize() {}

    bool Running() const { return running; }
    bool Waiting() const { return waiting.load(); }
    int Priority() const { return priorityClass; }
    // True when called on the thread this object started.
    bool IsCurrent() const;

    // Whether a stop was requested for the calling thread (false on threads
    // not started by an SThread).
    static bool StopRequested();
    static void Sleep(int ms);

    // Scheduling priority for a priority class within [min, max]: class 2
    // the middle, classes 3 and 4 the maximum, all others the minimum.
    static int ChoosePriority(int priorityClass, int min, int max);

    // Joins threads that stopped themselves and have ended. With wait set,
    // waits for all of them (library unload).
    static void ReapFinished(bool wait);

    struct State;  // shared with the running thread

private:
    Routine routine;
    void* argument;
    std::atomic<bool> waiting;
    int priorityClass;
    bool running;
    bool joinable;
    pthread_t thread;
    std::shared_ptr<State> state;
};

// Sleeps ms milliseconds.
void ThreadSleep(int ms);
// Sleeps the given time, resuming with the remaining time after signals.
// 0 on success, -1 on failure (negative or invalid duration included).
int PreciseSleep(double seconds);

}  // namespace threading
}  // namespace quor
