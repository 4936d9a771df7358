#pragma once
// The per-sample loops of the activity detector: copy (or add) a channel and
// tell whether any resulting sample lies above a threshold, without a branch
// per sample. Four variants of each: AVX-512, AVX, SSE2, and plain code for
// processors with none of them. All give bit-identical samples and the same
// answer.
//
// The threshold must be zero or positive (or +infinity); the comparison is on
// the signed sample, so only positive excursions count and a sample equal to
// the threshold does not. NaN samples never count.

#include <cstdint>

namespace quor {
namespace audio {
namespace analysis {

// out = in; returns 1 when some out > threshold.
int ReplaceAbovePlain(const float* in, float* out, int32_t frames, float threshold);
int ReplaceAboveSSE2(const float* in, float* out, int32_t frames, float threshold);
// out = out + in; returns 1 when some sum > threshold.
int AccumulateAbovePlain(const float* in, float* out, int32_t frames, float threshold);
int AccumulateAboveSSE2(const float* in, float* out, int32_t frames, float threshold);
int ReplaceAboveAVX(const float* in, float* out, int32_t frames, float threshold);
int AccumulateAboveAVX(const float* in, float* out, int32_t frames, float threshold);

int ReplaceAboveAVX512(const float* in, float* out, int32_t frames, float threshold);
int AccumulateAboveAVX512(const float* in, float* out, int32_t frames, float threshold);
// For a channel processed in place (out == in): only the answer.
int ScanAbovePlain(const float* in, int32_t frames, float threshold);
int ScanAboveSSE2(const float* in, int32_t frames, float threshold);
int ScanAboveAVX(const float* in, int32_t frames, float threshold);
int ScanAboveAVX512(const float* in, int32_t frames, float threshold);

// Two channels at once, the same as one channel after the other.
typedef int (*SActivityKernel)(const float* in, float* out, int32_t frames, float threshold);
typedef int (*SActivityScanKernel)(const float* in, int32_t frames, float threshold);
typedef int (*SActivityPairKernel)(const float* in0, const float* in1, float* out0, float* out1, int32_t frames,
                                   float threshold);
typedef int (*SActivityScanPairKernel)(const float* in0, const float* in1, int32_t frames, float threshold);

// One variant's loops.
struct SActivityKernels {
    SActivityKernel replace;
    SActivityKernel accumulate;
    SActivityScanKernel scan;
    SActivityPairKernel replacePair;
    SActivityPairKernel accumulatePair;
    SActivityScanPairKernel scanPair;
};
extern const SActivityKernels ActivityKernelsPlain;
extern const SActivityKernels ActivityKernelsSSE2;
extern const SActivityKernels ActivityKernelsAVX;
extern const SActivityKernels ActivityKernelsAVX512;

// Whether the processor (and, for AVX and AVX-512, the kernel) runs these
// variants.
bool ProcessorHasSSE2();
bool ProcessorHasAVX();
bool ProcessorHasAVX512();

}  // namespace analysis
}  // namespace audio
}  // namespace quor
