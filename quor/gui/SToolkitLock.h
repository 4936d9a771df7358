#pragma once
// The one lock of the toolkit's state. Controls are touched by the host's GUI
// thread (editor open and close), the event dispatching thread, the idle
// thread and timer threads; whoever reads or changes a control holds this.
//
// It is recursive, because event handlers open dialogs, create and destroy
// controls and send events, all of which take it again. Order: this lock
// first, then the X display lock (XLockDisplay), never the other way round.
// It is never held while waiting for a thread to stop: a timer or idle call
// in progress may be waiting for it (see SToolkitRelease).

#include <atomic>
#include <mutex>

namespace quor {
namespace gui {

class SToolkitLock {
public:
    static void Lock();
    static void Unlock();
    // Whether the calling thread holds it.
    static bool HeldHere();
    // Gives up every level the calling thread holds and returns how many;
    // Reacquire takes them back.
    static int ReleaseAll();
    static void Reacquire(int levels);
};

// Holds the toolkit lock for one scope.
class SToolkitHold {
public:
    SToolkitHold() { SToolkitLock::Lock(); }
    ~SToolkitHold() { SToolkitLock::Unlock(); }
    SToolkitHold(const SToolkitHold&) = delete;
    SToolkitHold& operator=(const SToolkitHold&) = delete;
};

// Lets go of the toolkit lock for one scope, however deeply the calling
// thread holds it, so that a thread it waits for can finish a call that
// needs the lock. What the caller must not lose meanwhile (a control being
// destroyed) is made unreachable before.
class SToolkitRelease {
public:
    SToolkitRelease() : levels(SToolkitLock::ReleaseAll()) {}
    ~SToolkitRelease() { SToolkitLock::Reacquire(levels); }
    SToolkitRelease(const SToolkitRelease&) = delete;
    SToolkitRelease& operator=(const SToolkitRelease&) = delete;

private:
    int levels;
};

}  // namespace gui
}  // namespace quor
