#include "quor/audio/analysis/SActivityKernels.h"

#include <immintrin.h>

#include <cstring>

// The 32-bit build's baseline has no SSE; the SSE2 variants are compiled for
// it anyway and only chosen when the processor has it.
#if defined(__SSE2__)
#define BW_TARGET_SSE2
#else
#define BW_TARGET_SSE2 __attribute__((target("sse2")))
#endif
// Twice the width of the baseline, for processors that have it: the loop is
// bound by its stores, as memcpy is.
#define BW_TARGET_AVX __attribute__((target("avx")))

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

// The vector variants keep a running maximum per lane, started at the
// threshold: max(v, m) yields m when v is a NaN, so NaNs never count, and a
// lane ends above the threshold exactly when one of its samples was. One
// instruction per vector besides the copy keeps the loop at store speed.

BW_TARGET_SSE2 int ReplaceAboveSSE2(const float* in, float* out, int32_t frames, float threshold)
{
    const __m128 t = _mm_set1_ps(threshold);
    __m128 m0 = t, m1 = t, m2 = t, m3 = t;
    int32_t i = 0;
    for (; i + 16 <= frames; i += 16) {
        const __m128 v0 = _mm_loadu_ps(in + i), v1 = _mm_loadu_ps(in + i + 4);
        const __m128 v2 = _mm_loadu_ps(in + i + 8), v3 = _mm_loadu_ps(in + i + 12);
        _mm_storeu_ps(out + i, v0);
        _mm_storeu_ps(out + i + 4, v1);
        _mm_storeu_ps(out + i + 8, v2);
        _mm_storeu_ps(out + i + 12, v3);
        m0 = _mm_max_ps(v0, m0);
        m1 = _mm_max_ps(v1, m1);
        m2 = _mm_max_ps(v2, m2);
        m3 = _mm_max_ps(v3, m3);
    }
    for (; i + 4 <= frames; i += 4) {
        const __m128 v = _mm_loadu_ps(in + i);
        _mm_storeu_ps(out + i, v);
        m0 = _mm_max_ps(v, m0);
    }
    for (; i < frames; ++i) {
        const __m128 v = _mm_load_ss(in + i);
        _mm_store_ss(out + i, v);
        m1 = _mm_max_ss(v, m1);
    }
    const __m128 m = _mm_max_ps(_mm_max_ps(m0, m1), _mm_max_ps(m2, m3));
    return _mm_movemask_ps(_mm_cmpgt_ps(m, t)) != 0;
}

BW_TARGET_SSE2 int AccumulateAboveSSE2(const float* in, float* out, int32_t frames, float threshold)
{
    const __m128 t = _mm_set1_ps(threshold);
    __m128 m0 = t, m1 = t, m2 = t, m3 = t;
    int32_t i = 0;
    for (; i + 16 <= frames; i += 16) {
        const __m128 v0 = _mm_add_ps(_mm_loadu_ps(out + i), _mm_loadu_ps(in + i));
        const __m128 v1 = _mm_add_ps(_mm_loadu_ps(out + i + 4), _mm_loadu_ps(in + i + 4));
        const __m128 v2 = _mm_add_ps(_mm_loadu_ps(out + i + 8), _mm_loadu_ps(in + i + 8));
        const __m128 v3 = _mm_add_ps(_mm_loadu_ps(out + i + 12), _mm_loadu_ps(in + i + 12));
        _mm_storeu_ps(out + i, v0);
        _mm_storeu_ps(out + i + 4, v1);
        _mm_storeu_ps(out + i + 8, v2);
        _mm_storeu_ps(out + i + 12, v3);
        m0 = _mm_max_ps(v0, m0);
        m1 = _mm_max_ps(v1, m1);
        m2 = _mm_max_ps(v2, m2);
        m3 = _mm_max_ps(v3, m3);
    }
    for (; i + 4 <= frames; i += 4) {
        const __m128 v = _mm_add_ps(_mm_loadu_ps(out + i), _mm_loadu_ps(in + i));
        _mm_storeu_ps(out + i, v);
        m0 = _mm_max_ps(v, m0);
    }
    for (; i < frames; ++i) {
        const __m128 v = _mm_add_ss(_mm_load_ss(out + i), _mm_load_ss(in + i));
        _mm_store_ss(out + i, v);
        m1 = _mm_max_ss(v, m1);
    }
    const __m128 m = _mm_max_ps(_mm_max_ps(m0, m1), _mm_max_ps(m2, m3));
    return _mm_movemask_ps(_mm_cmpgt_ps(m, t)) != 0;
}

namespace {

BW_TARGET_AVX inline int AboveAVX(__m256 m0, __m256 m1, __m256 m2, __m256 m3, __m128 rest, float threshold)
{
    const __m256 t = _mm256_set1_ps(threshold);
    const __m256 m = _mm256_max_ps(_mm256_max_ps(m0, m1), _mm256_max_ps(m2, m3));
    const __m128 wide = _mm_max_ps(_mm256_castps256_ps128(m), _mm256_extractf128_ps(m, 1));
    return _mm_movemask_ps(_mm_cmpgt_ps(_mm_max_ps(wide, rest), _mm256_castps256_ps128(t))) != 0;
}

}  // namespace

BW_TARGET_AVX int ReplaceAboveAVX(const float* in, float* out, int32_t frames, float threshold)
{
    const __m256 t = _mm256_set1_ps(threshold);
    __m256 m0 = t, m1 = t, m2 = t, m3 = t;
    int32_t i = 0;
    for (; i + 32 <= frames; i += 32) {
        const __m256 v0 = _mm256_loadu_ps(in + i), v1 = _mm256_loadu_ps(in + i + 8);
        const __m256 v2 = _mm256_loadu_ps(in + i + 16), v3 = _mm256_loadu_ps(in + i + 24);
        _mm256_storeu_ps(out + i, v0);
        _mm256_storeu_ps(out + i + 8, v1);
        _mm256_storeu_ps(out + i + 16, v2);
        _mm256_storeu_ps(out + i + 24, v3);
        m0 = _mm256_max_ps(v0, m0);
        m1 = _mm256_max_ps(v1, m1);
        m2 = _mm256_max_ps(v2, m2);
        m3 = _mm256_max_ps(v3, m3);
    }
    for (; i + 8 <= frames; i += 8) {
        const __m256 v = _mm256_loadu_ps(in + i);
        _mm256_storeu_ps(out + i, v);
        m0 = _mm256_max_ps(v, m0);
    }
    __m128 rest = _mm256_castps256_ps128(t);
    for (; i < frames; ++i) {
        const __m128 v = _mm_load_ss(in + i);
        _mm_store_ss(out + i, v);
        rest = _mm_max_ss(v, rest);
    }
    return AboveAVX(m0, m1, m2, m3, rest, threshold);
}

BW_TARGET_AVX int AccumulateAboveAVX(const float* in, float* out, int32_t frames, float threshold)
{
    const __m256 t = _mm256_set1_ps(threshold);
    __m256 m0 = t, m1 = t, m2 = t, m3 = t;
    int32_t i = 0;
    for (; i + 32 <= frames; i += 32) {
        const __m256 v0 = _mm256_add_ps(_mm256_loadu_ps(out + i), _mm256_loadu_ps(in + i));
        const __m256 v1 = _mm256_add_ps(_mm256_loadu_ps(out + i + 8), _mm256_loadu_ps(in + i + 8));
        const __m256 v2 = _mm256_add_ps(_mm256_loadu_ps(out + i + 16), _mm256_loadu_ps(in + i + 16));
        const __m256 v3 = _mm256_add_ps(_mm256_loadu_ps(out + i + 24), _mm256_loadu_ps(in + i + 24));
        _mm256_storeu_ps(out + i, v0);
        _mm256_storeu_ps(out + i + 8, v1);
        _mm256_storeu_ps(out + i + 16, v2);
        _mm256_storeu_ps(out + i + 24, v3);
        m0 = _mm256_max_ps(v0, m0);
        m1 = _mm256_max_ps(v1, m1);
        m2 = _mm256_max_ps(v2, m2);
        m3 = _mm256_max_ps(v3, m3);
    }
    for (; i + 8 <= frames; i += 8) {
        const __m256 v = _mm256_add_ps(_mm256_loadu_ps(out + i), _mm256_loadu_ps(in + i));
        _mm256_storeu_ps(out + i, v);
        m0 = _mm256_max_ps(v, m0);
    }
    __m128 rest = _mm256_castps256_ps128(t);
    for (; i < frames; ++i) {
        const __m128 v = _mm_add_ss(_mm_load_ss(out + i), _mm_load_ss(in + i));
        _mm_store_ss(out + i, v);
        rest = _mm_max_ss(v, rest);
    }
    return AboveAVX(m0, m1, m2, m3, rest, threshold);
}

bool ProcessorHasAVX()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx");
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
