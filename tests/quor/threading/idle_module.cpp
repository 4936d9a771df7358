// A loadable module holding the toolkit, for the unload test: it leaves an
// idle function registered and the idle thread running when it is unloaded.
#include "quor/gui/SControl.h"
#include "quor/threading/STimerIdle.h"

namespace {
void Tick(void* counter) { __atomic_add_fetch(static_cast<int*>(counter), 1, __ATOMIC_RELAXED); }
void (*slot)(void*) = Tick;
}  // namespace

// Returns the control, deliberately never deleted: only the library's own
// unload handling may stop the thread.
extern "C" __attribute__((visibility("default"))) void* bw_idle_module_start(int* counter)
{
    auto* control = new quor::gui::SControl();
    control->CreateIdleTimer(2, false);
    control->CreateIdleFunction(&slot, counter);
    return control;
}

extern "C" __attribute__((visibility("default"))) int bw_idle_module_running()
{
    return quor::threading::STimerIdle::ThreadRunning() ? 1 : 0;
}
