#pragma once
#include <vector>

namespace quor {
namespace gui {
class SControl;
}
namespace threading {

// One registered idle function: the slot holding the function pointer and
// the argument it is called with.
struct SIdleData {
    void* argument;
    void (**function)(void*);

    bool operator==(const SIdleData& other) const
    {
        return argument == other.argument && function == other.function;
    }
};

// A control's handle on the process-wide idle thread, which calls every
// registered idle function in turn, once per period.
//
// The first STimerIdle starts the thread; its period (at least 1 ms) is
// copied into the process-wide state, so the thread never reads an STimerIdle (several plug-in
// instances come and go in one process). Passes over the registered functions
// and changes to them are serialised. An idle function runs under the toolkit
// lock (and under no other), so it may take the X display lock and may
// register or remove idle functions itself; and whoever holds the toolkit
// lock may remove one without waiting.
class STimerIdle {
public:
    STimerIdle(quor::gui::SControl* control, int number, int period, bool flag);
    // Removes its own function; stops the thread when no function is left.
    ~STimerIdle();
    STimerIdle(const STimerIdle&) = delete;
    STimerIdle& operator=(const STimerIdle&) = delete;

    // Records and registers (argument, function), replacing a pair recorded
    // before; starts the thread again with this object's period when an
    // earlier STimerIdle stopped it.
    void SetFunction(void (**function)(void*), void* argument);
    // Removes the recorded pair. Once this returns, the function is not
    // running on the idle thread and will not be called again (unless called
    // from an idle function itself, which cannot wait for its own call).
    // Must not be called while holding a lock other than the toolkit lock
    // that an idle function takes (the X display lock included).
    void RemoveFunction();

    // The idle thread's routine; returns at once for a null argument.
    static void* timercallback(void* idle);

    // The process-wide list: add unless present (true when added), remove
    // the first equal entry (true when removed; waits as RemoveFunction).
    static bool Register(void* argument, void (**function)(void*));
    static bool Unregister(void* argument, void (**function)(void*));

    static std::vector<SIdleData> Entries();
    static bool ThreadRunning();
    static int ThreadPeriod();
    static bool OnIdleThread();

    quor::gui::SControl* Control() const { return control; }
    void (**Function() const)(void*) { return function; }
    void* Argument() const { return argument; }
    int Number() const { return number; }
    int Period() const { return period; }
    bool Flag() const { return flag; }

private:
    quor::gui::SControl* control;
    void (**function)(void*);
    void* argument;
    int number;
    int period;
    bool flag;
};

}  // namespace threading
}  // namespace quor
