// 32-bit hosts and bridges may call with the stack aligned to 4 bytes only;
// the processing must work with any alignment, whichever loops the
// processor runs. Built for the 32-bit tree only.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "plugin/PluginDoubles.h"

#if !defined(__i386__)
#error "the misaligned calls are written for 32-bit x86"
#endif

typedef void (*ProcessFunction)(AEffect*, float**, float**, VstInt32);

// Calls f(effect, in, out, frames) with the stack pointer at `entry` modulo
// 16 on entry to f (the ABI promises 12: the return address just below a
// 16-byte boundary).
extern "C" void bw_call_misaligned(ProcessFunction f, AEffect* effect, float** in, float** out, VstInt32 frames,
                                   uint32_t entry);
asm(R"(
    .text
    .globl bw_call_misaligned
    .type bw_call_misaligned, @function
bw_call_misaligned:
    push %ebp
    mov %esp, %ebp
    and $-16, %esp
    mov $12, %ecx
    sub 28(%ebp), %ecx
    and $15, %ecx
    sub %ecx, %esp
    push 24(%ebp)
    push 20(%ebp)
    push 16(%ebp)
    push 12(%ebp)
    call *8(%ebp)
    mov %ebp, %esp
    pop %ebp
    ret
    .size bw_call_misaligned, .-bw_call_misaligned
)");

namespace {

// The trampoline itself: the callee sees the alignment asked for.
uint32_t seenEntry = 99;
extern "C" void RecordEntry(AEffect*, float**, float**, VstInt32)
{
    // With a frame pointer, the frame address is where %ebp was saved, just
    // below the return address: 4 below the stack pointer on entry.
    seenEntry = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) + 4) % 16;
}

}  // namespace

TEST(MisalignedStack, TheTrampolineMisalignsAsAsked)
{
    for (uint32_t entry : {0u, 4u, 8u, 12u}) {
        bw_call_misaligned(RecordEntry, nullptr, nullptr, nullptr, 0, entry);
        EXPECT_EQ(seenEntry, entry);
    }
}

TEST(MisalignedStack, EveryLoopWorksWithAStackAlignedTo4Bytes)
{
    using Variant = quor::audio::analysis::SActivityBlockChecker<float>::Variant;
    bwtest::EnginePlugin plugin;
    plugin.resume();
    plugin.SetEditorClosed(false);
    AEffect* effect = plugin.getAeffect();
    std::vector<float> left(301), right(301);
    for (size_t i = 0; i < left.size(); ++i) {
        left[i] = 0.0001f * static_cast<float>(i % 17);
        right[i] = -0.0002f * static_cast<float>(i % 13);
    }
    right[299] = 0.5f;  // one loud sample near the end
    int variants = 0;
    for (Variant v : {Variant::Plain, Variant::SSE2, Variant::AVX, Variant::AVX512}) {
        if (!quor::audio::analysis::SActivityBlockChecker<float>::Runs(v)) continue;
        ++variants;
        plugin.Detector().SelectVariant(v);
        for (uint32_t entry : {0u, 4u, 8u, 12u}) {
            std::vector<float> outL(left.size()), outR(right.size());
            float* in[2] = {left.data(), right.data()};
            float* out[2] = {outL.data(), outR.data()};
            plugin.Editor().Take();
            bw_call_misaligned(effect->processReplacing, effect, in, out, 301, entry);
            EXPECT_EQ(outL, left) << static_cast<int>(v) << " at " << entry;
            EXPECT_EQ(outR, right) << static_cast<int>(v) << " at " << entry;
            EXPECT_EQ(plugin.Editor().Take(), (std::vector<long>{12, 14, 9})) << static_cast<int>(v);

            bw_call_misaligned(effect->process, effect, in, out, 301, entry);
            EXPECT_EQ(outR[299], 1.0f) << static_cast<int>(v) << " at " << entry;
            EXPECT_EQ(plugin.Editor().Take(), (std::vector<long>{12, 14, 9})) << static_cast<int>(v);

            bw_call_misaligned(effect->processReplacing, effect, in, in, 301, entry);  // in place
            EXPECT_EQ(plugin.Editor().Take(), (std::vector<long>{12, 14, 9})) << static_cast<int>(v);
        }
    }
    EXPECT_GE(variants, 2) << "at least the plain and the SSE2 loops";
}
