// processReplacing through the AEffect record against memcpy of the same two
// channels, an empty block, and a block carrying 256 MIDI events. The ratios
// to memcpy are printed after the table.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "plugin/SPluginEditor.h"
#include "plugin/SPluginEntry.h"
#include "plugin/VSTPlugin.h"
#include "quor/system/SSystemData.h"

namespace {

// Channel buffers as hosts allocate them: cache-line aligned.
struct Channel {
    explicit Channel(int frames, float value = 0.0f)
        : data(static_cast<float*>(aligned_alloc(64, ((frames * sizeof(float) + 63) / 64 + 1) * 64)))
    {
        for (int i = 0; i < frames; ++i) data[i] = value;
    }
    ~Channel() { free(data); }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;
    float* data;
};

VstIntPtr Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterProcessEvents) return 1;
    return 0;
}

// The posting path as it runs with an editor window open.
class OpenEditorPlugin : public VSTPlugin {
public:
    OpenEditorPlugin(audioMasterCallback host, int& result) : VSTPlugin(host, result)
    {
        AttachEditor(new SPluginEditor(this, Globals(), result));
    }
};

SPlugin* MakeOpenEditor(audioMasterCallback host, int& result) { return new OpenEditorPlugin(host, result); }

struct Setup {
    explicit Setup(bool editorOpen, int frames)
        : a(frames, 0.001f), b(frames, -0.001f), c(frames), d(frames)
    {
        effect = editorOpen ? PluginEntry(Host, sd, MakeOpenEditor) : PluginEntry(Host, sd);
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
        effect->dispatcher(effect, effSetBlockSize, 0, frames, nullptr, 0.0f);
        effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
        if (editorOpen)
            static_cast<SPlugin*>(static_cast<AudioEffect*>(effect->object))->SetEditorClosed(false);
        in[0] = a.data;
        in[1] = b.data;
        out[0] = c.data;
        out[1] = d.data;
    }
    ~Setup() { effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); }
    AEffect* effect;
    Channel a, b, c, d;
    float* in[2];
    float* out[2];
};

void ProcessReplacing(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    Setup s(false, frames);
    for (auto _ : state) {
        s.effect->processReplacing(s.effect, s.in, s.out, frames);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * frames * 2 * sizeof(float));
}

void ProcessReplacingEditorOpen(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    Setup s(true, frames);
    for (auto _ : state) {
        s.effect->processReplacing(s.effect, s.in, s.out, frames);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * frames * 2 * sizeof(float));
}

void Memcpy(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    Channel a(frames, 0.001f), b(frames, -0.001f), c(frames), d(frames);
    for (auto _ : state) {
        memcpy(c.data, a.data, frames * sizeof(float));
        memcpy(d.data, b.data, frames * sizeof(float));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * frames * 2 * sizeof(float));
}

void ZeroFrames(benchmark::State& state)
{
    Setup s(false, 64);
    for (auto _ : state) {
        s.effect->processReplacing(s.effect, s.in, s.out, 0);
        benchmark::ClobberMemory();
    }
}

void Events256(benchmark::State& state)
{
    Setup s(false, 64);
    std::vector<VstMidiEvent> events(256);
    for (int i = 0; i < 256; ++i) {
        events[i] = VstMidiEvent{};
        events[i].type = kVstMidiType;
        events[i].byteSize = 24;
        events[i].deltaFrames = i / 4;
        events[i].midiData[0] = static_cast<char>(0x90 | (i & 15));
        events[i].midiData[1] = static_cast<char>(i & 127);
        events[i].midiData[2] = 100;
    }
    std::vector<uint8_t> storage(sizeof(VstEvents) + 256 * sizeof(VstEvent*));
    VstEvents* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = 256;
    for (int i = 0; i < 256; ++i) list->events[i] = reinterpret_cast<VstEvent*>(&events[i]);
    for (auto _ : state) {
        s.effect->dispatcher(s.effect, effProcessEvents, 0, 0, list, 0.0f);
        s.effect->processReplacing(s.effect, s.in, s.out, 64);
        benchmark::ClobberMemory();
    }
}

// The machine is shared: each figure is the best of several repetitions.
void Repeated(benchmark::internal::Benchmark* b)
{
    b->Repetitions(5)->DisplayAggregatesOnly(true)->ComputeStatistics("min", [](const std::vector<double>& v) {
        return *std::min_element(v.begin(), v.end());
    });
}

BENCHMARK(Memcpy)->Arg(64)->Arg(512)->Arg(4096)->Apply(Repeated);
BENCHMARK(ProcessReplacing)->Arg(64)->Arg(512)->Arg(4096)->Apply(Repeated);
BENCHMARK(ProcessReplacingEditorOpen)->Arg(64)->Arg(512)->Arg(4096)->Apply(Repeated);
BENCHMARK(ZeroFrames)->Apply(Repeated);
BENCHMARK(Events256)->Apply(Repeated);

// Keeps every run's time per iteration for the ratios.
class Collector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "min" && !r.error_occurred)
                nanoseconds[r.run_name.function_name + (r.run_name.args.empty() ? "" : "/" + r.run_name.args)] =
                    r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> nanoseconds;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    auto& t = collector.nanoseconds;
    printf("\nRatio to memcpy of the same two channels (best CPU time per block of 5 runs):\n");
    for (const char* frames : {"64", "512", "4096"}) {
        const std::string m = std::string("Memcpy/") + frames;
        if (!t.count(m) || t[m] <= 0.0) continue;
        for (const char* name : {"ProcessReplacing/", "ProcessReplacingEditorOpen/"}) {
            const std::string p = name + std::string(frames);
            if (t.count(p)) printf("  %-32s %8.1f ns  memcpy %7.1f ns  ratio %.2fx\n", p.c_str(), t[p], t[m], t[p] / t[m]);
        }
    }
    if (t.count("ZeroFrames")) printf("  %-32s %8.1f ns\n", "0-frame block", t["ZeroFrames"]);
    if (t.count("Events256")) printf("  %-32s %8.1f ns\n", "256 events + 64-frame block", t["Events256"]);
    return 0;
}
