#include "quor/audio/analysis/SActivityKernels.h"

#include <immintrin.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The 32-bit build's baseline has no SSE; the SSE2 variants are compiled for
// it anyway and only chosen when the processor has it.
#if defined(__SSE2__)
#define BW_TARGET_SSE2
#else
#define BW_TARGET_SSE2 __attribute__((target("sse2")))
#endif
// Twice and four times the width of the baseline, for processors that have
// them. The loops are bound by their stores, as memcpy is; on the project's
// machine the 512-bit loop keeps pace with memcpy where the 256-bit one takes
// a quarter longer.
#define BW_TARGET_AVX __attribute__((target("avx")))
#define BW_TARGET_AVX512 __attribute__((target("avx512f")))

// 32-bit hosts and bridges often call with the stack aligned to 4 bytes only,
// while the compiler keeps the vectors it spills in stack slots it assumes
// 16-byte aligned (and movaps faults when they are not). So every vector
// entry point realigns its own stack: the code that needs the alignment
// carries it, whatever flags the build uses, for two instructions a call.
// Nothing else in the 32-bit build holds vectors (its baseline has no SSE).
#if defined(__i386__)
#define BW_REALIGN __attribute__((force_align_arg_pointer))
#else
#define BW_REALIGN
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

int ScanAbovePlain(const float* in, int32_t frames, float threshold)
{
    const uint32_t t = Bits(threshold);
    int active = 0;
    for (int32_t i = 0; i < frames; ++i) {
        uint32_t bits;
        memcpy(&bits, in + i, sizeof bits);
        active |= Above(bits, t);
    }
    return active;
}

// The vector variants keep a running maximum per lane, started at the
// threshold: max(v, m) yields m when v is a NaN, so NaNs never count, and a
// lane ends above the threshold exactly when one of its samples was. One
// instruction per vector besides the copy keeps the loop at store speed.

BW_TARGET_SSE2 BW_REALIGN int ReplaceAboveSSE2(const float* in, float* out, int32_t frames, float threshold)
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
    // Single samples go to a register of their own: max_ss passes the upper
    // lanes of its first operand through, zeros from load_ss, which would
    // wipe what a running maximum holds there.
    __m128 rest = t;
    for (; i < frames; ++i) {
        const __m128 v = _mm_load_ss(in + i);
        _mm_store_ss(out + i, v);
        rest = _mm_max_ss(v, rest);
    }
    const __m128 m = _mm_max_ps(_mm_max_ps(_mm_max_ps(m0, m1), _mm_max_ps(m2, m3)), rest);
    return _mm_movemask_ps(_mm_cmpgt_ps(m, t)) != 0;
}

BW_TARGET_SSE2 BW_REALIGN int ScanAboveSSE2(const float* in, int32_t frames, float threshold)
{
    const __m128 t = _mm_set1_ps(threshold);
    __m128 m0 = t, m1 = t, m2 = t, m3 = t;
    int32_t i = 0;
    for (; i + 16 <= frames; i += 16) {
        m0 = _mm_max_ps(_mm_loadu_ps(in + i), m0);
        m1 = _mm_max_ps(_mm_loadu_ps(in + i + 4), m1);
        m2 = _mm_max_ps(_mm_loadu_ps(in + i + 8), m2);
        m3 = _mm_max_ps(_mm_loadu_ps(in + i + 12), m3);
    }
    for (; i + 4 <= frames; i += 4) m0 = _mm_max_ps(_mm_loadu_ps(in + i), m0);
    __m128 rest = t;  // see ReplaceAboveSSE2
    for (; i < frames; ++i) rest = _mm_max_ss(_mm_load_ss(in + i), rest);
    const __m128 m = _mm_max_ps(_mm_max_ps(_mm_max_ps(m0, m1), _mm_max_ps(m2, m3)), rest);
    return _mm_movemask_ps(_mm_cmpgt_ps(m, t)) != 0;
}

BW_TARGET_SSE2 BW_REALIGN int AccumulateAboveSSE2(const float* in, float* out, int32_t frames, float threshold)
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
    __m128 rest = t;  // see ReplaceAboveSSE2
    for (; i < frames; ++i) {
        const __m128 v = _mm_add_ss(_mm_load_ss(out + i), _mm_load_ss(in + i));
        _mm_store_ss(out + i, v);
        rest = _mm_max_ss(v, rest);
    }
    const __m128 m = _mm_max_ps(_mm_max_ps(_mm_max_ps(m0, m1), _mm_max_ps(m2, m3)), rest);
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

BW_TARGET_AVX BW_REALIGN int ReplaceAboveAVX(const float* in, float* out, int32_t frames, float threshold)
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

BW_TARGET_AVX BW_REALIGN int ScanAboveAVX(const float* in, int32_t frames, float threshold)
{
    const __m256 t = _mm256_set1_ps(threshold);
    __m256 m0 = t, m1 = t, m2 = t, m3 = t;
    int32_t i = 0;
    for (; i + 32 <= frames; i += 32) {
        m0 = _mm256_max_ps(_mm256_loadu_ps(in + i), m0);
        m1 = _mm256_max_ps(_mm256_loadu_ps(in + i + 8), m1);
        m2 = _mm256_max_ps(_mm256_loadu_ps(in + i + 16), m2);
        m3 = _mm256_max_ps(_mm256_loadu_ps(in + i + 24), m3);
    }
    for (; i + 8 <= frames; i += 8) m0 = _mm256_max_ps(_mm256_loadu_ps(in + i), m0);
    __m128 rest = _mm256_castps256_ps128(t);
    for (; i < frames; ++i) rest = _mm_max_ss(_mm_load_ss(in + i), rest);
    return AboveAVX(m0, m1, m2, m3, rest, threshold);
}

BW_TARGET_AVX BW_REALIGN int AccumulateAboveAVX(const float* in, float* out, int32_t frames, float threshold)
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

#if defined(__GNUC__)
#define BW_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define BW_ALWAYS_INLINE inline
#endif

namespace {

// Long blocks align their stores (see HeadFrames): a vector stored across
// two cache lines costs two stores. The first vector is stored unaligned,
// and the loop starts again at the first aligned frame within it, so a
// copying loop stores a few frames twice. Not for accumulating blocks,
// which would add those frames twice. Each output is aligned on its own:
// channels from separate mallocs of one size lie 16 or 48 bytes apart
// modulo 32 as often as not, and aligning only the first left half of the
// second's AVX stores across two cache lines. That was the forced AVX
// variant's "bad process": whether a process's heap put the host's outputs
// at such a distance decided whether its 512-frame blocks took 34 ns or 74.
constexpr int32_t AlignFrom = 128;

// Blocks this long go channel after channel, as memcpy does. Four streams
// at once (two loads, two stores) ran 1.3 to 2 times memcpy's time at 2048
// and 4096 frames in most layouts, where the four channels no longer fit
// the first-level cache; two at a time stay within a few percent of it.
// Below 1024 frames the pair loop is as fast or faster.
constexpr int32_t ChannelAfterChannelFrom = 1024;

// Frames from `p` to the next multiple of `bytes` (a power of two).
inline int32_t FramesToBoundary(const float* p, uintptr_t bytes)
{
    return static_cast<int32_t>(((bytes - (reinterpret_cast<uintptr_t>(p) & (bytes - 1))) & (bytes - 1)) /
                                sizeof(float));
}

}  // namespace

// The SSE2 and AVX pair loops: one body (SActivityPairLoops.inc) compiled for
// each width, with the vector type and its few operations named first. Every
// function between BEGIN and END is compiled for the width (clang spells the
// pragma differently; the fuzz targets are built with it).
#if defined(__clang__)
#define BW_BEGIN_TARGET_SSE2 _Pragma("clang attribute push(__attribute__((target(\"sse2\"))), apply_to = function)")
#define BW_BEGIN_TARGET_AVX _Pragma("clang attribute push(__attribute__((target(\"avx\"))), apply_to = function)")
#define BW_END_TARGET _Pragma("clang attribute pop")
#else
#define BW_BEGIN_TARGET_SSE2 _Pragma("GCC push_options") _Pragma("GCC target(\"sse2\")")
#define BW_BEGIN_TARGET_AVX _Pragma("GCC push_options") _Pragma("GCC target(\"avx\")")
#define BW_END_TARGET _Pragma("GCC pop_options")
#endif

BW_BEGIN_TARGET_SSE2
namespace sse2 {

using Vec = __m128;
constexpr int32_t Lanes = 4;
BW_ALWAYS_INLINE Vec Load(const float* p) { return _mm_loadu_ps(p); }
BW_ALWAYS_INLINE void Store(float* p, Vec v) { _mm_storeu_ps(p, v); }
BW_ALWAYS_INLINE Vec Max(Vec v, Vec m) { return _mm_max_ps(v, m); }
BW_ALWAYS_INLINE Vec Add(Vec a, Vec b) { return _mm_add_ps(a, b); }
BW_ALWAYS_INLINE Vec Splat(float x) { return _mm_set1_ps(x); }
BW_ALWAYS_INLINE int AnyAbove(Vec m, Vec t) { return _mm_movemask_ps(_mm_cmpgt_ps(m, t)) != 0; }

#include "quor/audio/analysis/SActivityPairLoops.inc"

}  // namespace sse2
BW_END_TARGET

BW_BEGIN_TARGET_AVX
namespace avx {

using Vec = __m256;
constexpr int32_t Lanes = 8;
BW_ALWAYS_INLINE Vec Load(const float* p) { return _mm256_loadu_ps(p); }
BW_ALWAYS_INLINE void Store(float* p, Vec v) { _mm256_storeu_ps(p, v); }
BW_ALWAYS_INLINE Vec Max(Vec v, Vec m) { return _mm256_max_ps(v, m); }
BW_ALWAYS_INLINE Vec Add(Vec a, Vec b) { return _mm256_add_ps(a, b); }
BW_ALWAYS_INLINE Vec Splat(float x) { return _mm256_set1_ps(x); }
BW_ALWAYS_INLINE int AnyAbove(Vec m, Vec t)
{
    const __m128 wide = _mm_max_ps(_mm256_castps256_ps128(m), _mm256_extractf128_ps(m, 1));
    return _mm_movemask_ps(_mm_cmpgt_ps(wide, _mm256_castps256_ps128(t))) != 0;
}

#include "quor/audio/analysis/SActivityPairLoops.inc"

}  // namespace avx
BW_END_TARGET

// AVX-512: whole vectors while they last, then one masked vector for the
// rest (masked-off lanes are neither read nor written, so a block may end
// anywhere); two channels at once share the loop's overhead and its final
// reduction, which is most of the cost of a short block.

namespace {

// The lanes of the last, partial vector: `left` is 1 to 16.
BW_TARGET_AVX512 inline __mmask16 TailMask(int32_t left)
{
    return static_cast<__mmask16>(0xFFFFu >> (16 - left));
}

// max(v, m) keeps m for a NaN v, as in the narrower variants. (Written with a
// full zeroing mask, which compiles to the plain instruction: GCC 12 warns
// about the undefined pass-through of the unmasked intrinsic.)
BW_TARGET_AVX512 inline __m512 Max(__m512 v, __m512 m) { return _mm512_maskz_max_ps(0xFFFF, v, m); }
BW_TARGET_AVX512 inline __m512 MaskedMax(__mmask16 k, __m512 v, __m512 m) { return _mm512_mask_max_ps(m, k, v, m); }

// Each maximum compared on its own and the answers joined: a tree of
// maxima first put three maxima of four cycles each between the last load
// and the answer.
BW_TARGET_AVX512 inline int Above512(__m512 m0, __m512 m1, __m512 m2, __m512 m3, __m512 t)
{
    const __mmask16 a = _mm512_cmp_ps_mask(m0, t, _CMP_GT_OQ), b = _mm512_cmp_ps_mask(m1, t, _CMP_GT_OQ);
    const __mmask16 c = _mm512_cmp_ps_mask(m2, t, _CMP_GT_OQ), d = _mm512_cmp_ps_mask(m3, t, _CMP_GT_OQ);
    return static_cast<uint16_t>(a | b | c | d) != 0;
}

// The lanes of the last one or two masked vectors of a pair loop: `left` is
// 0 to 31. The pair loops save none of the caller's registers: a tail loop
// once needed enough registers that the function saved three, and restoring
// them read the stack while the block's last stores were still on their way
// to the cache. When the stack's place matched one of those stores in its
// low 12 bits, the read waited for it: a 512-frame block took 81 to 85
// time-stamp ticks instead of 48 to 52, by where the host's stack lay.
inline uint32_t TailLanes(int32_t left) { return (1u << left) - 1u; }

// Frames before `p` reaches a 64-byte boundary, where the loop then starts.
// A vector stored (or loaded) across two cache lines costs two, and hosts
// that allocate with malloc hand over 16-byte-aligned channels: with such
// channels the aligned loop took 25.1 ns instead of 28.5 at 512 frames, 293
// instead of 357 at 4096. For short blocks the extra step costs more than it
// saves (64 frames: 9.5 ns instead of 4.6), so they start where they are.
inline int32_t HeadFrames(const float* p, int32_t frames)
{
    if (frames < 256) return 0;
    return FramesToBoundary(p, 64);
}

}  // namespace

BW_TARGET_AVX512 BW_REALIGN int ReplaceAboveAVX512(const float* in, float* out, int32_t frames, float threshold)
{
    const __m512 t = _mm512_set1_ps(threshold);
    __m512 m0 = t, m1 = t, m2 = t, m3 = t;
    int32_t i = 0;
    for (; i + 64 <= frames; i += 64) {
        const __m512 v0 = _mm512_loadu_ps(in + i), v1 = _mm512_loadu_ps(in + i + 16);
        const __m512 v2 = _mm512_loadu_ps(in + i + 32), v3 = _mm512_loadu_ps(in + i + 48);
        _mm512_storeu_ps(out + i, v0);
        _mm512_storeu_ps(out + i + 16, v1);
        _mm512_storeu_ps(out + i + 32, v2);
        _mm512_storeu_ps(out + i + 48, v3);
        m0 = Max(v0, m0);
        m1 = Max(v1, m1);
        m2 = Max(v2, m2);
        m3 = Max(v3, m3);
    }
    for (; i < frames; i += 16) {
        const __mmask16 k = TailMask(frames - i < 16 ? frames - i : 16);
        const __m512 v = _mm512_maskz_loadu_ps(k, in + i);
        _mm512_mask_storeu_ps(out + i, k, v);
        m0 = MaskedMax(k, v, m0);
    }
    return Above512(m0, m1, m2, m3, t);
}

BW_TARGET_AVX512 BW_REALIGN int AccumulateAboveAVX512(const float* in, float* out, int32_t frames, float threshold)
{
    const __m512 t = _mm512_set1_ps(threshold);
    __m512 m0 = t, m1 = t, m2 = t, m3 = t;
    int32_t i = 0;
    for (; i + 64 <= frames; i += 64) {
        const __m512 v0 = _mm512_add_ps(_mm512_loadu_ps(out + i), _mm512_loadu_ps(in + i));
        const __m512 v1 = _mm512_add_ps(_mm512_loadu_ps(out + i + 16), _mm512_loadu_ps(in + i + 16));
        const __m512 v2 = _mm512_add_ps(_mm512_loadu_ps(out + i + 32), _mm512_loadu_ps(in + i + 32));
        const __m512 v3 = _mm512_add_ps(_mm512_loadu_ps(out + i + 48), _mm512_loadu_ps(in + i + 48));
        _mm512_storeu_ps(out + i, v0);
        _mm512_storeu_ps(out + i + 16, v1);
        _mm512_storeu_ps(out + i + 32, v2);
        _mm512_storeu_ps(out + i + 48, v3);
        m0 = Max(v0, m0);
        m1 = Max(v1, m1);
        m2 = Max(v2, m2);
        m3 = Max(v3, m3);
    }
    for (; i < frames; i += 16) {
        const __mmask16 k = TailMask(frames - i < 16 ? frames - i : 16);
        const __m512 v = _mm512_add_ps(_mm512_maskz_loadu_ps(k, out + i), _mm512_maskz_loadu_ps(k, in + i));
        _mm512_mask_storeu_ps(out + i, k, v);
        m0 = MaskedMax(k, v, m0);
    }
    return Above512(m0, m1, m2, m3, t);
}

BW_TARGET_AVX512 BW_REALIGN int ScanAboveAVX512(const float* in, int32_t frames, float threshold)
{
    const __m512 t = _mm512_set1_ps(threshold);
    __m512 m0 = t, m1 = t, m2 = t, m3 = t;
    int32_t i = 0;
    for (; i + 64 <= frames; i += 64) {
        m0 = Max(_mm512_loadu_ps(in + i), m0);
        m1 = Max(_mm512_loadu_ps(in + i + 16), m1);
        m2 = Max(_mm512_loadu_ps(in + i + 32), m2);
        m3 = Max(_mm512_loadu_ps(in + i + 48), m3);
    }
    for (; i < frames; i += 16) {
        const __mmask16 k = TailMask(frames - i < 16 ? frames - i : 16);
        m0 = MaskedMax(k, _mm512_maskz_loadu_ps(k, in + i), m0);
    }
    return Above512(m0, m1, m2, m3, t);
}

namespace {

BW_TARGET_AVX512 BW_REALIGN int ReplacePairAboveAVX512(const float* in0, const float* in1, float* out0, float* out1,
                                                       int32_t frames, float threshold)
{
    const __m512 t = _mm512_set1_ps(threshold);
    __m512 m0 = t, m1 = t, m2 = t, m3 = t, m4 = t, m5 = t, m6 = t, m7 = t;
    __m512 v;
    // Each output is aligned on its own: channels from separate mallocs of
    // one size lie 16, 32 or 48 bytes apart modulo 64, so aligning the first
    // left every store of the second across two cache lines. The channels
    // then run up to 15 frames apart, and each ends with a rest of its own.
    // Shorter blocks go to the AVX loop, sample by sample or with one
    // overlapping vector: a masked store of a few lanes still spans a whole
    // vector's addresses, and the next block's first loads, whose addresses
    // that span covers when the host's channels lie close together, waited
    // until it reached the cache (a 1-frame block took 21 ns instead of 13).
    if (frames < 16) return avx::ReplacePair(in0, in1, out0, out1, frames, threshold);
    int32_t left0 = frames, left1 = frames;
    if (frames >= 256) {
        // The first vector of each channel unaligned, then the loop from the
        // first aligned frame within it: a copy may store frames twice.
        v = _mm512_loadu_ps(in0);
        _mm512_storeu_ps(out0, v);
        m0 = Max(v, m0);
        v = _mm512_loadu_ps(in1);
        _mm512_storeu_ps(out1, v);
        m2 = Max(v, m2);
        const int32_t head0 = HeadFrames(out0, frames), head1 = HeadFrames(out1, frames);
        in0 += head0;
        out0 += head0;
        left0 -= head0;
        in1 += head1;
        out1 += head1;
        left1 -= head1;
    }
    const int32_t whole = (left0 < left1 ? left0 : left1) & ~63;
    left0 -= whole;
    left1 -= whole;
    for (const float* const end = in0 + whole; in0 != end; in0 += 64, in1 += 64, out0 += 64, out1 += 64) {
        // All loads first: loading and storing vector by vector ran twice
        // as long with some layouts (outputs 1024 bytes after the inputs).
        const __m512 a0 = _mm512_loadu_ps(in0), a1 = _mm512_loadu_ps(in0 + 16);
        const __m512 a2 = _mm512_loadu_ps(in0 + 32), a3 = _mm512_loadu_ps(in0 + 48);
        const __m512 b0 = _mm512_loadu_ps(in1), b1 = _mm512_loadu_ps(in1 + 16);
        const __m512 b2 = _mm512_loadu_ps(in1 + 32), b3 = _mm512_loadu_ps(in1 + 48);
        _mm512_storeu_ps(out0, a0);
        _mm512_storeu_ps(out0 + 16, a1);
        _mm512_storeu_ps(out0 + 32, a2);
        _mm512_storeu_ps(out0 + 48, a3);
        _mm512_storeu_ps(out1, b0);
        _mm512_storeu_ps(out1 + 16, b1);
        _mm512_storeu_ps(out1 + 32, b2);
        _mm512_storeu_ps(out1 + 48, b3);
        m0 = Max(a0, m0);
        m1 = Max(a1, m1);
        m4 = Max(a2, m4);
        m5 = Max(a3, m5);
        m2 = Max(b0, m2);
        m3 = Max(b1, m3);
        m6 = Max(b2, m6);
        m7 = Max(b3, m7);
    }
    // The rests: up to 63 frames, 78 when the heads differ. Whole vectors,
    // then the vector that ends with the block, over frames already copied.
    // No masked load here: a masked load that matched one of the block's
    // stores still on its way to the cache in its low 12 bits waited for
    // it, where a plain load is only briefly held up (with outputs 32 bytes
    // after the inputs modulo 4096, a 512-frame block took 39 ns instead of
    // 29; with a masked load of no lane past the block, 52 instead of 28).
    for (; left0 >= 16; left0 -= 16, in0 += 16, out0 += 16) {
        v = _mm512_loadu_ps(in0);
        _mm512_storeu_ps(out0, v);
        m4 = Max(v, m4);
    }
    for (; left1 >= 16; left1 -= 16, in1 += 16, out1 += 16) {
        v = _mm512_loadu_ps(in1);
        _mm512_storeu_ps(out1, v);
        m6 = Max(v, m6);
    }
    if (left0 > 0) {
        v = _mm512_loadu_ps(in0 + left0 - 16);
        _mm512_storeu_ps(out0 + left0 - 16, v);
        m5 = Max(v, m5);
    }
    if (left1 > 0) {
        v = _mm512_loadu_ps(in1 + left1 - 16);
        _mm512_storeu_ps(out1 + left1 - 16, v);
        m7 = Max(v, m7);
    }
    return Above512(Max(m4, m0), Max(m5, m1), Max(m6, m2), Max(m7, m3), t);
}

BW_TARGET_AVX512 BW_REALIGN int AccumulatePairAboveAVX512(const float* in0, const float* in1, float* out0,
                                                          float* out1, int32_t frames, float threshold)
{
    if (frames < 16) return avx::AccumulatePair(in0, in1, out0, out1, frames, threshold);  // see above
    const __m512 t = _mm512_set1_ps(threshold);
    __m512 m0 = t, m1 = t, m2 = t, m3 = t;
    __m512 m4 = t, m5 = t, m6 = t, m7 = t;  // see ReplacePairAboveAVX512
    __m512 v;
    // Walking pointers: with an index over eight streams the function ran
    // out of the registers a call may clobber and saved three of its
    // caller's.
    const int32_t head = HeadFrames(out0, frames);
    if (head > 0) {
        const __mmask16 k = TailMask(head);
        v = _mm512_add_ps(_mm512_maskz_loadu_ps(k, out0), _mm512_maskz_loadu_ps(k, in0));
        _mm512_mask_storeu_ps(out0, k, v);
        m0 = MaskedMax(k, v, m0);
        v = _mm512_add_ps(_mm512_maskz_loadu_ps(k, out1), _mm512_maskz_loadu_ps(k, in1));
        _mm512_mask_storeu_ps(out1, k, v);
        m2 = MaskedMax(k, v, m2);
        in0 += head;
        in1 += head;
        out0 += head;
        out1 += head;
        frames -= head;
    }
    for (const float* const end = in0 + (frames & ~63); in0 != end; in0 += 64, in1 += 64, out0 += 64, out1 += 64) {
        v = _mm512_add_ps(_mm512_loadu_ps(out0), _mm512_loadu_ps(in0));
        _mm512_storeu_ps(out0, v);
        m0 = Max(v, m0);
        v = _mm512_add_ps(_mm512_loadu_ps(out0 + 16), _mm512_loadu_ps(in0 + 16));
        _mm512_storeu_ps(out0 + 16, v);
        m1 = Max(v, m1);
        v = _mm512_add_ps(_mm512_loadu_ps(out0 + 32), _mm512_loadu_ps(in0 + 32));
        _mm512_storeu_ps(out0 + 32, v);
        m4 = Max(v, m4);
        v = _mm512_add_ps(_mm512_loadu_ps(out0 + 48), _mm512_loadu_ps(in0 + 48));
        _mm512_storeu_ps(out0 + 48, v);
        m5 = Max(v, m5);
        v = _mm512_add_ps(_mm512_loadu_ps(out1), _mm512_loadu_ps(in1));
        _mm512_storeu_ps(out1, v);
        m2 = Max(v, m2);
        v = _mm512_add_ps(_mm512_loadu_ps(out1 + 16), _mm512_loadu_ps(in1 + 16));
        _mm512_storeu_ps(out1 + 16, v);
        m3 = Max(v, m3);
        v = _mm512_add_ps(_mm512_loadu_ps(out1 + 32), _mm512_loadu_ps(in1 + 32));
        _mm512_storeu_ps(out1 + 32, v);
        m6 = Max(v, m6);
        v = _mm512_add_ps(_mm512_loadu_ps(out1 + 48), _mm512_loadu_ps(in1 + 48));
        _mm512_storeu_ps(out1 + 48, v);
        m7 = Max(v, m7);
    }
    if (frames & 32) {
        v = _mm512_add_ps(_mm512_loadu_ps(out0), _mm512_loadu_ps(in0));
        _mm512_storeu_ps(out0, v);
        m4 = Max(v, m4);
        v = _mm512_add_ps(_mm512_loadu_ps(out0 + 16), _mm512_loadu_ps(in0 + 16));
        _mm512_storeu_ps(out0 + 16, v);
        m5 = Max(v, m5);
        v = _mm512_add_ps(_mm512_loadu_ps(out1), _mm512_loadu_ps(in1));
        _mm512_storeu_ps(out1, v);
        m6 = Max(v, m6);
        v = _mm512_add_ps(_mm512_loadu_ps(out1 + 16), _mm512_loadu_ps(in1 + 16));
        _mm512_storeu_ps(out1 + 16, v);
        m7 = Max(v, m7);
        in0 += 32;
        in1 += 32;
        out0 += 32;
        out1 += 32;
    }
    if (frames & 31) {
        // Up to 31 frames, two masked vectors per channel (see TailLanes).
        const uint32_t lanes = TailLanes(frames & 31);
        const __mmask16 k0 = static_cast<__mmask16>(lanes), k1 = static_cast<__mmask16>(lanes >> 16);
        v = _mm512_add_ps(_mm512_maskz_loadu_ps(k0, out0), _mm512_maskz_loadu_ps(k0, in0));
        _mm512_mask_storeu_ps(out0, k0, v);
        m0 = MaskedMax(k0, v, m0);
        v = _mm512_add_ps(_mm512_maskz_loadu_ps(k1, out0 + 16), _mm512_maskz_loadu_ps(k1, in0 + 16));
        _mm512_mask_storeu_ps(out0 + 16, k1, v);
        m1 = MaskedMax(k1, v, m1);
        v = _mm512_add_ps(_mm512_maskz_loadu_ps(k0, out1), _mm512_maskz_loadu_ps(k0, in1));
        _mm512_mask_storeu_ps(out1, k0, v);
        m2 = MaskedMax(k0, v, m2);
        v = _mm512_add_ps(_mm512_maskz_loadu_ps(k1, out1 + 16), _mm512_maskz_loadu_ps(k1, in1 + 16));
        _mm512_mask_storeu_ps(out1 + 16, k1, v);
        m3 = MaskedMax(k1, v, m3);
    }
    return Above512(Max(m4, m0), Max(m5, m1), Max(m6, m2), Max(m7, m3), t);
}

BW_TARGET_AVX512 BW_REALIGN int ScanPairAboveAVX512(const float* in0, const float* in1, int32_t frames,
                                                    float threshold)
{
    if (frames < 16) return avx::ScanPair(in0, in1, frames, threshold);  // see ReplacePairAboveAVX512
    const __m512 t = _mm512_set1_ps(threshold);
    // The shape of ReplacePairAboveAVX512 without the stores: each channel's
    // loads aligned on their own. A vector loaded across two cache lines
    // costs two loads; with channels from malloc every one did, and an
    // in-place 512-frame block took 35 ns instead of 22.
    __m512 m0 = Max(_mm512_loadu_ps(in0), t), m1 = t, m2 = Max(_mm512_loadu_ps(in1), t), m3 = t;
    __m512 m4 = t, m5 = t, m6 = t, m7 = t;
    int32_t left0 = frames, left1 = frames;
    if (frames >= 256) {
        const int32_t head0 = HeadFrames(in0, frames), head1 = HeadFrames(in1, frames);
        in0 += head0;
        left0 -= head0;
        in1 += head1;
        left1 -= head1;
    }
    const int32_t whole = (left0 < left1 ? left0 : left1) & ~63;
    left0 -= whole;
    left1 -= whole;
    for (const float* const end = in0 + whole; in0 != end; in0 += 64, in1 += 64) {
        m0 = Max(_mm512_loadu_ps(in0), m0);
        m1 = Max(_mm512_loadu_ps(in0 + 16), m1);
        m4 = Max(_mm512_loadu_ps(in0 + 32), m4);
        m5 = Max(_mm512_loadu_ps(in0 + 48), m5);
        m2 = Max(_mm512_loadu_ps(in1), m2);
        m3 = Max(_mm512_loadu_ps(in1 + 16), m3);
        m6 = Max(_mm512_loadu_ps(in1 + 32), m6);
        m7 = Max(_mm512_loadu_ps(in1 + 48), m7);
    }
    for (; left0 >= 16; left0 -= 16, in0 += 16) m4 = Max(_mm512_loadu_ps(in0), m4);
    for (; left1 >= 16; left1 -= 16, in1 += 16) m6 = Max(_mm512_loadu_ps(in1), m6);
    if (left0 > 0) m5 = Max(_mm512_loadu_ps(in0 + left0 - 16), m5);
    if (left1 > 0) m7 = Max(_mm512_loadu_ps(in1 + left1 - 16), m7);
    return Above512(Max(m4, m0), Max(m5, m1), Max(m6, m2), Max(m7, m3), t);
}

// The plain pair: one channel after the other.
template <SActivityKernel Kernel>
int Pair(const float* in0, const float* in1, float* out0, float* out1, int32_t frames, float threshold)
{
    return Kernel(in0, out0, frames, threshold) | Kernel(in1, out1, frames, threshold);
}

template <SActivityScanKernel Kernel>
int ScanPair(const float* in0, const float* in1, int32_t frames, float threshold)
{
    return Kernel(in0, frames, threshold) | Kernel(in1, frames, threshold);
}

}  // namespace

const SActivityKernels ActivityKernelsPlain = {
    ReplaceAbovePlain,         AccumulateAbovePlain,         ScanAbovePlain,
    Pair<ReplaceAbovePlain>, Pair<AccumulateAbovePlain>, ScanPair<ScanAbovePlain>};
const SActivityKernels ActivityKernelsSSE2 = {
    ReplaceAboveSSE2,         AccumulateAboveSSE2,         ScanAboveSSE2,
    sse2::ReplacePair,        sse2::AccumulatePair,        sse2::ScanPair};
const SActivityKernels ActivityKernelsAVX = {
    ReplaceAboveAVX,         AccumulateAboveAVX,         ScanAboveAVX,
    avx::ReplacePair,        avx::AccumulatePair,        avx::ScanPair};
const SActivityKernels ActivityKernelsAVX512 = {
    ReplaceAboveAVX512,     AccumulateAboveAVX512,     ScanAboveAVX512,
    ReplacePairAboveAVX512, AccumulatePairAboveAVX512, ScanPairAboveAVX512};

bool ProcessorHasAVX512()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f");
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

unsigned ProcessorActivityVariants()
{
    return 1u << static_cast<int>(SActivityVariant::Plain) |
           (ProcessorHasSSE2() ? 1u << static_cast<int>(SActivityVariant::SSE2) : 0u) |
           (ProcessorHasAVX() ? 1u << static_cast<int>(SActivityVariant::AVX) : 0u) |
           (ProcessorHasAVX512() ? 1u << static_cast<int>(SActivityVariant::AVX512) : 0u);
}

namespace {

constexpr SActivityVariant AllVariants[] = {SActivityVariant::Plain, SActivityVariant::SSE2, SActivityVariant::AVX,
                                            SActivityVariant::AVX512};

bool In(unsigned runs, SActivityVariant v) { return (runs >> static_cast<int>(v)) & 1u; }

}  // namespace

const SActivityKernels& ActivityKernelsOf(SActivityVariant variant)
{
    switch (variant) {
    case SActivityVariant::AVX512: return ActivityKernelsAVX512;
    case SActivityVariant::AVX: return ActivityKernelsAVX;
    case SActivityVariant::SSE2: return ActivityKernelsSSE2;
    default: return ActivityKernelsPlain;
    }
}

const char* ActivityVariantName(SActivityVariant variant)
{
    switch (variant) {
    case SActivityVariant::AVX512: return "avx512";
    case SActivityVariant::AVX: return "avx";
    case SActivityVariant::SSE2: return "sse2";
    default: return "plain";
    }
}

SActivityVariant ChooseActivityVariant(const char* request, unsigned runs, char* warning, size_t warningSize)
{
    if (warningSize > 0) warning[0] = 0;
    SActivityVariant widest = SActivityVariant::Plain;
    for (SActivityVariant v : AllVariants)
        if (In(runs, v)) widest = v;
    if (!request || !*request) return widest;
    for (SActivityVariant v : AllVariants) {
        if (strcmp(request, ActivityVariantName(v)) != 0) continue;
        if (In(runs, v)) return v;
        snprintf(warning, warningSize, "Blinkwatcher: %s=%s: this processor cannot run it; using %s instead.",
                 ActivityVariantVariable, request, ActivityVariantName(widest));
        return widest;
    }
    snprintf(warning, warningSize,
             "Blinkwatcher: %s=%.32s is none of plain, sse2, avx, avx512; using %s instead.",
             ActivityVariantVariable, request, ActivityVariantName(widest));
    return widest;
}

namespace {

SActivityVariant ChooseAtLoad()
{
    char warning[160];
    const SActivityVariant v =
        ChooseActivityVariant(getenv(ActivityVariantVariable), ProcessorActivityVariants(), warning, sizeof warning);
    if (warning[0]) fprintf(stderr, "%s\n", warning);
    return v;
}

// Read when the module loads, so that the warning comes once per process and
// no block ever looks at the environment.
const SActivityVariant chosenAtLoad = ChooseAtLoad();

}  // namespace

SActivityVariant ChosenActivityVariant() { return chosenAtLoad; }

}  // namespace analysis
}  // namespace audio
}  // namespace quor
