// The engine's cost per block through the AEffect record, against memcpy of
// the same two channels in the same run: 64, 512 and 4096 frames, with the
// editor closed and open, out of place and in place; an empty block; a block
// carrying 256 MIDI events. The LV2 edition's run function the same way
// (its DSP object loaded with dlopen, as LV2 hosts load it). A summary with
// the ratios follows the table.

#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <dlfcn.h>
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <thread>
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

// The plug-in with its editor object, as hosts see it once the editor exists.
class WithEditor : public VSTPlugin {
public:
    WithEditor(audioMasterCallback host, int& result) : VSTPlugin(host, result)
    {
        AttachEditor(new SPluginEditor(this, Globals(), result));
    }
};

SPlugin* MakeWithEditor(audioMasterCallback host, int& result) { return new WithEditor(host, result); }

// One set of channels per block size, kept for the whole run and shared by
// memcpy and every block of that size. Where a host's channels lie relative
// to each other moves a copy's cost by a quarter from one heap layout to the
// next (a load waits for a recent store whose address matches in its low 12
// bits), so each ratio compares copies of the very same addresses.
struct Channels {
    explicit Channels(int frames) : a(frames, 0.001f), b(frames, -0.001f), c(frames), d(frames) {}
    Channel a, b, c, d;
};

Channels& SharedChannels(int frames)
{
    static std::map<int, std::unique_ptr<Channels>> sets;
    std::unique_ptr<Channels>& set = sets[frames];
    if (!set) set.reset(new Channels(frames));
    return *set;
}

struct Setup {
    Setup(bool editorOpen, int frames) : channels(SharedChannels(frames))
    {
        effect = PluginEntry(Host, sd, MakeWithEditor);
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
        effect->dispatcher(effect, effSetBlockSize, 0, frames, nullptr, 0.0f);
        effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
        if (editorOpen) {
            // A real host window when there is a server; without one the
            // editor opens only the engine's side, which is what the audio
            // thread pays for either way.
            host = XOpenDisplay(nullptr);
            if (host) {
                window = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 100, 75, 0, 0, 0);
                XMapWindow(host, window);
                XSync(host, False);
            }
            effect->dispatcher(effect, effEditOpen, 0, reinterpret_cast<VstIntPtr>(host),
                               reinterpret_cast<void*>(static_cast<uintptr_t>(window)), 0.0f);
            // The panel paints on the toolkit's threads and the X server
            // meanwhile: timed blocks would share the cores with that.
            if (host) std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        in[0] = channels.a.data;
        in[1] = channels.b.data;
        out[0] = channels.c.data;
        out[1] = channels.d.data;
    }
    ~Setup()
    {
        effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        if (host) XCloseDisplay(host);
    }
    AEffect* effect;
    Display* host = nullptr;
    Window window = 0;
    Channels& channels;
    float* in[2];
    float* out[2];
};

// Arguments: frames, editor open (0/1), in place (0/1).
void Block(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    Setup s(state.range(1) != 0, frames);
    float** out = state.range(2) ? s.in : s.out;
    for (auto _ : state) {
        s.effect->processReplacing(s.effect, s.in, out, frames);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * frames * 2 * sizeof(float));
}

void Memcpy(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    Channels& s = SharedChannels(frames);
    for (auto _ : state) {
        memcpy(s.c.data, s.a.data, frames * sizeof(float));
        memcpy(s.d.data, s.b.data, frames * sizeof(float));
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

// The LV2 edition as a host runs it: every port connected, an empty MIDI
// input, the MIDI output's capacity set again before each run.
class Lv2Instance {
public:
    Lv2Instance()
    {
        library = dlopen(BW_LV2_DSP, RTLD_NOW | RTLD_LOCAL);
        auto entry = library ? reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor")) : nullptr;
        descriptor = entry ? entry(0) : nullptr;
        if (!descriptor) return;
        const LV2_Feature* features[] = {&mapFeature, nullptr};
        handle = descriptor->instantiate(descriptor, 48000.0, "", features);
        if (!handle) return;
        midiIn.atom = LV2_Atom{sizeof(LV2_Atom_Sequence_Body), Id(this, LV2_ATOM__Sequence)};
        midiIn.body = LV2_Atom_Sequence_Body{0, 0};
        descriptor->connect_port(handle, 4, &midiIn);
        descriptor->connect_port(handle, 5, midiOut);
        for (uint32_t p = 6; p < 16; ++p) descriptor->connect_port(handle, p, &controls[p]);
        descriptor->activate(handle);
    }
    ~Lv2Instance()
    {
        if (handle) {
            descriptor->deactivate(handle);
            descriptor->cleanup(handle);
        }
        if (library) dlclose(library);
    }
    bool Ready() const { return handle != nullptr; }
    void Connect(float* const* in, float* const* out)
    {
        for (uint32_t c = 0; c < 2; ++c) {
            descriptor->connect_port(handle, c, in[c]);
            descriptor->connect_port(handle, 2 + c, out[c]);
        }
    }
    void Run(uint32_t frames)
    {
        reinterpret_cast<LV2_Atom*>(midiOut)->size = sizeof midiOut - sizeof(LV2_Atom);
        descriptor->run(handle, frames);
    }

private:
    static LV2_URID Id(LV2_URID_Map_Handle h, const char* uri)
    {
        auto& uris = static_cast<Lv2Instance*>(h)->uris;
        for (size_t i = 0; i < uris.size(); ++i)
            if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
        uris.push_back(uri);
        return static_cast<LV2_URID>(uris.size());
    }
    void* library = nullptr;
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle handle = nullptr;
    std::vector<std::string> uris;
    LV2_URID_Map map{this, Id};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    LV2_Atom_Sequence midiIn;
    alignas(8) uint8_t midiOut[8192];
    float controls[16] = {0, 0, 0, 0, 0, 0, -50, 1, 1, 1, 1, 1, 1, 1, 0, 0};
};

// Arguments: frames, in place (0/1).
void Lv2Block(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    Channels& channels = SharedChannels(frames);
    Lv2Instance lv2;
    if (!lv2.Ready()) {
        state.SkipWithError("the LV2 DSP object did not load");
        return;
    }
    float* in[2] = {channels.a.data, channels.b.data};
    float* out[2] = {channels.c.data, channels.d.data};
    lv2.Connect(in, state.range(1) ? in : out);
    for (auto _ : state) {
        lv2.Run(static_cast<uint32_t>(frames));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * frames * 2 * sizeof(float));
}

// The machine is shared: each figure is the best of several repetitions,
// and the repetitions of all benchmarks are interleaved (see main), so that a
// busy moment does not fall on one benchmark only.
constexpr int RepetitionCount = 9;

void Repeated(benchmark::internal::Benchmark* b)
{
    b->Repetitions(RepetitionCount)->MinTime(0.1)->DisplayAggregatesOnly(true)->ComputeStatistics("min", [](const std::vector<double>& v) {
        return *std::min_element(v.begin(), v.end());
    });
}

void Blocks(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"frames", "open", "inplace"});
    for (int frames : {64, 512, 4096})
        for (int open : {0, 1})
            for (int inPlace : {0, 1}) b->Args({frames, open, inPlace});
    Repeated(b);
}

BENCHMARK(Memcpy)->Arg(64)->Arg(512)->Arg(4096)->Apply(Repeated);
BENCHMARK(Block)->Apply(Blocks);
BENCHMARK(ZeroFrames)->Apply(Repeated);
BENCHMARK(Events256)->Apply(Repeated);
BENCHMARK(Lv2Block)->ArgNames({"frames", "inplace"})->ArgsProduct({{64, 512, 4096}, {0, 1}})->Apply(Repeated);

// Keeps every benchmark's best CPU time per iteration for the summary.
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

const char* Variant()
{
    switch (quor::audio::analysis::SActivityBlockChecker<float>::Best()) {
    case quor::audio::analysis::SActivityBlockChecker<float>::Variant::AVX512: return "AVX-512";
    case quor::audio::analysis::SActivityBlockChecker<float>::Variant::AVX: return "AVX";
    case quor::audio::analysis::SActivityBlockChecker<float>::Variant::SSE2: return "SSE2";
    default: return "plain";
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    auto& t = collector.nanoseconds;

    char date[32];
    const time_t now = time(nullptr);
    strftime(date, sizeof date, "%Y-%m-%d", gmtime(&now));
    printf("\nBlinkwatcher engine, %s, loops: %s (best CPU time per block of %d interleaved runs)\n", date,
           Variant(), RepetitionCount);
    printf("Ratio to memcpy of the same two channels in this run:\n\n");
    printf("| frames | memcpy ns | editor | out of place ns | ratio | in place ns | ratio |\n");
    printf("|---:|---:|---|---:|---:|---:|---:|\n");
    for (const char* frames : {"64", "512", "4096"}) {
        const std::string m = std::string("Memcpy/") + frames;
        if (!t.count(m) || t[m] <= 0.0) continue;
        for (const char* open : {"0", "1"}) {
            const std::string base = std::string("Block/frames:") + frames + "/open:" + open + "/inplace:";
            const std::string outOfPlace = base + "0", inPlace = base + "1";
            if (!t.count(outOfPlace) || !t.count(inPlace)) continue;
            printf("| %s | %.1f | %s | %.1f | %.2fx | %.1f | %.2fx |\n", frames, t[m], *open == '1' ? "open" : "closed",
                   t[outOfPlace], t[outOfPlace] / t[m], t[inPlace], t[inPlace] / t[m]);
        }
    }
    printf("\nThe LV2 edition's run function, against the same memcpy:\n\n");
    printf("| frames | memcpy ns | out of place ns | ratio | in place ns | ratio |\n");
    printf("|---:|---:|---:|---:|---:|---:|\n");
    for (const char* frames : {"64", "512", "4096"}) {
        const std::string m = std::string("Memcpy/") + frames;
        const std::string base = std::string("Lv2Block/frames:") + frames + "/inplace:";
        if (!t.count(m) || t[m] <= 0.0 || !t.count(base + "0") || !t.count(base + "1")) continue;
        printf("| %s | %.1f | %.1f | %.2fx | %.1f | %.2fx |\n", frames, t[m], t[base + "0"], t[base + "0"] / t[m],
               t[base + "1"], t[base + "1"] / t[m]);
    }
    printf("\n");
    if (t.count("ZeroFrames")) printf("0-frame block: %.1f ns\n", t["ZeroFrames"]);
    if (t.count("Events256")) printf("256 events + 64-frame block: %.1f ns\n", t["Events256"]);
    // Requests, idle CPU and lamp latency need an X server: bw_editor_bench.
    return 0;
}
