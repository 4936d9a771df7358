#include "quor/gui/SToolkitLock.h"

#include <pthread.h>

#include "quor/gui/SEventDispatcher.h"

namespace quor {
namespace gui {

namespace {

struct State {
    std::mutex mutex;
    std::atomic<pthread_t> owner{};
    std::atomic<bool> owned{false};
    int depth = 0;  // touched by the owner only
};

// Constant-initialised storage would be nicer, but std::mutex is constexpr
// constructible, so a plain static is safe to use from other static
// initialisers too.
State state;

bool OwnedByCaller()
{
    return state.owned.load(std::memory_order_acquire) &&
           pthread_equal(state.owner.load(std::memory_order_relaxed), pthread_self());
}

}  // namespace

void SToolkitLock::Lock()
{
    if (OwnedByCaller()) {
        ++state.depth;
        return;
    }
    state.mutex.lock();
    state.owner.store(pthread_self(), std::memory_order_relaxed);
    state.owned.store(true, std::memory_order_release);
    state.depth = 1;
}

void SToolkitLock::Unlock()
{
    if (!OwnedByCaller()) return;
    if (state.depth == 1) SEventDispatcher::HandOver();
    if (--state.depth > 0) return;
    state.owned.store(false, std::memory_order_release);
    state.mutex.unlock();
}

bool SToolkitLock::HeldHere() { return OwnedByCaller(); }

int SToolkitLock::ReleaseAll()
{
    if (!OwnedByCaller()) return 0;
    SEventDispatcher::HandOver();
    int levels = state.depth;
    state.depth = 0;
    state.owned.store(false, std::memory_order_release);
    state.mutex.unlock();
    return levels;
}

void SToolkitLock::Reacquire(int levels)
{
    if (levels <= 0) return;
    Lock();
    state.depth = levels;
}

}  // namespace gui
}  // namespace quor
