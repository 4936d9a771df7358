// The activity detector's loops: every variant copies every bit pattern
// unchanged, adds exactly, and agrees on the answer, one channel at a time,
// two at once, and in place.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "FloatBits.h"
#include "quor/audio/analysis/SActivityBlockChecker.h"

using namespace quor::audio::analysis;
using bwtest::FromBits;

namespace {

typedef int (*Kernel)(const float*, float*, int32_t, float);

struct Variants {
    const char* name;
    Kernel replace;
    Kernel accumulate;
    const SActivityKernels* all;
};

std::vector<Variants> Available()
{
    std::vector<Variants> v{{"plain", ReplaceAbovePlain, AccumulateAbovePlain, &ActivityKernelsPlain}};
    if (ProcessorHasSSE2()) v.push_back({"sse2", ReplaceAboveSSE2, AccumulateAboveSSE2, &ActivityKernelsSSE2});
    if (ProcessorHasAVX()) v.push_back({"avx", ReplaceAboveAVX, AccumulateAboveAVX, &ActivityKernelsAVX});
    if (ProcessorHasAVX512())
        v.push_back({"avx512", ReplaceAboveAVX512, AccumulateAboveAVX512, &ActivityKernelsAVX512});
    return v;
}

std::vector<float> RandomBits(size_t n, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<float> v(n);
    for (float& f : v) f = FromBits(random());
    return v;
}

}  // namespace

TEST(ActivityKernels, ReplaceCopiesEveryBitPatternAtEveryLengthAndOffset)
{
    std::vector<float> source = RandomBits(80, 1);
    source[3] = FromBits(0x7F800001u);  // signalling NaN
    source[4] = FromBits(0xFFC12345u);  // quiet NaN with payload
    source[5] = FromBits(0x00000001u);  // smallest denormal
    source[6] = -0.0f;
    for (const Variants& v : Available())
        for (int offset = 0; offset < 4; ++offset)
            for (int frames = 0; frames <= 40; ++frames) {
                std::vector<float> out(48, 7.0f);
                v.replace(source.data() + offset, out.data() + 1, frames, 0.5f);
                EXPECT_EQ(memcmp(out.data() + 1, source.data() + offset, frames * sizeof(float)), 0)
                    << v.name << " " << offset << "/" << frames;
                EXPECT_EQ(out[0], 7.0f);
                EXPECT_EQ(out[1 + frames], 7.0f) << "nothing written past the block";
            }
}

TEST(ActivityKernels, AnAnswerIsAboveTheThresholdStrictlyAndSigned)
{
    const float t = 0.01f;
    struct Case {
        float sample;
        int expected;
    } cases[] = {{t, 0},
                 {std::nextafter(t, 1.0f), 1},
                 {std::nextafter(t, 0.0f), 0},
                 {-1.0f, 0},
                 {-std::numeric_limits<float>::infinity(), 0},
                 {std::numeric_limits<float>::infinity(), 1},
                 {std::nanf(""), 0},
                 {-std::nanf(""), 0},
                 {FromBits(0x7F800001u), 0},
                 {0.0f, 0},
                 {-0.0f, 0}};
    for (const Variants& v : Available())
        for (const Case& c : cases)
            for (int position : {0, 5, 8, 12}) {
                std::vector<float> in(13, 0.0f), out(13);
                in[position] = c.sample;
                EXPECT_EQ(v.replace(in.data(), out.data(), 13, t), c.expected)
                    << v.name << " sample " << c.sample << " at " << position;
            }
    // A zero threshold: any positive sample, the smallest denormal included.
    for (const Variants& v : Available()) {
        float in[3] = {0.0f, FromBits(1u), 0.0f}, out[3];
        EXPECT_EQ(v.replace(in, out, 3, 0.0f), 1) << v.name;
        in[1] = -0.0f;
        EXPECT_EQ(v.replace(in, out, 3, 0.0f), 0) << v.name;
    }
}

TEST(ActivityKernels, AccumulateAddsExactlyAndJudgesTheSum)
{
    std::mt19937 random(4);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> in(301), base(301), expected(301);
    for (size_t i = 0; i < in.size(); ++i) {
        in[i] = d(random) * 1e-3f;
        base[i] = d(random);
    }
    // A separate pass: the x87 unit must add the stored floats, not the
    // unrounded values it may still hold from the fill.
    for (size_t i = 0; i < in.size(); ++i) {
        volatile float sum = base[i] + in[i];
        expected[i] = sum;
    }
    for (const Variants& v : Available()) {
        std::vector<float> out = base;
        v.accumulate(in.data(), out.data(), static_cast<int32_t>(out.size()), 2.0f);
        EXPECT_EQ(memcmp(out.data(), expected.data(), out.size() * sizeof(float)), 0) << v.name;
        float i2[9] = {0.006f, 0, 0, 0, 0, 0, 0, 0, 0.006f}, o2[9] = {0.006f, 0, 0, 0, 0, 0, 0, 0, 0.0f};
        EXPECT_EQ(v.accumulate(i2, o2, 9, 0.01f), 1) << v.name << ": the sum counts, not the input";
        float i3[2] = {0.02f, 0.02f}, o3[2] = {-0.02f, -0.5f};
        EXPECT_EQ(v.accumulate(i3, o3, 2, 0.01f), 0) << v.name;
        EXPECT_EQ(o3[0], 0.0f);
    }
}

TEST(ActivityKernels, VariantsAgreeOnRandomBlocks)
{
    const std::vector<Variants> all = Available();
    if (all.size() < 2) GTEST_SKIP() << "only the plain variant runs on this processor";
    std::mt19937 random(11);
    std::uniform_real_distribution<float> d(-0.02f, 0.02f);
    for (int round = 0; round < 300; ++round) {
        const int frames = static_cast<int>(random() % 90);
        std::vector<float> in(frames + 1), base(frames + 1);
        for (int i = 0; i < frames; ++i) in[i] = d(random) * (round % 3 ? 0.4f : 1.0f);
        for (int i = 0; i < frames; ++i) base[i] = d(random);
        const float t = 0.01f;
        std::vector<float> plain = base;
        const int replaced = all[0].replace(in.data(), plain.data(), frames, t);
        const int summed = all[0].accumulate(in.data(), plain.data(), frames, t);
        for (size_t v = 1; v < all.size(); ++v) {
            std::vector<float> other = base;
            EXPECT_EQ(all[v].replace(in.data(), other.data(), frames, t), replaced) << all[v].name;
            EXPECT_EQ(all[v].accumulate(in.data(), other.data(), frames, t), summed) << all[v].name;
            EXPECT_EQ(memcmp(plain.data(), other.data(), frames * sizeof(float)), 0) << all[v].name;
        }
    }
}

TEST(ActivityKernels, PairsAndScansAnswerAsOneChannelAtATime)
{
    std::mt19937 random(23);
    std::uniform_real_distribution<float> d(-0.02f, 0.02f);
    const float t = 0.01f;
    for (const Variants& v : Available()) {
        const SActivityKernels& k = *v.all;
        for (int round = 0; round < 400; ++round) {
            // Long blocks too, and channels on any float boundary, as malloc
            // hands them out (the widest loops align their stores first);
            // the longest go channel after channel.
            const int frames = round % 10 == 9 ? 1000 + static_cast<int>(random() % 3200)
                                               : static_cast<int>(random() % (round % 2 ? 700 : 150));
            const int at = static_cast<int>(random() % 16);
            // Quiet blocks most of the time, so that one loud sample decides.
            const float scale = round % 4 ? 0.45f : 1.0f;
            std::vector<float> in0(frames + 2), in1(frames + 2), base0(frames + 2), base1(frames + 2);
            for (int i = 0; i < frames; ++i) {
                in0[i] = d(random) * scale;
                in1[i] = d(random) * scale;
                base0[i] = d(random) * scale;
                base1[i] = d(random) * scale;
            }
            if (frames > 0 && round % 3 == 0)
                (round % 2 ? in0 : in1)[random() % frames] = 0.5f;
            const int first = ScanAbovePlain(in0.data(), frames, t), second = ScanAbovePlain(in1.data(), frames, t);

            EXPECT_EQ(k.scan(in0.data(), frames, t), first) << v.name << " " << frames;
            EXPECT_EQ(k.scanPair(in0.data(), in1.data(), frames, t), first | second) << v.name << " " << frames;

            std::vector<float> out0(frames + 18, 9.0f), out1(frames + 18, 9.0f);
            EXPECT_EQ(k.replacePair(in0.data(), in1.data(), out0.data() + at, out1.data() + at, frames, t),
                      first | second)
                << v.name << " " << frames;
            EXPECT_EQ(memcmp(out0.data() + at, in0.data(), frames * sizeof(float)), 0) << v.name;
            EXPECT_EQ(memcmp(out1.data() + at, in1.data(), frames * sizeof(float)), 0) << v.name;
            for (int i = 0; i < at; ++i) ASSERT_EQ(out0[i] + out1[i], 18.0f) << v.name << ": written before the block";
            EXPECT_EQ(out0[at + frames], 9.0f) << v.name << ": nothing written past the block";
            EXPECT_EQ(out1[at + frames], 9.0f) << v.name << ": nothing written past the block";

            std::vector<float> one0 = base0, one1 = base1, two0(at), two1(at);
            two0.insert(two0.end(), base0.begin(), base0.end());
            two1.insert(two1.end(), base1.begin(), base1.end());
            const int summed = k.accumulate(in0.data(), one0.data(), frames, t) |
                               k.accumulate(in1.data(), one1.data(), frames, t);
            EXPECT_EQ(k.accumulatePair(in0.data(), in1.data(), two0.data() + at, two1.data() + at, frames, t), summed)
                << v.name << " " << frames;
            EXPECT_EQ(memcmp(one0.data(), two0.data() + at, (frames + 2) * sizeof(float)), 0) << v.name;
            EXPECT_EQ(memcmp(one1.data(), two1.data() + at, (frames + 2) * sizeof(float)), 0) << v.name;
        }
        // One loud sample among the first frames, which the widest loops
        // take apart while they align.
        for (int at = 0; at < 16; ++at)
            for (int loud = 0; loud < 32; ++loud) {
                std::vector<float> in(2 * 300), out(2 * 300 + 16);
                in[loud % 2 * 300 + loud / 2] = 0.5f;
                EXPECT_EQ(k.replacePair(&in[0], &in[300], &out[at], &out[at + 300], 300, t), 1) << v.name << at;
                EXPECT_EQ(k.accumulatePair(&in[0], &in[300], &out[at], &out[at + 300], 300, t), 1) << v.name << at;
            }
    }
}

TEST(ActivityKernels, ScansTreatNaNAndTheThresholdAsCopiesDo)
{
    const float t = 0.25f;
    const float samples[] = {t, std::nextafter(t, 1.0f), std::nanf(""), FromBits(0x7F800001u), -1.0f,
                             std::numeric_limits<float>::infinity()};
    for (const Variants& v : Available())
        for (float sample : samples)
            for (int frames : {1, 15, 16, 17, 33, 64, 70}) {
                std::vector<float> in(frames, 0.0f), out(frames);
                in[frames - 1] = sample;
                const int copied = v.replace(in.data(), out.data(), frames, t);
                EXPECT_EQ(v.all->scan(in.data(), frames, t), copied) << v.name << " " << sample << " " << frames;
                EXPECT_EQ(v.all->scanPair(out.data(), in.data(), frames, t), copied) << v.name << " " << sample;
            }
}

namespace {
int32_t reported = -5;
void* reportedArgument = nullptr;
void Record(void* argument, int32_t active)
{
    reported = active;
    reportedArgument = argument;
}
}  // namespace

TEST(ActivityBlockChecker, ReportsEachBlockThroughTheSlot)
{
    SActivityBlockChecker<float> checker;
    SActivityCallback slot = Record;
    int owner = 0;
    checker.Install(&slot, &owner);
    std::vector<float> l(10, 0.0f), r(10, 0.0f), ol(10, 1.0f), orr(10, 1.0f);
    const float* in[2] = {l.data(), r.data()};
    float* out[2] = {ol.data(), orr.data()};
    SActivityBlock<float> block{10, 2, 0.1f, 0, 1};
    r[9] = 0.2f;
    EXPECT_EQ(checker.Replace(in, out, block), 1);
    checker.Report();
    EXPECT_EQ(reported, 1);
    EXPECT_EQ(reportedArgument, &owner);
    EXPECT_EQ(orr[9], 0.2f);
    r[9] = 0.0f;
    EXPECT_EQ(checker.Replace(in, out, block), 0);
    checker.Report();
    EXPECT_EQ(reported, 0);
    // No frames: nothing touched, the starting result.
    SActivityBlock<float> empty{0, 2, 0.1f, 0, 1};
    ol.assign(10, 3.0f);
    EXPECT_EQ(checker.Replace(in, out, empty), 0);
    EXPECT_EQ(ol[0], 3.0f);
    slot = nullptr;
    reported = -5;
    checker.Report();
    EXPECT_EQ(reported, -5) << "an empty slot calls nothing";
    checker.SelectVariant(SActivityBlockChecker<float>::Variant::Plain);
    EXPECT_EQ(checker.CurrentVariant(), SActivityBlockChecker<float>::Variant::Plain);
}

TEST(ActivityKernels, AForcedVariantIsTakenWhenItRunsAndOtherwiseRefusedOnce)
{
    const unsigned all = 15, sse2Only = 3, plainOnly = 1;
    struct Case {
        const char* request;
        unsigned runs;
        SActivityVariant chosen;
        const char* warning;  // a part of it, or "" for none
    } cases[] = {
        {nullptr, all, SActivityVariant::AVX512, ""},
        {"", sse2Only, SActivityVariant::SSE2, ""},
        {nullptr, plainOnly, SActivityVariant::Plain, ""},
        {"plain", all, SActivityVariant::Plain, ""},
        {"sse2", all, SActivityVariant::SSE2, ""},
        {"avx", all, SActivityVariant::AVX, ""},
        {"avx512", all, SActivityVariant::AVX512, ""},
        {"avx512", sse2Only, SActivityVariant::SSE2,
         "Blinkwatcher: BLINKWATCHER_KERNEL=avx512: this processor cannot run it; using sse2 instead."},
        {"avx", 1 | 2 | 8, SActivityVariant::AVX512, "BLINKWATCHER_KERNEL=avx: this processor cannot run it"},
        {"sse2", plainOnly, SActivityVariant::Plain, "using plain instead"},
        {"AVX", all, SActivityVariant::AVX512, "BLINKWATCHER_KERNEL=AVX is none of plain, sse2, avx, avx512"},
        {"avx2", sse2Only, SActivityVariant::SSE2, "avx2 is none of"},
    };
    // A row a case: the variant chosen, and the expected part of the warning
    // where the warning has it, else the whole warning.
    auto row = [](const Case& c, SActivityVariant chosen, const std::string& said) {
        return (c.request ? "\"" + std::string(c.request) + "\"" : "(none)") + " on " + std::to_string(c.runs) + ": " +
               ActivityVariantName(chosen) + ", \"" + said + "\"\n";
    };
    std::string expected, got;
    for (const Case& c : cases) {
        char warning[160] = "untouched";
        const SActivityVariant chosen = ChooseActivityVariant(c.request, c.runs, warning, sizeof warning);
        const bool hasPart = *c.warning && std::string(warning).find(c.warning) != std::string::npos;
        expected += row(c, c.chosen, c.warning);
        got += row(c, chosen, hasPart ? c.warning : warning);
    }
    EXPECT_EQ(got, expected);
    // A long request is cut in the line, never past its buffer.
    const std::string longName(300, 'x');
    char small[40];
    EXPECT_EQ(ChooseActivityVariant(longName.c_str(), all, small, sizeof small), SActivityVariant::AVX512);
    EXPECT_EQ(strlen(small), sizeof small - 1);
    // The engine's detector starts with the choice made at load.
    EXPECT_EQ(SActivityBlockChecker<float>().CurrentVariant(), ChosenActivityVariant());
    EXPECT_TRUE(ProcessorActivityVariants() & 1u) << "the plain loops run everywhere";
}

TEST(ActivityKernels, ChannelsAlignedApartFindTheLoudSampleWhereverItIs)
{
    // The widest loops align each channel on its own and end each with a
    // rest of its own: one loud sample in the frames each part takes, with
    // the channels at different offsets from a cache line.
    const float t = 0.01f;
    for (const Variants& v : Available())
        for (int frames : {16, 17, 63, 64, 65, 255, 256, 300, 511, 512, 700, 1024, 1031})
            for (int offset0 : {0, 3, 12})
                for (int offset1 : {0, 5, 15})
                    for (int loud : {0, 1, 11, frames / 2, frames - 17, frames - 16, frames - 2, frames - 1})
                        for (int channel = 0; channel < 2 && loud >= 0; ++channel) {
                            std::vector<float> in(2 * (frames + 32), 0.001f), out(2 * (frames + 32), 9.0f);
                            float* in0 = in.data() + offset0;
                            float* in1 = in.data() + frames + 16 + offset1;
                            float* out0 = out.data() + offset1;
                            float* out1 = out.data() + frames + 16 + offset0;
                            (channel ? in1 : in0)[loud] = 0.5f;
                            EXPECT_EQ(v.all->scanPair(in0, in1, frames, t), 1)
                                << v.name << " " << frames << " at " << loud << " of " << channel;
                            EXPECT_EQ(v.all->replacePair(in0, in1, out0, out1, frames, t), 1)
                                << v.name << " " << frames << " at " << loud << " of " << channel;
                            EXPECT_EQ(memcmp(out0, in0, frames * sizeof(float)), 0) << v.name;
                            EXPECT_EQ(memcmp(out1, in1, frames * sizeof(float)), 0) << v.name;
                            (channel ? in1 : in0)[loud] = 0.001f;
                            EXPECT_EQ(v.all->scanPair(in0, in1, frames, t), 0) << v.name << " " << frames;
                        }
}
