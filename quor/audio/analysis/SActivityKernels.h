#pragma once
// The per-sample loops of the activity detector: copy (or add) a channel and
// tell whether any resulting sample lies above a threshold, without a branch
// per sample. Three variants of each: AVX, SSE2, and plain code for
// processors with neither. All give bit-identical samples and the same answer.
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

// Whether the processor (and, for AVX, the kernel) runs these variants.
bool ProcessorHasSSE2();
bool ProcessorHasAVX();

}  // namespace analysis
}  // namespace audio
}  // namespace quor
