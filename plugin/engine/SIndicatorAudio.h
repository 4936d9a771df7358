#pragma once
// The audio half of the indicator's block, for any format: both channels pass
// through unchanged (replacing or accumulating, or in place) and the block is
// active when a resulting sample lies above the threshold. The threshold is
// given in whole dB, as the settings hold it.

#include <cstdint>

#include "quor/audio/analysis/SActivityBlockChecker.h"

class SIndicatorAudio {
public:
    static constexpr int32_t Channels = 2;
    static constexpr int32_t DefaultThreshold = -50;
    static constexpr int32_t LowestThreshold = -100;

    SIndicatorAudio() = default;
    SIndicatorAudio(const SIndicatorAudio&) = delete;
    SIndicatorAudio& operator=(const SIndicatorAudio&) = delete;

    // One block of `frames` frames on two input and two output channels; a
    // negative count is taken as 0, and no channel may be null otherwise.
    // Returns 1 when the block is active.
    int32_t Process(const float* const* inputs, float* const* outputs, int32_t frames, int32_t thresholdDb,
                    bool accumulate)
    {
        block.frames = frames > 0 ? frames : 0;
        block.threshold = LinearThreshold(thresholdDb);
        return accumulate ? detector.Accumulate(inputs, outputs, block) : detector.Replace(inputs, outputs, block);
    }
    // The same block with the four channels given one by one (none null
    // when frames > 0), for a format whose block always has two channels: an
    // empty block neither converts the threshold nor calls a loop. The
    // detector's callback is not told; the answer is the return value.
    int32_t ProcessTwo(const float* in0, const float* in1, float* out0, float* out1, int32_t frames,
                       int32_t thresholdDb, bool accumulate)
    {
        if (frames <= 0) return 0;
        const float t = LinearThreshold(thresholdDb);
        return accumulate ? detector.AccumulateTwo(in0, in1, out0, out1, frames, t)
                          : detector.ReplaceTwo(in0, in1, out0, out1, frames, t);
    }
    // The last block's answer through the detector's callback, when one is
    // installed.
    void Report() { detector.Report(); }
    // The slot is this object's own; `argument` is passed to it.
    void Install(quor::audio::analysis::SActivityCallback function, void* argument)
    {
        callback = function;
        detector.Install(&callback, argument);
    }

    // Computed only when the threshold changes: converting and comparing
    // floats each block cost a noticeable part of a short block.
    float LinearThreshold(int32_t db)
    {
        if (db != lastThresholdDb) {
            lastThresholdDb = db;
            lastLinearThreshold = LinearThresholdOf(db);
        }
        return lastLinearThreshold;
    }
    // 10^(-5 p) for the parameter p = -0.01 dB, rounded to float at every
    // step, so that every processor and build derives the same threshold.
    static float LinearThresholdOf(int32_t db);
    // The threshold as the 0..1 parameter that stored settings and the VST
    // edition's parameter use: -0.01 times the dB.
    static float ThresholdParameter(int32_t db) { return static_cast<float>(-0.01 * db); }

    quor::audio::analysis::SActivityBlockChecker<float>& Detector() { return detector; }

private:
    quor::audio::analysis::SActivityBlockChecker<float> detector;
    // Channel count, starting result and active value never change; the
    // frames and the threshold are rewritten for each block.
    quor::audio::analysis::SActivityBlock<float> block{0, Channels, 0.0f, 0, 1};
    quor::audio::analysis::SActivityCallback callback = nullptr;
    // No threshold is below -100 dB, so the first block computes.
    int32_t lastThresholdDb = INT32_MIN;
    float lastLinearThreshold = 0.0f;
};
