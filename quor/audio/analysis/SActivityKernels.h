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

#include <cstddef>
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

// One variant's loops; the pair loops are reached through these tables.
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

enum class SActivityVariant { Plain, SSE2, AVX, AVX512 };
const SActivityKernels& ActivityKernelsOf(SActivityVariant variant);
const char* ActivityVariantName(SActivityVariant variant);  // "plain", "sse2", "avx", "avx512"

// Whether the processor (and, for AVX and AVX-512, the kernel) runs these
// variants.
bool ProcessorHasSSE2();
bool ProcessorHasAVX();
bool ProcessorHasAVX512();
// The same as a set: bit (1 << variant) for each variant that runs.
unsigned ProcessorActivityVariants();

// The variant a process uses: the widest of `runs` (a set as above), unless
// `request` names another one. A request the processor cannot honour, or
// one that names no variant, falls back to the widest and fills `warning`
// with the line to tell the user; otherwise `warning` is left empty. A null
// or empty request is no request.
SActivityVariant ChooseActivityVariant(const char* request, unsigned runs, char* warning, size_t warningSize);

// The environment variable that forces a variant, for benchmarks and tests.
constexpr const char* ActivityVariantVariable = "BLINKWATCHER_KERNEL";
// The choice made once, when the module was loaded, from that variable; a
// warning went to standard error then.
SActivityVariant ChosenActivityVariant();

}  // namespace analysis
}  // namespace audio
}  // namespace quor
