#pragma once
// The control base as far as timers, idle functions and listeners need it.
// The windowing and drawing parts of the control are added on top of this.

#include <X11/X.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "quor/gui/SEvent.h"

class SGlobals;

namespace quor {
namespace threading {
class STimer;
class STimerIdle;
}  // namespace threading
namespace gui {

// Style bits (only those this part of the control sets).
enum : uint32_t { SCS_TIMER = 0x100000 };

class SControl {
public:
    explicit SControl(SGlobals* globals = nullptr);
    virtual ~SControl();
    SControl(const SControl&) = delete;
    SControl& operator=(const SControl&) = delete;

    // Stops and frees timers and the idle timer; marks the control as being
    // destroyed, so that timer threads deliver nothing more. Idempotent.
    // Stopping waits for a listener or idle call in progress: never call it
    // holding a lock those calls take (the X display lock included). A derived
    // control that receives its own timer's events calls it from its own
    // destructor: once only this base is left, a timer thread could still
    // reach the derived ParseEvent.
    virtual void CleanUp();

    // Listener lists, one per event type 0..12; other types are ignored.
    // A list must not change while a timer of this control delivers from
    // another thread: subscribe before starting the timer.
    void AddEventListener(SControl* listener, int type);
    void RemoveEventListener(SControl* listener, int type);
    void EnableEventHandler(int type);
    void DisableEventHandler(int type);
    bool EventHandled(int type) const;
    // Calls each listener's ParseEvent for the event's type in subscription
    // order on the calling thread, with the event's mutex (if any) held
    // around each call. Ignores null events.
    void SendEvent(SEvent* e);

    virtual void ParseEvent(SEvent*) {}
    virtual void TimerProc(int) {}

    // The control's own timer.
    virtual void CreateTimer(int interval, bool start);
    virtual void StartTimer(int interval);
    virtual void StopTimer(bool destroy);
    // The control's handle on the process-wide idle thread.
    virtual void CreateIdleTimer(int interval, bool start);
    virtual void DestroyIdleTimer();
    virtual void CreateIdleFunction(void (**function)(void*), void* argument);
    virtual void DestroyIdleFunction();

    bool Destroying() const { return destroying.load(); }
    // The control's own X window; 0 while it has none.
    Window GetWindow() const { return window; }
    uint32_t Style() const { return style; }
    uint32_t TimerId() const { return timerId; }
    quor::threading::STimer* Timer() const { return timer; }
    quor::threading::STimerIdle* IdleTimer() const { return idleTimer; }

protected:
    SGlobals* globals;
    uint32_t timerId;
    uint32_t style;
    std::vector<SControl*> listeners[EVENT_SLOTS];
    bool handled[EVENT_SLOTS];
    SEvent event;
    quor::threading::STimer* timer;
    quor::threading::STimerIdle* idleTimer;
    // Read by timer threads.
    std::atomic<bool> destroying;
    bool cleanedUp;
    Window window;
};

}  // namespace gui
}  // namespace quor
