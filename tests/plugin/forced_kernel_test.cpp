// Each kernel variant forced as benchmarks force it: BLINKWATCHER_KERNEL set
// before the shipped plug-in is loaded (in a child process, so that each
// variant gets a fresh load), then blocks of a table of lengths, channel
// offsets and places through its AEffect record, compared bit for bit with
// the samples a plain copy or sum gives. A variant the processor (or the
// emulator) does not run must fall back with one line on standard error; the
// test then says so and skips.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "FloatBits.h"
#include "plugin/PluginTestSupport.h"
#include "quor/audio/analysis/SActivityKernels.h"
#include "tools/vsthost/VstHost.h"

using namespace quor::audio::analysis;

namespace {

using bwtest::FromBits;
using bwtest::Occurrences;

// What the channels are made of: quiet samples, patterns that must come
// through unchanged (NaNs with payloads, infinities, denormals, -0), and
// loud samples far above the default threshold (-50 dB).
std::vector<float> Signal(size_t n, uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> quiet(-0.001f, 0.001f);
    const float special[] = {FromBits(0x7FC12345u), FromBits(0xFF800001u), -INFINITY, FromBits(1u), -0.0f};
    std::vector<float> v(n);
    for (float& f : v) f = random() % 9 == 0 ? special[random() % 5] : quiet(random);
    return v;
}

// The sample a block must leave, as the x87 unit would store it too.
float Sum(float out, float in)
{
    volatile float s = out + in;
    return s;
}

// Bit for bit; a sum may be any NaN where the reference has one: which
// payload an addition of two NaNs keeps is up to the processor and the order
// the compiler gives the operands.
bool Same(const std::vector<float>& got, const std::vector<float>& expected, bool sums)
{
    for (size_t i = 0; i < got.size(); ++i)
        if (memcmp(&got[i], &expected[i], sizeof(float)) != 0 &&
            !(sums && std::isnan(got[i]) && std::isnan(expected[i])))
            return false;
    return true;
}

struct Place {
    const char* name;
    bool leftInPlace, rightInPlace;
};

// Runs the table through the plug-in loaded in this (child) process; returns
// the first difference, or an empty text.
std::string RunTable(AEffect* effect)
{
    const int frameCounts[] = {1,  2,  3,  4,   5,   7,   8,   9,   15,  16,  17,  31,   32,  33,
                               63, 64, 65, 127, 128, 129, 255, 256, 257, 300, 511, 512, 513, 4096};
    const Place places[] = {{"out of place", false, false}, {"in place", true, true}, {"left in place", true, false}};
    uint32_t seed = 1;
    for (int frames : frameCounts)
        for (int inOffset : {0, 1, 3})
            for (int outOffset : {0, 2, 5, 13})
                for (const Place& place : places)
                    for (int accumulate = 0; accumulate < 2; ++accumulate) {
                        // Each channel in a buffer of its own, at an offset in
                        // floats from a 64-byte boundary.
                        std::vector<float> in[2], out[2], expected[2];
                        float* inPtr[2];
                        float* outPtr[2];
                        for (int c = 0; c < 2; ++c) {
                            const bool inPlace = c == 0 ? place.leftInPlace : place.rightInPlace;
                            in[c] = Signal(frames + 32, ++seed);
                            out[c] = Signal(frames + 32, ++seed);
                            inPtr[c] = in[c].data() + inOffset + 8 * c;
                            outPtr[c] = inPlace ? inPtr[c] : out[c].data() + outOffset + 3 * c;
                            expected[c] = inPlace ? in[c] : out[c];
                            float* e = expected[c].data() + (outPtr[c] - (inPlace ? in[c].data() : out[c].data()));
                            for (int i = 0; i < frames; ++i) {
                                // Through the bits: a copy must not quieten a
                                // signalling NaN.
                                if (accumulate)
                                    e[i] = Sum(e[i], inPtr[c][i]);
                                else
                                    memcpy(&e[i], &inPtr[c][i], sizeof(float));
                            }
                        }
                        if (accumulate)
                            effect->process(effect, inPtr, outPtr, frames);
                        else
                            effect->processReplacing(effect, inPtr, outPtr, frames);
                        for (int c = 0; c < 2; ++c) {
                            const bool inPlace = c == 0 ? place.leftInPlace : place.rightInPlace;
                            const std::vector<float>& got = inPlace ? in[c] : out[c];
                            if (!Same(got, expected[c], accumulate))
                                return std::string(accumulate ? "process" : "processReplacing") + ", " +
                                       std::to_string(frames) + " frames, " + place.name + ", input offset " +
                                       std::to_string(inOffset) + ", output offset " + std::to_string(outOffset) +
                                       ": channel " + std::to_string(c) + " differs";
                        }
                    }
    return "";
}

struct Outcome {
    int status = -1;
    std::string report;  // the first difference, or "ok"
    std::string stderrText;
};

// In a child: forces `kernel`, loads the plug-in and runs the table.
Outcome RunForced(const char* kernel)
{
    int fds[2];
    Outcome o;
    if (pipe(fds) != 0) return o;
    fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        setenv(ActivityVariantVariable, kernel, 1);
        std::string text;
        {
            bwtest::StderrCapture captured;
            vsthost::Host host;
            if (!host.Load(bwtest::PluginPath())) {
                text = "not loaded: " + host.ErrorText();
            } else {
                host.Start(48000.0f, 4096);
                text = RunTable(host.Effect());
                if (text.empty()) text = "ok";
                host.Close();
            }
            text += '\n' + captured.Text();
        }
        const ssize_t written = write(fds[1], text.data(), text.size());
        _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    close(fds[1]);
    std::string all;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fds[0], buffer, sizeof buffer)) > 0) all.append(buffer, got);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const size_t line = all.find('\n');
    o.report = all.substr(0, line);
    o.stderrText = line == std::string::npos ? "" : all.substr(line + 1);
    return o;
}

void CheckForced(SActivityVariant variant)
{
    const char* name = ActivityVariantName(variant);
    const unsigned runs = ProcessorActivityVariants();
    const Outcome o = RunForced(name);
    ASSERT_EQ(o.status, 0) << o.report;
    EXPECT_EQ(o.report, "ok") << name;
    const bool honoured = (runs >> static_cast<int>(variant)) & 1u;
    if (honoured) {
        EXPECT_EQ(Occurrences(o.stderrText, ActivityVariantVariable), 0) << o.stderrText;
        return;
    }
    // Blocks ran bit-exact on the fallback; the user was told once.
    char warning[160];
    const SActivityVariant fallback = ChooseActivityVariant(name, runs, warning, sizeof warning);
    EXPECT_EQ(Occurrences(o.stderrText, ActivityVariantVariable), 1) << o.stderrText;
    EXPECT_NE(o.stderrText.find(warning), std::string::npos) << o.stderrText;
    GTEST_SKIP() << "this processor does not run " << name << "; forced, the plug-in fell back to "
                 << ActivityVariantName(fallback) << " and said so once";
}

}  // namespace

TEST(ForcedKernel, Plain) { CheckForced(SActivityVariant::Plain); }
TEST(ForcedKernel, SSE2) { CheckForced(SActivityVariant::SSE2); }
TEST(ForcedKernel, AVX) { CheckForced(SActivityVariant::AVX); }
TEST(ForcedKernel, AVX512) { CheckForced(SActivityVariant::AVX512); }

TEST(ForcedKernel, ANameThatIsNoVariantFallsBackWithOneLine)
{
    const Outcome o = RunForced("avx2");
    ASSERT_EQ(o.status, 0) << o.report;
    EXPECT_EQ(o.report, "ok");
    EXPECT_EQ(Occurrences(o.stderrText, "BLINKWATCHER_KERNEL=avx2 is none of plain, sse2, avx, avx512"), 1)
        << o.stderrText;
}
