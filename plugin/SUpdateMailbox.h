#pragma once
// The update requests between the threads that post them (the engine, on the
// host's audio and parameter threads) and the idle thread that delivers them
// to the panel: a flag for a full refresh and one flag per index 0 to 255.
//
// Posting stores one flag and nothing else: no lock, no wait, safe on the
// audio thread, and a single store where every store of a short block
// counts. Taking exchanges a flag with 0 and the caller refreshes after
// taking, so a request posted at any moment is either covered by that
// refresh or stays for the next one; requests of one index posted close
// together merge. The idle side looks at all 256 flags each period instead of
// keeping a separate "something is pending" flag that every post would have
// to store as well.

#include <atomic>
#include <cstdint>

class SUpdateMailbox {
public:
    static constexpr long Indices = 256;

    void PostFull() { full.store(1, std::memory_order_release); }
    // Indices outside 0 to 255 are ignored.
    void Post(long index)
    {
        if (index < 0 || index >= Indices) return;
        flags[index].store(1, std::memory_order_release);
    }

    bool TakeFull() { return full.exchange(0, std::memory_order_acquire) != 0; }
    // Looks before it exchanges: most flags are clear, and reading them keeps
    // their cache lines shared with the posting thread.
    bool Take(long index)
    {
        if (index < 0 || index >= Indices || !flags[index].load(std::memory_order_relaxed)) return false;
        return flags[index].exchange(0, std::memory_order_acquire) != 0;
    }
    void ClearIndices()
    {
        for (std::atomic<uint8_t>& f : flags) f.store(0, std::memory_order_relaxed);
    }

    // For looking without taking (tests, diagnostics).
    bool FullPosted() const { return full.load(std::memory_order_relaxed) != 0; }
    bool Posted(long index) const
    {
        return index >= 0 && index < Indices && flags[index].load(std::memory_order_relaxed) != 0;
    }

private:
    std::atomic<int32_t> full{0};
    std::atomic<uint8_t> flags[Indices] = {};
};
