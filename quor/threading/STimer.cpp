#include "quor/threading/STimer.h"

#include "quor/gui/SControl.h"
#include "quor/threading/STimerObject.h"

namespace quor {
namespace threading {

STimer::STimer(quor::gui::SControl* c, unsigned n, unsigned p)
    : control(c), period(p), initialPeriod(p), number(n), running(false), object(new STimerObject())
{
}

STimer::~STimer()
{
    if (owner) owner->ForgetTimer(this);
    if (running) object->Stop();
    delete object;
}

void STimer::Start(unsigned p)
{
    period = p < STimerObject::MinimumPeriod ? STimerObject::MinimumPeriod : p;
    running = true;
    // Last: a listener may stop and delete this timer from the first event.
    object->Start(control, static_cast<int>(number), p);
}

void STimer::Stop()
{
    object->Stop();
    running = false;
}

}  // namespace threading
}  // namespace quor
