#pragma once
#include <memory>

namespace quor {
namespace gui {
class SControl;
struct SEvent;
}  // namespace gui
namespace threading {

class SThread;

// The thread behind a control's timer: delivers an EVENT_TIMER to the
// control's listeners at once and then every period, on its own thread.
class STimerObject {
public:
    STimerObject();
    // Stops the thread first (see Stop).
    virtual ~STimerObject();
    STimerObject(const STimerObject&) = delete;
    STimerObject& operator=(const STimerObject&) = delete;

    // The shortest period a timer runs with, in milliseconds.
    static constexpr unsigned MinimumPeriod = 1;

    // Replaces a running thread by a new one delivering to control. Events
    // are delivered under the toolkit lock.
    virtual void Start(quor::gui::SControl* control, int number, unsigned period);
    // Ends the thread; no event arrives after Stop returns. Without the
    // toolkit lock it waits until a listener call in progress has returned.
    // Holding the toolkit lock no call can be in progress, and it does not
    // wait: the thread may be waiting for that lock, and ends without
    // delivering once it has it. From the timer thread itself (a listener
    // stopping its own timer) it cannot wait either; the loop ends as soon
    // as that listener returns. Either way the loop touches nothing of this
    // object any more, so the object may be deleted at once. Never called
    // holding a lock other than the toolkit lock that a listener takes (the
    // X display lock included): the wait for that listener would never end.
    virtual void Stop();

    // Delivers the timer event once on the calling thread.
    void Notification();
    // Sleeps one period when a thread exists.
    void Sleep();

    bool Running() const { return running; }
    int Number() const { return number; }
    unsigned Period() const { return period; }
    const quor::gui::SEvent* Event() const { return event; }

    // What the loop works on: its own copy of the event and the running flag,
    // kept alive by the loop until it ends, whatever happens to this object.
    struct Run;

private:
    void EndThread();

    SThread* thread;
    quor::gui::SControl* control;
    quor::gui::SEvent* event;
    int number;
    unsigned period;
    bool running;
    std::shared_ptr<Run> run;
};

}  // namespace threading
}  // namespace quor
