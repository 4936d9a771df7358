// The shipped plug-in as hosts run it: Blinkwatcher.so loaded with dlopen,
// its entry point called, blocks through the AEffect record. Every kernel
// variant the processor runs is forced in turn (BLINKWATCHER_KERNEL, read by
// the plug-in when it loads), each in a few processes of its own, since
// where a process's stack and heap lie changes what a block costs. Each
// process times 1 to 4096 frames, editor closed and open, out of place and in
// place, with the channels laid out as hosts lay them out, against memcpy of
// the same channels; thread CPU time and wall-clock time, best of many short
// runs (on a shared machine a short run more often goes uninterrupted). The
// parent takes each layout's median process and prints the worst and the
// best layout.
//
//   bw_plugin_bench [--plugin PATH] [--processes N] [--runs N] [--kernels a,b]

#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "plugin/VstInterface.h"

extern char** environ;

namespace {

const int FrameCounts[] = {1, 8, 64, 512, 4096};

// How the host's four channels (in 0, in 1, out 0, out 1) lie in memory.
// Stores on their way to the cache hold up later loads whose address matches
// theirs in the low 12 bits, so the distance between input and output
// modulo 4096 matters as much as alignment. Where separate mallocs land
// depends on the process's heap; "heap16" is one place they often land, made
// certain: one after the other, each behind a 16-byte header, so the two
// outputs lie 16 bytes apart modulo 32.
enum Layout { Mallocs, Heap16, OneBlock, Page0, Page1024, Page2048, Page3072, LayoutCount };
const char* const LayoutNames[LayoutCount] = {"mallocs", "heap16", "block", "4K+0", "4K+1024", "4K+2048", "4K+3072"};

struct Channels {
    float* ch[4] = {};
    std::vector<void*> owned;
    Channels(Layout layout, int frames)
    {
        const size_t bytes = frames * sizeof(float);
        if (layout == Mallocs) {
            for (float*& c : ch) owned.push_back(c = static_cast<float*>(malloc(bytes)));
        } else if (layout == Heap16) {
            const size_t stride = bytes + 16;
            char* all = static_cast<char*>(aligned_alloc(64, (4 * stride + 63) / 64 * 64));
            owned.push_back(all);
            for (int i = 0; i < 4; ++i) ch[i] = reinterpret_cast<float*>(all + 16 + i * stride);
        } else if (layout == OneBlock) {
            float* all = static_cast<float*>(malloc(4 * bytes));
            owned.push_back(all);
            for (int i = 0; i < 4; ++i) ch[i] = all + i * frames;
        } else {
            // Inputs on a page boundary, outputs that many bytes after one.
            const size_t shift = 1024 * (layout - Page0);
            const size_t span = (bytes + shift + 4095) / 4096 * 4096;
            for (int i = 0; i < 4; ++i) {
                void* p = aligned_alloc(4096, span);
                owned.push_back(p);
                ch[i] = reinterpret_cast<float*>(static_cast<char*>(p) + (i >= 2 ? shift : 0));
            }
        }
        for (int i = 0; i < frames; ++i) {
            ch[0][i] = 0.001f * (i % 7);
            ch[1][i] = -0.001f * (i % 5);
            ch[2][i] = ch[3][i] = 0.0f;
        }
    }
    ~Channels()
    {
        for (void* p : owned) free(p);
    }
    Channels(const Channels&) = delete;
    Channels& operator=(const Channels&) = delete;
};

VstIntPtr HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterProcessEvents) return 1;
    if (opcode == audioMasterWantMidi) return 1;
    return 0;
}

double Seconds(clockid_t clock)
{
    timespec t;
    clock_gettime(clock, &t);
    return t.tv_sec + 1e-9 * t.tv_nsec;
}

struct Best {
    double cpu = 1e9, wall = 1e9;  // ns per call, best so far
};

// Runs `body` `count` times per run, keeping the best CPU and wall figures.
template <typename Body>
void Measure(Best& best, int count, Body body)
{
    const double c0 = Seconds(CLOCK_THREAD_CPUTIME_ID), w0 = Seconds(CLOCK_MONOTONIC);
    for (int i = 0; i < count; ++i) body();
    const double c1 = Seconds(CLOCK_THREAD_CPUTIME_ID), w1 = Seconds(CLOCK_MONOTONIC);
    best.cpu = std::min(best.cpu, (c1 - c0) * 1e9 / count);
    best.wall = std::min(best.wall, (w1 - w0) * 1e9 / count);
}

// Keeps the compiler from dropping copies whose results nobody reads.
inline void Clobber() { asm volatile("" ::: "memory"); }

int Child(const char* pluginPath, const char* kernel, int runs, int process)
{
    // Hosts call from stacks that lie anywhere: each process of a variant
    // starts its blocks a quarter page deeper than the one before.
    volatile char* depth = static_cast<char*>(alloca(1 + 1024 * (process % 4)));
    depth[0] = 0;

    void* module = dlopen(pluginPath, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        fprintf(stderr, "bw_plugin_bench: %s\n", dlerror());
        return 2;
    }
    typedef AEffect* (*Entry)(audioMasterCallback);
    Entry entry = reinterpret_cast<Entry>(dlsym(module, "VSTPluginMain"));
    if (!entry) entry = reinterpret_cast<Entry>(dlsym(module, "main"));
    AEffect* effect = entry ? entry(HostCallback) : nullptr;
    if (!effect) {
        fprintf(stderr, "bw_plugin_bench: the plug-in refused to load\n");
        return 2;
    }
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect->dispatcher(effect, effSetBlockSize, 0, 4096, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);

    std::vector<Channels*> sets;  // [frames][layout]
    for (int frames : FrameCounts)
        for (int l = 0; l < LayoutCount; ++l) sets.push_back(new Channels(static_cast<Layout>(l), frames));

    std::vector<VstMidiEvent> events(256);
    std::vector<char> listStorage(sizeof(VstEvents) + 256 * sizeof(VstEvent*));
    VstEvents* list = reinterpret_cast<VstEvents*>(listStorage.data());
    list->numEvents = 256;
    for (int i = 0; i < 256; ++i) {
        events[i] = VstMidiEvent{};
        events[i].type = kVstMidiType;
        events[i].byteSize = 24;
        events[i].deltaFrames = i / 4;
        events[i].midiData[0] = static_cast<char>(0x90 | (i & 15));
        events[i].midiData[1] = static_cast<char>(i & 127);
        events[i].midiData[2] = 100;
        list->events[i] = reinterpret_cast<VstEvent*>(&events[i]);
    }

    Display* display = nullptr;
    Window window = 0;
    for (int open = 0; open < 2; ++open) {
        if (open) {
            // A live editor in a host window, as the host shows it; without an
            // X server the editor opens only the engine's side.
            display = XOpenDisplay(nullptr);
            if (display) {
                window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 100, 75, 0, 0, 0);
                XMapWindow(display, window);
                XSync(display, False);
            }
            effect->dispatcher(effect, effEditOpen, 0, reinterpret_cast<VstIntPtr>(display),
                               reinterpret_cast<void*>(static_cast<uintptr_t>(window)), 0.0f);
            // Let the panel paint first: the bench would share the cores with
            // the toolkit's threads and the X server meanwhile.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        const char* editor = open ? (display ? "open" : "open-headless") : "closed";
        // Every case once per round, round after round: a busy spell of the
        // machine then costs each case a few of its runs, not all of them.
        struct Case {
            int frames, inPlace, layout;
            Best copy, block;
        };
        std::vector<Case> cases;
        for (size_t f = 0; f < sizeof FrameCounts / sizeof FrameCounts[0]; ++f)
            for (int inPlace = 0; inPlace < 2; ++inPlace)
                for (int l = 0; l < LayoutCount; ++l) cases.push_back({static_cast<int>(f), inPlace, l, {}, {}});
        Channels& c64 = *sets[2 * LayoutCount + Mallocs];
        float* in64[2] = {c64.ch[0], c64.ch[1]};
        float* out64[2] = {c64.ch[2], c64.ch[3]};
        Best empty, midi, call;
        for (int r = 0; r < runs; ++r) {
            for (Case& k : cases) {
                const int frames = FrameCounts[k.frames];
                const int count = frames >= 4096 ? 500 : 2000;
                Channels& c = *sets[k.frames * LayoutCount + k.layout];
                float* in[2] = {c.ch[0], c.ch[1]};
                float* out[2] = {c.ch[2], c.ch[3]};
                float** to = k.inPlace ? in : out;
                const size_t bytes = frames * sizeof(float);
                Measure(k.copy, count, [&] {
                    memcpy(out[0], in[0], bytes);
                    memcpy(out[1], in[1], bytes);
                    Clobber();
                });
                Measure(k.block, count, [&] {
                    effect->processReplacing(effect, in, to, frames);
                    Clobber();
                });
            }
            Measure(empty, 2000, [&] {
                effect->processReplacing(effect, in64, out64, 0);
                Clobber();
            });
            // What any call through the record costs on this machine: the
            // floor under the empty block.
            Measure(call, 2000, [&] {
                effect->dispatcher(effect, effGetVstVersion, 0, 0, nullptr, 0.0f);
                Clobber();
            });
            Measure(midi, 200, [&] {
                effect->dispatcher(effect, effProcessEvents, 0, 0, list, 0.0f);
                effect->processReplacing(effect, in64, out64, 64);
                Clobber();
            });
        }
        for (const Case& k : cases)
            printf("R %s %d %d %s %s %s %.3f %.3f %.3f %.3f\n", kernel, process, FrameCounts[k.frames], editor,
                   k.inPlace ? "in" : "out", LayoutNames[k.layout], k.copy.cpu, k.copy.wall, k.block.cpu,
                   k.block.wall);
        printf("E %s %d %s %.3f %.3f %.3f %.3f %.3f %.3f\n", kernel, process, editor, empty.cpu, empty.wall, midi.cpu,
               midi.wall, call.cpu, call.wall);
        fflush(stdout);
    }
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    if (display) XCloseDisplay(display);
    for (Channels* c : sets) delete c;
    dlclose(module);
    return 0;
}

struct Row {
    double copyCpu, copyWall, cpu, wall;
    std::string layout;
    int process;
    double Ratio() const { return cpu / copyCpu; }
    double WallRatio() const { return wall / copyWall; }
};

// A process sometimes runs every case, memcpy included, a third to a half
// slower from start to end, whatever its layout: with address-space
// randomisation off (the same addresses in every process), on either
// processor, with no time stolen by the hypervisor. Another guest on the
// core's other hardware thread fits what it looks like; it is the machine's
// state, not the plug-in's cost, so a layout counts with its median process.
std::vector<Row> MedianPerLayout(const std::vector<Row>& all)
{
    std::map<std::string, std::vector<Row>> by;
    for (const Row& r : all) by[r.layout].push_back(r);
    std::vector<Row> medians;
    for (auto& [layout, v] : by) {
        std::sort(v.begin(), v.end(), [](const Row& a, const Row& b) { return a.Ratio() < b.Ratio(); });
        medians.push_back(v[v.size() / 2]);
    }
    return medians;
}

struct Spread {
    Best median;
    double slowest = 0;  // CPU
};

Spread Median(std::vector<Best> v)
{
    Spread s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end(), [](const Best& a, const Best& b) { return a.cpu < b.cpu; });
    s.median = v[v.size() / 2];
    s.slowest = v.back().cpu;
    return s;
}

bool Runs(const std::string& kernel)
{
    __builtin_cpu_init();
    if (kernel == "avx512") return __builtin_cpu_supports("avx512f");
    if (kernel == "avx") return __builtin_cpu_supports("avx");
    return kernel == "sse2" || kernel == "plain";
}

std::string Selected()
{
    return Runs("avx512") ? "avx512" : Runs("avx") ? "avx" : "sse2";
}

std::string ProcessorModel()
{
    FILE* f = fopen("/proc/cpuinfo", "r");
    std::string model = "unknown processor";
    if (!f) return model;
    char line[512];
    while (fgets(line, sizeof line, f))
        if (!strncmp(line, "model name", 10)) {
            const char* colon = strchr(line, ':');
            if (colon) model = colon + 2;
            model.erase(model.find_last_not_of("\n ") + 1);
            break;
        }
    fclose(f);
    return model;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string self = argv[0];
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = 0;
        self = exe;
    }
    std::string plugin = self.substr(0, self.rfind('/')) + "/../Blinkwatcher.so";
    int processes = 5, runs = 40;
    std::vector<std::string> kernels;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--child" && i + 3 < argc)
            return Child(argv[i + 1], argv[i + 2], atoi(argv[i + 3]), i + 4 < argc ? atoi(argv[i + 4]) : 0);
        if (i + 1 >= argc) {
            fprintf(stderr, "usage: %s [--plugin PATH] [--processes N] [--runs N] [--kernels a,b]\n", argv[0]);
            return 1;
        }
        const std::string v = argv[++i];
        if (a == "--plugin")
            plugin = v;
        else if (a == "--processes")
            processes = std::max(1, atoi(v.c_str()));
        else if (a == "--runs")
            runs = std::max(1, atoi(v.c_str()));
        else if (a == "--kernels")
            for (size_t p = 0; p <= v.size();) {
                const size_t q = std::min(v.find(',', p), v.size());
                kernels.push_back(v.substr(p, q - p));
                p = q + 1;
            }
    }
    if (kernels.empty())
        for (const char* k : {"avx512", "avx", "sse2"})
            if (Runs(k)) kernels.push_back(k);

    // kernel/frames/editor/place -> one row per process and layout
    std::map<std::string, std::vector<Row>> rows;
    std::map<std::string, std::vector<Best>> empty, midi, call;  // kernel/editor -> each process's best
    for (const std::string& kernel : kernels)
        for (int p = 0; p < processes; ++p) {
            setenv("BLINKWATCHER_KERNEL", kernel.c_str(), 1);
            const std::string r = std::to_string(runs), index = std::to_string(p);
            const char* args[] = {self.c_str(), "--child", plugin.c_str(), kernel.c_str(), r.c_str(), index.c_str(),
                                  nullptr};
            int pipeFds[2];
            if (pipe(pipeFds) != 0) return 2;
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
            posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
            pid_t pid;
            if (posix_spawn(&pid, self.c_str(), &actions, nullptr, const_cast<char**>(args), environ) != 0) return 2;
            posix_spawn_file_actions_destroy(&actions);
            close(pipeFds[1]);
            FILE* in = fdopen(pipeFds[0], "r");
            char line[512];
            while (fgets(line, sizeof line, in)) {
                char k[32], frames[16], editor[32], place[8], layout[32];
                int process;
                double a, b, c, d, e, f;
                if (sscanf(line, "R %31s %d %15s %31s %7s %31s %lf %lf %lf %lf", k, &process, frames, editor, place,
                           layout, &a, &b, &c, &d) == 10) {
                    rows[kernel + "/" + frames + "/" + editor + "/" + place].push_back({a, b, c, d, layout, process});
                } else if (sscanf(line, "E %31s %d %31s %lf %lf %lf %lf %lf %lf", k, &process, editor, &a, &b, &c, &d,
                                  &e, &f) == 9) {
                    empty[kernel + "/" + editor].push_back({a, b});
                    midi[kernel + "/" + editor].push_back({c, d});
                    call[kernel + "/" + editor].push_back({e, f});
                }
            }
            fclose(in);
            int status = 0;
            waitpid(pid, &status, 0);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                fprintf(stderr, "bw_plugin_bench: the %s process failed\n", kernel.c_str());
                return 2;
            }
        }

    char date[32];
    const time_t now = time(nullptr);
    strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", gmtime(&now));
    printf("Blinkwatcher.so through dlopen and its AEffect record, %s, %s; this processor gets %s.\n", date,
           ProcessorModel().c_str(), Selected().c_str());
    printf("Per kernel: %d processes x %d layouts; each figure the best of %d runs (2000 blocks, 500 at 4096),\n"
           "ns per block, CPU / wall; ratio to memcpy of the same channels in the same process. Each layout\n"
           "counts with its median process; worst and best are the layouts with the highest and lowest CPU\n"
           "ratio. \"slowest\" is the worst layout's slowest process.\n\n",
           processes, LayoutCount, runs);
    printf("| kernel | frames | editor | place | worst: memcpy | block | ratio | layout | slowest | best: memcpy "
           "| block | ratio |\n");
    printf("|---|---:|---|---|---:|---:|---:|---|---:|---:|---:|---:|\n");
    for (const std::string& kernel : kernels)
        for (int frames : FrameCounts)
            for (const char* editor : {"closed", "open", "open-headless"})
                for (const char* place : {"out", "in"}) {
                    auto it = rows.find(kernel + "/" + std::to_string(frames) + "/" + editor + "/" + place);
                    if (it == rows.end() || it->second.empty()) continue;
                    const std::vector<Row> v = MedianPerLayout(it->second);
                    const Row& worst = *std::max_element(
                        v.begin(), v.end(), [](const Row& a, const Row& b) { return a.Ratio() < b.Ratio(); });
                    const Row& best = *std::min_element(
                        v.begin(), v.end(), [](const Row& a, const Row& b) { return a.Ratio() < b.Ratio(); });
                    // The worst wall-clock ratio too: it need not be the same row.
                    double worstWall = 0, slowest = 0;
                    for (const Row& r : v) worstWall = std::max(worstWall, r.WallRatio());
                    for (const Row& r : it->second)
                        if (r.layout == worst.layout) slowest = std::max(slowest, r.Ratio());
                    printf("| %s | %d | %s | %s | %.1f / %.1f | %.1f / %.1f | %.2fx / %.2fx | %s | %.2fx | %.1f / %.1f "
                           "| %.1f / %.1f | %.2fx / %.2fx |\n",
                           kernel.c_str(), frames, editor, place, worst.copyCpu, worst.copyWall, worst.cpu, worst.wall,
                           worst.Ratio(), worstWall, worst.layout.c_str(), slowest, best.copyCpu, best.copyWall,
                           best.cpu, best.wall, best.Ratio(), best.WallRatio());
                }
    printf("\nFixed cost (median process, ns, CPU / wall; the slowest process in brackets, CPU); own copy =\n"
           "the 64-frame block's share of the block's slope from 64 to 512 frames (the best layout's), not\n"
           "memcpy's; the 64-frame block is the worst layout's:\n\n");
    printf("| kernel | editor | a call doing nothing | empty block | 256 events + 64 frames | 64 frames less own copy "
           "|\n|---|---|---:|---:|---:|---:|\n");
    for (const std::string& kernel : kernels)
        for (const char* editor : {"closed", "open", "open-headless"}) {
            const std::string key = kernel + "/" + editor;
            if (!empty.count(key)) continue;
            const std::vector<Row> r64 = MedianPerLayout(rows[kernel + "/64/" + editor + "/out"]);
            const std::vector<Row> r512 = MedianPerLayout(rows[kernel + "/512/" + editor + "/out"]);
            double fixedCpu = 0, fixedWall = 0;
            if (!r64.empty() && !r512.empty()) {
                auto lowest = [](const std::vector<Row>& v, bool wall) {
                    double m = 1e9;
                    for (const Row& r : v) m = std::min(m, wall ? r.wall : r.cpu);
                    return m;
                };
                auto highest = [](const std::vector<Row>& v, bool wall) {
                    double m = 0;
                    for (const Row& r : v) m = std::max(m, wall ? r.wall : r.cpu);
                    return m;
                };
                const double slopeCpu = (lowest(r512, false) - lowest(r64, false)) / 448.0;
                const double slopeWall = (lowest(r512, true) - lowest(r64, true)) / 448.0;
                fixedCpu = highest(r64, false) - 64 * slopeCpu;
                fixedWall = highest(r64, true) - 64 * slopeWall;
            }
            const Spread c = Median(call[key]), e = Median(empty[key]), m = Median(midi[key]);
            printf("| %s | %s | %.1f / %.1f (%.1f) | %.1f / %.1f (%.1f) | %.0f / %.0f (%.0f) | %.1f / %.1f |\n",
                   kernel.c_str(), editor, c.median.cpu, c.median.wall, c.slowest, e.median.cpu, e.median.wall,
                   e.slowest, m.median.cpu, m.median.wall, m.slowest, fixedCpu, fixedWall);
        }
    return 0;
}
