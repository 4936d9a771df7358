#include "quor/gui/context/SDisplayHandles.h"

#include "quor/system/SSystemData.h"

Display* dp = nullptr;
Display* dps = nullptr;

namespace quor {
namespace gui {
namespace context {

namespace {
thread_local Display* scoped = nullptr;
}  // namespace

SDisplayScope::SDisplayScope(Display* display) : previous(scoped) { scoped = display; }

SDisplayScope::~SDisplayScope() { scoped = previous; }

// dp is written by the host's GUI thread and read by the idle and timer
// threads, hence the atomic accesses on a plain pointer.
Display* CurrentDisplay()
{
    if (scoped) return scoped;
    Display* host = __atomic_load_n(&dp, __ATOMIC_ACQUIRE);
    return host ? host : __atomic_load_n(&dps, __ATOMIC_ACQUIRE);
}

void AdoptHostDisplay(Display* host)
{
    Display* expected = nullptr;
    __atomic_compare_exchange_n(&dp, &expected, host, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
    if (host) sd.getDisplayInfos();
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
