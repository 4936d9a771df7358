#include "quor/audio/analysis/SActivityKernels.h"

#include <emmintrin.h>

#include <cstring>

// The 32-bit build's baseline has no SSE; the SSE2 variants are compiled for
// it anyway and only chosen when the processor has it.
#if defined(__SSE2__)
#define BW_TARGET_SSE2
#else
#define BW_TARGET_SSE2 __attribute__((target("sse2")))
#endif

namespace quor {
namespace audio {
namespace analysis {

namespace {

constexpr uint32_t PositiveInfinityBits = 0x7F800000u;

inline uint32_t Bits(float value)
{
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

// For a threshold of zero or above, s > threshold exactly when the bit
// pattern of s, read as unsigned, exceeds the threshold's and is not a NaN or
// a negative number (both have patterns above +infinity). Working on the bits
// also keeps the x87 unit from quieting signalling NaNs or comparing an
// unrounded sum.
inline int Above(uint32_t bits, uint32_t thresholdBits)
{
    return (bits > thresholdBits) & (bits <= PositiveInfinityBits);
}

}  // namespace

int ReplaceAbovePlain(const float* in, float* out, int32_t frames, float threshold)
{
    const uint32_t t = Bits(threshold);
    int active = 0;
    for (int32_t i = 0; i < frames; ++i) {
        uint32_t bits;
        memcpy(&bits, in + i, sizeof bits);
        memcpy(out + i, &bits, sizeof bits);
        active |= Above(bits, t);
    }
    return active;
}

int AccumulateAbovePlain(const float* in, float* out, int32_t frames, float threshold)
{
    const uint32_t t = Bits(threshold);
    int active = 0;
    for (int32_t i = 0; i < frames; ++i) {
        const uint32_t bits = Bits(out[i] + in[i]);
        memcpy(out + i, &bits, sizeof bits);
        active |= Above(bits, t);
    }
    return active;
}

BW_TARGET_SSE2 int ReplaceAboveSSE2(const float* in, float* out, int32_t frames, float threshold)
{
    const __m128 t = _mm_set1_ps(threshold);
    __m128 a0 = _mm_setzero_ps(), a1 = _mm_setzero_ps();
    int32_t i = 0;
    for (; i + 8 <= frames; i += 8) {
        const __m128 v0 = _mm_loadu_ps(in + i);
        const __m128 v1 = _mm_loadu_ps(in + i + 4);
        _mm_storeu_ps(out + i, v0);
        _mm_storeu_ps(out + i + 4, v1);
        a0 = _mm_or_ps(a0, _mm_cmpgt_ps(v0, t));
        a1 = _mm_or_ps(a1, _mm_cmpgt_ps(v1, t));
    }
    for (; i < frames; ++i) {
        const __m128 v = _mm_load_ss(in + i);
        _mm_store_ss(out + i, v);
        a0 = _mm_or_ps(a0, _mm_cmpgt_ss(v, t));
    }
    return _mm_movemask_ps(_mm_or_ps(a0, a1)) != 0;
}

BW_TARGET_SSE2 int AccumulateAboveSSE2(const float* in, float* out, int32_t frames, float threshold)
{
    const __m128 t = _mm_set1_ps(threshold);
    __m128 a0 = _mm_setzero_ps(), a1 = _mm_setzero_ps();
    int32_t i = 0;
    for (; i + 8 <= frames; i += 8) {
        const __m128 v0 = _mm_add_ps(_mm_loadu_ps(out + i), _mm_loadu_ps(in + i));
        const __m128 v1 = _mm_add_ps(_mm_loadu_ps(out + i + 4), _mm_loadu_ps(in + i + 4));
        _mm_storeu_ps(out + i, v0);
        _mm_storeu_ps(out + i + 4, v1);
        a0 = _mm_or_ps(a0, _mm_cmpgt_ps(v0, t));
        a1 = _mm_or_ps(a1, _mm_cmpgt_ps(v1, t));
    }
    for (; i < frames; ++i) {
        const __m128 v = _mm_add_ss(_mm_load_ss(out + i), _mm_load_ss(in + i));
        _mm_store_ss(out + i, v);
        a0 = _mm_or_ps(a0, _mm_cmpgt_ss(v, t));
    }
    return _mm_movemask_ps(_mm_or_ps(a0, a1)) != 0;
}

bool ProcessorHasSSE2()
{
#if defined(__SSE2__)
    return true;
#else
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2");
#endif
}

}  // namespace analysis
}  // namespace audio
}  // namespace quor
