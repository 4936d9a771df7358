#pragma once
#include <pthread.h>

#include <atomic>
#include <cstdint>

#if defined(__has_builtin)
#if __has_builtin(__builtin_thread_pointer)
#define BW_HAS_THREAD_POINTER 1
#endif
#endif

namespace quor {
namespace threading {

// A gate that threads pass without a lock and without waiting, and that its
// keeper closes with a guarantee: once Close() returns, no pass that found the
// gate open is still under way, and no pass finds it open until Open().
//
// Two ways through. The lane is for the one thread that runs the audio
// blocks: it marks the lane for a whole block with a plain store and then
// passes as often as it likes with plain loads, no atomic read-modify-write
// and no fence (a locked instruction costs as much as a 512-frame copy on
// some machines). Every other thread passes through a counter.
//
// Why Close() can trust what it sees. Both ways are the store-then-load
// pattern: a passer stores its mark and then loads `closed`; Close stores
// `closed` and then loads the marks. Unless both sides keep their store ahead
// of their load, both loads can see the old values: the passer goes in and
// Close does not wait for it. The counter keeps its order by sequential
// consistency (a locked add on x86). The lane keeps it with an asymmetric
// barrier: Close asks the kernel (membarrier) to put a full barrier into every
// running thread of the process; a thread's mark then is either visible to
// Close, which waits for its end, or comes after that barrier, so its loads
// see `closed` set. Where the kernel has no such barrier, the lane falls back
// to a full fence after its mark. The release on leaving makes what was done
// inside visible to Close.
class SGate {
public:
    // The first gate of the process registers for the kernel's barrier.
    SGate();
    SGate(const SGate&) = delete;
    SGate& operator=(const SGate&) = delete;

    // --- the lane: one thread at a time, between EnterLane and LeaveLane ---
    void EnterLane()
    {
        const uintptr_t self = Self();
        if (laneOwner.load(std::memory_order_relaxed) != self) laneOwner.store(self, std::memory_order_relaxed);
        laneState.store(laneState.load(std::memory_order_relaxed) + 1, std::memory_order_release);
        if (HeavyBarrierRegistered())
            std::atomic_signal_fence(std::memory_order_seq_cst);
        else
            FullFence();
    }
    // Inside the lane, by its thread: whether this block's passes may go in.
    // The answer holds until LeaveLane: Close waits for a block that found
    // the gate open, and a block that found it closed stays out even if it
    // opens meanwhile. One look per block instead of one per pass.
    bool LaneOpen() const { return !closed.load(std::memory_order_relaxed); }
    void LeaveLane()
    {
        laneState.store(laneState.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }

    // --- any thread: calls pass() when the gate is open ---
    template <class Pass>
    void Through(Pass&& pass)
    {
        // The state first: a thread that sees another's block under way then
        // also sees that other thread as the owner (release on entering).
        if ((laneState.load(std::memory_order_acquire) & 1) && laneOwner.load(std::memory_order_relaxed) == Self()) {
            if (!closed.load(std::memory_order_relaxed)) pass();
            return;
        }
        inside.fetch_add(1, std::memory_order_seq_cst);
        if (!closed.load(std::memory_order_seq_cst)) pass();
        inside.fetch_sub(1, std::memory_order_release);
    }

    // --- the keeper: Open and Close are serialised by the caller, and never
    // called from inside a pass or from the lane ---
    void Open();
    // Waits (yielding, never on a lock) until no pass is under way.
    void Close();
    bool IsClosed() const { return closed.load(std::memory_order_seq_cst); }

private:
    // Tells threads apart, where the compiler can, without a call: the thread
    // pointer (what pthread_self returns here) is distinct for every live
    // thread and never 0.
    static uintptr_t Self()
    {
#if defined(BW_HAS_THREAD_POINTER)
        return reinterpret_cast<uintptr_t>(__builtin_thread_pointer());
#else
        return static_cast<uintptr_t>(pthread_self());
#endif
    }
    static bool HeavyBarrierRegistered() { return heavyBarrier.load(std::memory_order_relaxed); }
    // Registers once per process; true when the barrier can be used.
    static bool RegisterHeavyBarrier();

    // ThreadSanitizer does not model fences: there a locked instruction
    // stands in (which is a full barrier on x86).
    static void FullFence()
    {
#if defined(__SANITIZE_THREAD__)
        static std::atomic<int> stand;
        stand.fetch_add(0, std::memory_order_seq_cst);
#else
        std::atomic_thread_fence(std::memory_order_seq_cst);
#endif
    }

    // The thread that last used the lane, and the lane's state: odd while it
    // is in a block. Close waits for the block under way to end, not for a
    // gap between blocks, which a thread rendering flat out may hardly ever
    // leave. Each is stored by the lane's thread only, and the owner only
    // when another thread takes over the lane.
    std::atomic<uintptr_t> laneOwner{0};
    std::atomic<uint32_t> laneState{0};
    std::atomic<int32_t> inside{0};
    std::atomic<bool> closed{true};
    // Set once, when the process has registered for the kernel's barrier.
    static std::atomic<bool> heavyBarrier;
};

}  // namespace threading
}  // namespace quor
