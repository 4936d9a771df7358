#pragma once
// The one lock of the toolkit's state. Controls are touched by the host's GUI
// thread (editor open and close), the event dispatching thread, the idle
// thread and timer threads; whoever reads or changes a control holds this.
//
// It is recursive, because event handlers open dialogs, create and destroy
// controls and send events, all of which take it again. Order: this lock
// first, then the X display lock (XLockDisplay), never the other way round.
// Timer events and idle calls run under it, so whoever holds it stops or
// replaces them without waiting for their threads, and keeps it meanwhile.

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
// thread holds it: every caller further up loses its exclusion meanwhile.
// Only for the modal loops (SWindow::Loop, SDialog::RunModal), which by
// their nature let the other threads run until they end; nothing else may
// use it.
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
