#include "quor/gui/SControl.h"

#include <algorithm>

#include "plugin/SGlobals.h"
#include "quor/threading/SMutexID.h"
#include "quor/threading/STimer.h"
#include "quor/threading/STimerIdle.h"

namespace quor {
namespace gui {

namespace {
bool ValidType(int type) { return type >= 0 && type < EVENT_SLOTS; }
}  // namespace

SControl::SControl(SGlobals* g)
    : globals(g), timerId(0), style(0), handled(), timer(nullptr), idleTimer(nullptr), destroying(false),
      cleanedUp(false), window(0)
{
}

SControl::~SControl()
{
    destroying = true;
    SControl::CleanUp();
}

void SControl::CleanUp()
{
    destroying = true;
    if (cleanedUp) return;
    cleanedUp = true;
    DestroyIdleTimer();
    StopTimer(true);
}

void SControl::AddEventListener(SControl* listener, int type)
{
    if (!listener || !ValidType(type)) return;
    auto& list = listeners[type];
    if (std::find(list.begin(), list.end(), listener) == list.end()) list.push_back(listener);
}

void SControl::RemoveEventListener(SControl* listener, int type)
{
    if (!listener || !ValidType(type)) return;
    auto& list = listeners[type];
    auto it = std::find(list.begin(), list.end(), listener);
    if (it != list.end()) list.erase(it);
}

void SControl::EnableEventHandler(int type)
{
    if (ValidType(type)) handled[type] = true;
}

void SControl::DisableEventHandler(int type)
{
    if (ValidType(type)) handled[type] = false;
}

bool SControl::EventHandled(int type) const { return ValidType(type) && handled[type]; }

void SControl::SendEvent(SEvent* e)
{
    if (!e || !ValidType(e->type)) return;
    const auto& list = listeners[e->type];
    // Bounds re-read after every call: a listener may unsubscribe.
    for (size_t i = 0; i < list.size(); ++i) {
        quor::threading::SMutexID* mutex = e->mutex;
        if (mutex) mutex->Lock();
        list[i]->ParseEvent(e);
        if (mutex) mutex->Unlock();
    }
}

void SControl::CreateTimer(int interval, bool start)
{
    StopTimer(true);
    style |= SCS_TIMER;
    timerId = globals ? globals->NextIdentifier() : 0;
    timer = new quor::threading::STimer(this, timerId, 0);
    if (start) StartTimer(interval);
}

void SControl::StartTimer(int interval)
{
    if (timer) timer->Start(interval > 0 ? static_cast<unsigned>(interval) : 0u);
}

void SControl::StopTimer(bool destroy)
{
    if (!timer) return;
    timer->Stop();
    if (destroy) {
        delete timer;
        timer = nullptr;
        timerId = 0;
    }
}

void SControl::CreateIdleTimer(int interval, bool start)
{
    if (idleTimer) return;
    idleTimer = new quor::threading::STimerIdle(this, static_cast<int>(timerId), interval, start);
}

void SControl::DestroyIdleTimer()
{
    delete idleTimer;
    idleTimer = nullptr;
}

void SControl::CreateIdleFunction(void (**function)(void*), void* argument)
{
    if (idleTimer) idleTimer->SetFunction(function, argument);
}

void SControl::DestroyIdleFunction()
{
    if (idleTimer) idleTimer->RemoveFunction();
}

}  // namespace gui
}  // namespace quor
