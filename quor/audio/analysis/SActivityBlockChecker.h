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
    enum class Variant { Plain, SSE2, AVX };

    // The widest variant the processor runs.
    SActivityBlockChecker() : variant(Best()) {}
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
    void SelectVariant(Variant v) { variant = Runs(v) ? v : Best(); }
    static bool Runs(Variant v)
    {
        return v == Variant::Plain || (v == Variant::SSE2 && ProcessorHasSSE2()) ||
               (v == Variant::AVX && ProcessorHasAVX());
    }
    static Variant Best()
    {
        return ProcessorHasAVX() ? Variant::AVX : ProcessorHasSSE2() ? Variant::SSE2 : Variant::Plain;
    }

    // Both return the block's result; they use `channels` input and output
    // pointers, none of them null when frames > 0.
    int32_t Replace(const float* const* inputs, float* const* outputs, const SActivityBlock<float>& block)
    {
        return Run(inputs, outputs, block,
                   variant == Variant::AVX    ? ReplaceAboveAVX
                   : variant == Variant::SSE2 ? ReplaceAboveSSE2
                                              : ReplaceAbovePlain);
    }
    int32_t Accumulate(const float* const* inputs, float* const* outputs, const SActivityBlock<float>& block)
    {
        return Run(inputs, outputs, block,
                   variant == Variant::AVX    ? AccumulateAboveAVX
                   : variant == Variant::SSE2 ? AccumulateAboveSSE2
                                              : AccumulateAbovePlain);
    }

    // Calls the installed callback with the block's result.
    void Report()
    {
        if (slot && *slot) (*slot)(argument, result);
    }

    int32_t result = 0;

private:
    typedef int (*Kernel)(const float*, float*, int32_t, float);

    int32_t Run(const float* const* inputs, float* const* outputs, const SActivityBlock<float>& block, Kernel kernel)
    {
        int any = 0;
        if (block.frames > 0)
            for (int32_t c = 0; c < block.channels; ++c)
                any |= kernel(inputs[c], outputs[c], block.frames, block.threshold);
        result = any ? block.activeValue : block.startResult;
        return result;
    }

    SActivityCallback* slot = nullptr;
    void* argument = nullptr;
    Variant variant;
};

}  // namespace analysis
}  // namespace audio
}  // namespace quor
