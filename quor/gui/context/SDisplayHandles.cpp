#include "quor/gui/context/SDisplayHandles.h"

#include "plugin/SStaticData.h"
#include "quor/system/SSystemData.h"
#include "quor/threading/SMutexOS.h"

Display* dp = nullptr;
Display* dps = nullptr;

namespace quor {
namespace gui {
namespace context {

// dp is written by the host's GUI thread and read by the idle and timer
// threads, hence the atomic accesses on a plain pointer.
Display* CurrentDisplay()
{
    Display* own = __atomic_load_n(&dps, __ATOMIC_ACQUIRE);
    return own ? own : __atomic_load_n(&dp, __ATOMIC_ACQUIRE);
}

void AdoptHostDisplay(Display* host)
{
    Display* expected = nullptr;
    __atomic_compare_exchange_n(&dp, &expected, host, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
    if (!host) return;
    // Hosts may open editors from several threads at once: the monitor
    // layout and the colour table are gathered by one of them.
    static quor::threading::SMutexOS gathering;
    quor::threading::SMutexLock hold(gathering);
    sd.getDisplayInfos();
    if (!statdata.coloursLoaded) statdata.AddColours();
}

bool DisplayOpen(Display* display)
{
    return display &&
           (display == __atomic_load_n(&dps, __ATOMIC_ACQUIRE) || display == __atomic_load_n(&dp, __ATOMIC_ACQUIRE));
}

void ForgetHostDisplay()
{
    __atomic_store_n(&dp, static_cast<Display*>(nullptr), __ATOMIC_RELEASE);
}

}  // namespace context
}  // namespace gui
}  // namespace quor
