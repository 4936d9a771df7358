#pragma once
// Block activity detector: passes a block of channels through (replacing or
// accumulating) and reports once per block, through a callback slot, whether
// any output sample rose above the block's threshold.

#include <cstdint>

#include "quor/audio/analysis/SActivityKernels.h"

namespace quor {
namespace audio {
namespace analysis {

// What the detector needs to know about one block.
template <typename T>
struct SActivityBlock {
    int32_t frames;
    int32_t channels;
    T threshold;
    int32_t startResult;
    int32_t activeValue;
};

typedef void (*SActivityCallback)(void* argument, int32_t active);

template <typename T>
class SActivityBlockChecker;

template <>
class SActivityBlockChecker<float> {
public:
    using Variant = SActivityVariant;

    // The variant chosen when the module loaded: the widest the processor
    // runs, or the one the environment forces (see ChosenActivityVariant).
    SActivityBlockChecker() { SelectVariant(ChosenActivityVariant()); }
    virtual ~SActivityBlockChecker() = default;
    SActivityBlockChecker(const SActivityBlockChecker&) = delete;
    SActivityBlockChecker& operator=(const SActivityBlockChecker&) = delete;

    // The slot is read at each report, so the callback can be swapped.
    void Install(SActivityCallback* callbackSlot, void* callbackArgument)
    {
        slot = callbackSlot;
        argument = callbackArgument;
    }

    Variant CurrentVariant() const { return variant; }
    // A variant the processor cannot run falls back to the best one it can.
    void SelectVariant(Variant v)
    {
        variant = Runs(v) ? v : Best();
        kernels = ActivityKernelsOf(variant);
    }
    static bool Runs(Variant v)
    {
        return v == Variant::Plain || (v == Variant::SSE2 && ProcessorHasSSE2()) ||
               (v == Variant::AVX && ProcessorHasAVX()) || (v == Variant::AVX512 && ProcessorHasAVX512());
    }
    static Variant Best()
    {
        return ProcessorHasAVX512() ? Variant::AVX512
               : ProcessorHasAVX()  ? Variant::AVX
               : ProcessorHasSSE2() ? Variant::SSE2
                                    : Variant::Plain;
    }

    // Both return the block's result; they use `channels` input and output
    // pointers, none of them null when frames > 0. A channel whose output is
    // its input (hosts often process in place) is only scanned, not copied.
    //
    // Everything the block needs from memory is read before the first loop:
    // a read after it may wait for the loop's last stores (one whose address
    // matches theirs in its low 12 bits waits until they reach the cache).
    int32_t Replace(const float* const* inputs, float* const* outputs, const SActivityBlock<float>& block)
    {
        const int32_t n = block.frames, channels = block.channels;
        const int32_t quiet = block.startResult, active = block.activeValue;
        const float t = block.threshold;
        int any = 0;
        if (n > 0 && channels == 2) {
            // The engine's case, with no loop around the call: a loop kept
            // more values than there are registers a call leaves alone, and
            // read them back from the stack after it.
            any = inputs[0] == outputs[0] && inputs[1] == outputs[1]
                      ? kernels.scanPair(inputs[0], inputs[1], n, t)
                      : kernels.replacePair(inputs[0], inputs[1], outputs[0], outputs[1], n, t);
        } else if (n > 0) {
            int32_t c = 0;
            for (; c + 2 <= channels; c += 2) {
                if (inputs[c] == outputs[c] && inputs[c + 1] == outputs[c + 1])
                    any |= kernels.scanPair(inputs[c], inputs[c + 1], n, t);
                else
                    any |= kernels.replacePair(inputs[c], inputs[c + 1], outputs[c], outputs[c + 1], n, t);
            }
            for (; c < channels; ++c)
                any |= inputs[c] == outputs[c] ? kernels.scan(inputs[c], n, t)
                                               : kernels.replace(inputs[c], outputs[c], n, t);
        }
        result = any ? active : quiet;
        return result;
    }
    int32_t Accumulate(const float* const* inputs, float* const* outputs, const SActivityBlock<float>& block)
    {
        const int32_t n = block.frames, channels = block.channels;
        const int32_t quiet = block.startResult, active = block.activeValue;
        const float t = block.threshold;
        int any = 0;
        if (n > 0 && channels == 2) {
            any = kernels.accumulatePair(inputs[0], inputs[1], outputs[0], outputs[1], n, t);
        } else if (n > 0) {
            int32_t c = 0;
            for (; c + 2 <= channels; c += 2)
                any |= kernels.accumulatePair(inputs[c], inputs[c + 1], outputs[c], outputs[c + 1], n, t);
            for (; c < channels; ++c) any |= kernels.accumulate(inputs[c], outputs[c], n, t);
        }
        result = any ? active : quiet;
        return result;
    }

    // Two channels given one by one, frames > 0: the result is 1 when the
    // block is active. Neither sets the result Report gives. A caller that
    // always has two channels passes no arrays, reads no block record and
    // carries no channel loop, whose registers its own frame had to save.
    int32_t ReplaceTwo(const float* in0, const float* in1, float* out0, float* out1, int32_t n, float t) const
    {
        return (in0 == out0 && in1 == out1 ? kernels.scanPair(in0, in1, n, t)
                                           : kernels.replacePair(in0, in1, out0, out1, n, t)) != 0;
    }
    int32_t AccumulateTwo(const float* in0, const float* in1, float* out0, float* out1, int32_t n, float t) const
    {
        return kernels.accumulatePair(in0, in1, out0, out1, n, t) != 0;
    }

    // Calls the installed callback with the block's result.
    void Report()
    {
        if (slot && *slot) (*slot)(argument, result);
    }

    int32_t result = 0;

private:
    SActivityCallback* slot = nullptr;
    void* argument = nullptr;
    Variant variant = Variant::Plain;
    // A copy: a block calls through one pointer, not through two.
    SActivityKernels kernels = ActivityKernelsPlain;
};

}  // namespace analysis
}  // namespace audio
}  // namespace quor
