#include "quor/threading/SGate.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

#if defined(__NR_membarrier)
#include <linux/membarrier.h>
#endif

namespace quor {
namespace threading {

std::atomic<bool> SGate::heavyBarrier{false};

bool SGate::RegisterHeavyBarrier()
{
#if defined(__NR_membarrier)
    // Hosts that sandbox their plug-ins may refuse the call: the lane then
    // fences for itself.
    static const bool registered = [] {
        const long commands = syscall(__NR_membarrier, MEMBARRIER_CMD_QUERY, 0, 0);
        return commands > 0 && (commands & MEMBARRIER_CMD_PRIVATE_EXPEDITED) != 0 &&
               syscall(__NR_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) == 0;
    }();
    if (registered) heavyBarrier.store(true, std::memory_order_relaxed);
    return registered;
#else
    return false;
#endif
}

SGate::SGate() { RegisterHeavyBarrier(); }

void SGate::Open() { closed.store(false, std::memory_order_seq_cst); }

void SGate::Close()
{
    closed.store(true, std::memory_order_seq_cst);
#if defined(__NR_membarrier)
    if (RegisterHeavyBarrier()) syscall(__NR_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0);
#endif
    FullFence();
    const uint32_t state = laneState.load(std::memory_order_acquire);
    if (state & 1)
        while (laneState.load(std::memory_order_acquire) == state) std::this_thread::yield();
    while (inside.load(std::memory_order_seq_cst) != 0) std::this_thread::yield();
}

}  // namespace threading
}  // namespace quor
