#include "quor/threading/STimerObject.h"

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>

#include "quor/gui/SControl.h"
#include "quor/gui/SEvent.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/threading/SThread.h"

namespace quor {
namespace threading {

struct STimerObject::Run {
    std::mutex lock;
    std::condition_variable wake;
    bool running = true;  // guarded by lock
    quor::gui::SControl* control = nullptr;
    quor::gui::SEvent event;
    unsigned period = 0;
};

namespace {

void Deliver(quor::gui::SControl* control, quor::gui::SEvent* event)
{
    if (!control) return;
    event->ticks = clock();
    if (!control->Destroying()) control->SendEvent(event);
}

void* TimerLoop(void* argument)
{
    auto* holder = static_cast<std::shared_ptr<STimerObject::Run>*>(argument);
    std::shared_ptr<STimerObject::Run> run = std::move(*holder);
    delete holder;

    for (;;) {
        {
            // The flag is read again under the toolkit lock: whoever stops
            // the timer while holding that lock cannot wait for this thread,
            // and this is what keeps a late event from reaching a control
            // that is being taken apart.
            quor::gui::SToolkitHold hold;
            {
                std::lock_guard<std::mutex> guard(run->lock);
                if (!run->running) break;
            }
            Deliver(run->control, &run->event);
        }
        std::unique_lock<std::mutex> lock(run->lock);
        // Waits on the flag rather than sleeping blind, so Stop does not have
        // to wait out a whole period.
        run->wake.wait_for(lock, std::chrono::milliseconds(run->period), [&run] { return !run->running; });
        if (!run->running) break;
    }
    return nullptr;
}

}  // namespace

STimerObject::STimerObject()
    : thread(nullptr), control(nullptr), event(new quor::gui::SEvent()), number(0), period(0), running(false)
{
    event->type = quor::gui::EVENT_TIMER;
    event->dataType = quor::gui::EVENT_DATA_PARAM;
}

STimerObject::~STimerObject()
{
    EndThread();
    delete event;
}

void STimerObject::Start(quor::gui::SControl* c, int n, unsigned p)
{
    // A period of 0 would turn the wait between events into a spin.
    if (p < MinimumPeriod) p = MinimumPeriod;
    period = p;
    number = n;
    control = c;
    running = true;
    event->param = n;
    event->sender = c;

    EndThread();
    run.reset(new Run());  // not make_shared: see SThread::Start
    run->control = c;
    run->event = *event;
    run->period = p;
    thread = new SThread(2);
    auto* holder = new std::shared_ptr<Run>(run);
    // A listener may stop and delete this timer from the first event on:
    // after a successful start nothing of this object is touched here.
    if (!thread->Start(TimerLoop, holder)) {
        delete holder;
        delete thread;
        thread = nullptr;
        run.reset();
    }
}

void STimerObject::EndThread()
{
    if (run) {
        {
            std::lock_guard<std::mutex> guard(run->lock);
            run->running = false;
        }
        run->wake.notify_all();
    }
    if (thread) {
        // Holding the toolkit lock, a wait could be for a thread that waits
        // for that lock to deliver: the thread is left to end by itself,
        // which it does without delivering (see TimerLoop).
        if (quor::gui::SToolkitLock::HeldHere())
            thread->Abandon();
        else
            thread->Cancel();
        delete thread;
        thread = nullptr;
    }
    run.reset();
}

void STimerObject::Stop()
{
    running = false;
    EndThread();
    number = 0;
}

void STimerObject::Notification() { Deliver(control, event); }

void STimerObject::Sleep()
{
    if (thread) ThreadSleep(static_cast<int>(period > 0x7FFFFFFFu ? 0x7FFFFFFFu : period));
}

}  // namespace threading
}  // namespace quor
