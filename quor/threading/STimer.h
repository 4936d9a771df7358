#pragma once

namespace quor {
namespace gui {
class SControl;
}
namespace threading {

class STimerObject;

// A control's timer: numbered, restartable, owning the object that runs it.
class STimer {
public:
    STimer(quor::gui::SControl* control, unsigned number, unsigned period);
    // Ends the timer; an added timer also leaves its owner's list.
    virtual ~STimer();
    STimer(const STimer&) = delete;
    STimer& operator=(const STimer&) = delete;

    virtual void Start(unsigned period);
    virtual void Stop();

    bool Running() const { return running; }
    unsigned Number() const { return number; }
    unsigned Period() const { return period; }
    unsigned InitialPeriod() const { return initialPeriod; }
    STimerObject* Object() const { return object; }
    // The control that owns this timer (SControl::AddTimer), or null.
    void SetOwner(quor::gui::SControl* c) { owner = c; }

private:
    quor::gui::SControl* control;
    unsigned period;
    unsigned initialPeriod;
    unsigned number;
    bool running;
    STimerObject* object;
    quor::gui::SControl* owner = nullptr;
};

}  // namespace threading
}  // namespace quor
