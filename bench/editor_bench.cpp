// The editor's cost with the panel open in a host window, on the X server of
// DISPLAY (make bench runs this under tools/with-xvfb.sh): the X requests the
// plug-in sends while nothing changes and for one lamp change, the CPU time of
// its idle and dispatch threads while nothing happens, and the time from a
// block with activity to the lamp's changed pixels, and how often its threads
// wake with no window, one editor and sixteen open. Prints a markdown table.
//
// The plug-in is linked in, so its own connection (dps) can be looked at; it
// is driven through the AEffect record as a host drives it. The host's window
// is made on a connection of the bench's, the pixels are read on another.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "plugin/SPluginEditor.h"
#include "plugin/SPluginEntry.h"
#include "plugin/SStaticData.h"
#include "plugin/VSTPlugin.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/gui/SXErrorTrap.h"
#include "quor/gui/context/SDrawScaled.h"
#include "plugin/ui/SPluginPanel.h"
#include "tools/vsthost/XHost.h"
#include "quor/gui/context/SDisplayHandles.h"
#include "quor/system/SSystemData.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int frames = 512;
constexpr float sampleRate = 44100.0f;
constexpr int idlePeriodMs = 22;   // the editor's
constexpr int hostIdleMs = 20;     // effEditIdle, as hosts send it
constexpr int lampX = 42, lampY = 50;
constexpr unsigned long lit = 0x00FF00, dark = 0x000000, corner = 0x0000FF;  // the panel's top left corner

int bench_errors = 0;

int CountError(Display*, XErrorEvent*)
{
    ++bench_errors;
    return 0;
}

VstIntPtr Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterProcessEvents) return 1;
    return 0;
}

SPluginEditor* panelEditor = nullptr;

class WithEditor : public VSTPlugin {
public:
    WithEditor(audioMasterCallback host, int& result) : VSTPlugin(host, result)
    {
        panelEditor = new SPluginEditor(this, Globals(), result);
        AttachEditor(panelEditor);
    }
};

SPlugin* MakeWithEditor(audioMasterCallback host, int& result) { return new WithEditor(host, result); }

// The serial the next request on `display` gets: every request made so far,
// sent or still buffered. Under the display lock, as the toolkit's threads
// use the connection meanwhile; the lock itself sends nothing.
unsigned long Requests(Display* display)
{
    XLockDisplay(display);
    const unsigned long next = NextRequest(display);
    XUnlockDisplay(display);
    return next;
}

// One block through the AEffect record: a 440 Hz tone at `dB` on both
// channels, silence below -200 dB.
class Player {
public:
    explicit Player(AEffect* e) : effect(e), a(frames), b(frames), oa(frames), ob(frames) {}
    void Block(float dB)
    {
        const float level = dB < -200.0f ? 0.0f : std::pow(10.0f, dB / 20.0f);
        for (int i = 0; i < frames; ++i)
            a[static_cast<size_t>(i)] = b[static_cast<size_t>(i)] = level * std::sin(static_cast<float>(i) * 0.0627f);
        float* in[2] = {a.data(), b.data()};
        float* out[2] = {oa.data(), ob.data()};
        effect->processReplacing(effect, in, out, frames);
    }

private:
    AEffect* effect;
    std::vector<float> a, b, oa, ob;
};

unsigned long Pixel(Display* reader, Window w, int x, int y)
{
    XImage* image = XGetImage(reader, w, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return ~0ul;
    const unsigned long p = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return p;
}

// Waits for the pixel to become `want`; the time since `since`, or a
// negative number after `timeoutMs`. Sleeps between looks: a busy reader
// would take the shared cores from the threads being measured.
double WaitForPixel(Display* reader, Window w, int x, int y, unsigned long want, Clock::time_point since,
                    int timeoutMs = 2000, int pollUs = 100)
{
    for (;;) {
        if (Pixel(reader, w, x, y) == want)
            return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
        if (Clock::now() - since > std::chrono::milliseconds(timeoutMs)) return -1.0;
        std::this_thread::sleep_for(std::chrono::microseconds(pollUs));
    }
}

// Time on a CPU of one of this process's threads, in ns, from the
// scheduler's own account; -1 if it cannot be read.
long long ThreadCpuNs(const std::string& tid)
{
    FILE* f = fopen(("/proc/self/task/" + tid + "/schedstat").c_str(), "r");
    if (!f) return -1;
    long long ns = -1;
    if (fscanf(f, "%lld", &ns) != 1) ns = -1;
    fclose(f);
    return ns;
}

struct Task {
    std::string tid, name;
};

std::vector<Task> Tasks()
{
    std::vector<Task> tasks;
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return tasks;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        Task t{e->d_name, ""};
        if (FILE* f = fopen(("/proc/self/task/" + t.tid + "/comm").c_str(), "r")) {
            char name[64] = {};
            if (fgets(name, sizeof name, f)) name[strcspn(name, "\n")] = 0;
            t.name = name;
            fclose(f);
        }
        tasks.push_back(t);
    }
    closedir(dir);
    return tasks;
}

double ProcessCpuNs()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

double Median(std::vector<double> v)
{
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

// The machine's run queue: on shared cores the worst figures follow it.
std::string LoadAverage()
{
    std::string text = "?";
    if (FILE* f = fopen("/proc/loadavg", "r")) {
        char line[64] = {};
        if (fgets(line, sizeof line, f)) text.assign(line, strcspn(line, " "));
        fclose(f);
    }
    return text;
}

// Context switches (voluntary and not) of the plug-in's threads (named
// bw-*) so far, and how many such threads there are: each wake-up of a
// sleeping thread is one switch to it and one away.
struct Wakes {
    long switches = 0;
    int threads = 0;
};

Wakes PluginWakes()
{
    Wakes w;
    for (const Task& t : Tasks()) {
        if (t.name.compare(0, 3, "bw-") != 0) continue;
        ++w.threads;
        if (FILE* f = fopen(("/proc/self/task/" + t.tid + "/status").c_str(), "r")) {
            char line[128];
            while (fgets(line, sizeof line, f))
                if (strstr(line, "ctxt_switches:")) w.switches += strtol(strchr(line, ':') + 1, nullptr, 10);
            fclose(f);
        }
    }
    return w;
}

// Wake-ups a second of the plug-in's threads over `seconds`, and their count
// at the end.
struct WakeRate {
    double perSecond;
    int threads;
};

WakeRate PluginWakeRate(int seconds)
{
    const Wakes before = PluginWakes();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const Wakes after = PluginWakes();
    return WakeRate{static_cast<double>(after.switches - before.switches) / elapsed, after.threads};
}

double Worst(const std::vector<double>& v) { return v.empty() ? NAN : *std::max_element(v.begin(), v.end()); }

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main()
{
    if (!dps) {
        printf("Editor figures: not measured, no X server (run under tools/with-xvfb.sh)\n");
        return 0;
    }
    XSetErrorHandler(CountError);
    Display* host = XOpenDisplay(nullptr);
    Display* reader = XOpenDisplay(nullptr);
    if (!host || !reader) {
        printf("Editor figures: not measured, the bench's own connections could not be opened\n");
        return 1;
    }
    const int screen = DefaultScreen(host);
    Window window = XCreateSimpleWindow(host, RootWindow(host, screen), 0, 0, 100, 75, 0, BlackPixel(host, screen),
                                        BlackPixel(host, screen));
    // Left alone by a window manager, should the caller's display have one.
    XSetWindowAttributes attributes = {};
    attributes.override_redirect = True;
    XChangeWindowAttributes(host, window, CWOverrideRedirect, &attributes);
    XMapRaised(host, window);
    XSync(host, False);

    AEffect* effect = PluginEntry(Host, sd, MakeWithEditor);
    if (!effect || !panelEditor) {
        printf("Editor figures: not measured, the plug-in did not load\n");
        return 1;
    }
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, sampleRate);
    effect->dispatcher(effect, effSetBlockSize, 0, frames, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    // As hosts pass them: the display in value, the window id in ptr.
    effect->dispatcher(effect, effEditOpen, 0, reinterpret_cast<VstIntPtr>(host),
                       reinterpret_cast<void*>(static_cast<uintptr_t>(window)), 0.0f);
    Player player(effect);
    if (WaitForPixel(reader, window, 5, 5, corner, Clock::now(), 5000) < 0 ||
        WaitForPixel(reader, window, lampX, lampY, dark, Clock::now(), 5000) < 0) {
        printf("Editor figures: not measured, the panel did not show (%06lx at 5,5, %06lx at the lamp)\n",
               Pixel(reader, window, 5, 5), Pixel(reader, window, lampX, lampY));
        return 1;
    }
    // Whatever opening left to draw is drawn by now.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    // 1. Nothing changes: the host calls effEditIdle every 20 ms, first with
    //    no blocks, then playing silence in real time.
    struct Quiet {
        std::string what;
        unsigned long requests, hostRequests;
        double periods;
    };
    auto quietRun = [&](bool playing, const std::string& what) {
        const unsigned long own0 = Requests(dps), host0 = Requests(host);
        const auto start = Clock::now();
        auto nextBlock = start, nextIdle = start;
        const auto blockPeriod = std::chrono::microseconds(static_cast<long>(1e6 * frames / sampleRate));
        while (Clock::now() - start < std::chrono::seconds(5)) {
            const auto now = Clock::now();
            if (now >= nextIdle) {
                effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
                nextIdle += std::chrono::milliseconds(hostIdleMs);
            }
            if (playing && now >= nextBlock) {
                player.Block(-70.0f);
                nextBlock += blockPeriod;
            }
            std::this_thread::sleep_until(playing ? std::min(nextBlock, nextIdle) : nextIdle);
        }
        const double periods = Ms(Clock::now() - start) / idlePeriodMs;
        return Quiet{what, Requests(dps) - own0, Requests(host) - host0, periods};
    };
    std::vector<Quiet> quiet;
    for (bool playing : {false, true}) quiet.push_back(quietRun(playing, playing ? "silent blocks in real time" : "no blocks"));

    // 2. One lamp change as the host causes it (one block, then the editor's
    //    idle call), counted from before the block to the changed pixel. Then
    //    the change alone, without the wait for the idle call: the refresh
    //    called on this thread, timed to its return (what the idle thread
    //    spends) and to the changed pixel (the panel posts itself an Expose
    //    and draws on the dispatch thread when it comes back).
    struct Change {
        std::string what;
        std::vector<unsigned long> changeRequests, callRequests;
        std::vector<double> refreshCall, refreshPixel;
    };
    auto lampChanges = [&](const std::string& what, int lx, int ly) {
        Change c{what, {}, {}, {}, {}};
        for (int i = 0; i < 20; ++i) {
            const bool on = i % 2 == 0;
            const unsigned long before = Requests(dps);
            player.Block(on ? -20.0f : -70.0f);
            if (WaitForPixel(reader, window, lx, ly, on ? lit : dark, Clock::now()) < 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(3 * idlePeriodMs));
            c.changeRequests.push_back(Requests(dps) - before);
        }
        for (int i = 0; i < 20; ++i) {
            const bool on = i % 2 == 0;
            const unsigned long before = Requests(dps);
            panelEditor->updateAtIndex(on ? VSTPlugin::UpdateAudioQuiet + 1 : VSTPlugin::UpdateAudioQuiet);
            c.callRequests.push_back(Requests(dps) - before);
            if (WaitForPixel(reader, window, lx, ly, on ? lit : dark, Clock::now()) < 0) break;
        }
        // Timed apart from the counting: with the display lock taken on this
        // thread right after the refresh, the dispatch thread more often slept
        // out its 22 ms poll before drawing.
        for (int i = 0; i < 100; ++i) {
            const bool on = i % 2 == 0;
            const auto t0 = Clock::now();
            panelEditor->updateAtIndex(on ? VSTPlugin::UpdateAudioQuiet + 1 : VSTPlugin::UpdateAudioQuiet);
            const auto t1 = Clock::now();
            const double ms = WaitForPixel(reader, window, lx, ly, on ? lit : dark, t0, 2000, 20);
            c.refreshCall.push_back(Ms(t1 - t0));
            if (ms >= 0) c.refreshPixel.push_back(ms);
        }
        WaitForPixel(reader, window, lx, ly, dark, Clock::now());
        return c;
    };
    std::vector<Change> changes;
    changes.push_back(lampChanges("1x", lampX, lampY));

    // 3. Ten seconds with nothing at all: this thread sleeps throughout.
    std::vector<Task> tasks = Tasks();
    std::vector<long long> cpu0;
    for (const Task& t : tasks) cpu0.push_back(ThreadCpuNs(t.tid));
    const double process0 = ProcessCpuNs();
    const auto rest0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double restNs = std::chrono::duration<double, std::nano>(Clock::now() - rest0).count();
    const double processNs = ProcessCpuNs() - process0;
    double idleNs = -1, dispatchNs = -1, otherNs = 0;
    std::vector<std::string> others;
    for (size_t i = 0; i < tasks.size(); ++i) {
        const long long now = ThreadCpuNs(tasks[i].tid);
        if (now < 0 || cpu0[i] < 0) continue;
        const double used = static_cast<double>(now - cpu0[i]);
        if (tasks[i].name == "bw-idle")
            idleNs = used;
        else if (tasks[i].name == "bw-dispatch")
            dispatchNs = used;
        else {
            otherNs += used;
            others.push_back(tasks[i].name);
        }
    }

    // 4. Lamp latency: a block with (or without) activity at a random point
    //    of the idle period, then the pixel read on the reader's connection;
    //    once for each way hosts serve an editor, on a host thread of their
    //    own: forwarding their connection's events to "_XEventProc" (as
    //    Ardour), calling effEditIdle every 20 ms, or neither (as Qtractor).
    struct Convention {
        std::string name;
        bool forward, idle;
        std::vector<double> latency;
        int timeouts = 0;
    };
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> phase(0, idlePeriodMs * 1000);
    auto latencyRun = [&](const std::string& at, int lx, int ly) {
        std::vector<Convention> conventions = {
            {"forward" + at, true, false, {}}, {"idle" + at, false, true, {}}, {"none" + at, false, false, {}}};
        for (Convention& c : conventions) {
            std::atomic<bool> serving{true};
            std::thread hostThread([&] {
                auto idle = [](void* e) {
                    AEffect* fx = static_cast<AEffect*>(e);
                    fx->dispatcher(fx, effEditIdle, 0, 0, nullptr, 0.0f);
                };
                while (serving.load()) {
                    if (c.forward || c.idle)
                        vsthost::PumpEvents(host, hostIdleMs, c.idle ? +idle : nullptr, effect, c.forward);
                    else
                        std::this_thread::sleep_for(std::chrono::milliseconds(hostIdleMs));
                }
            });
            for (int i = 0; i < 100; ++i) {
                const bool on = i % 2 == 0;
                std::this_thread::sleep_for(std::chrono::microseconds(phase(random)));
                const auto t0 = Clock::now();
                player.Block(on ? -20.0f : -70.0f);
                const double ms = WaitForPixel(reader, window, lx, ly, on ? lit : dark, t0);
                if (ms < 0)
                    ++c.timeouts;
                else
                    c.latency.push_back(ms);
            }
            serving.store(false);
            hostThread.join();
        }
        return conventions;
    };
    std::vector<Convention> conventions = latencyRun("", lampX, lampY);

    // 5. The same editor at twice the size, as BLINKWATCHER_SCALE=2 asks: the
    //    requests at rest, one lamp change enlarged by each of the two ways
    //    (X Render on the server; the picture read back and put back
    //    enlarged), and the latency.
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    setenv("BLINKWATCHER_SCALE", "2", 1);
    XResizeWindow(host, window, 200, 150);
    XSync(host, False);
    effect->dispatcher(effect, effEditOpen, 0, reinterpret_cast<VstIntPtr>(host),
                       reinterpret_cast<void*>(static_cast<uintptr_t>(window)), 0.0f);
    const int lx2 = 2 * lampX, ly2 = 2 * lampY;
    bool scaled = WaitForPixel(reader, window, 5, 5, corner, Clock::now(), 5000) >= 0 &&
                  WaitForPixel(reader, window, 195, 145, 0x000000, Clock::now(), 5000) >= 0 &&
                  WaitForPixel(reader, window, lx2, ly2, dark, Clock::now(), 5000) >= 0;
    auto enlargeBy = [&](quor::gui::context::SDrawScaled::Method method) {
        quor::gui::SToolkitHold hold;
        quor::gui::context::SDrawScaled::SetMethod(method);
        // Devices are made when the factor changes.
        panelEditor->Panel()->SetScale(1);
        panelEditor->Panel()->SetScale(2);
    };
    std::vector<Convention> conventions2;
    if (scaled) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        quiet.push_back(quietRun(true, "at 2x, silent blocks in real time"));
        changes.push_back(lampChanges("2x, X Render", lx2, ly2));
        enlargeBy(quor::gui::context::SDrawScaled::METHOD_IMAGE);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        changes.push_back(lampChanges("2x, XImage read back", lx2, ly2));
        enlargeBy(quor::gui::context::SDrawScaled::METHOD_AUTO);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        conventions2 = latencyRun(" at 2x", lx2, ly2);
    }

    // 5. Wake-ups of the plug-in's threads: no window at all (the editor
    //    closed), one editor open, sixteen instances with their editors open.
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the last idle call ends
    struct WakeFigure {
        const char* what;
        WakeRate rate;
    };
    std::vector<WakeFigure> wakes;
    wakes.push_back({"no window (editor closed)", PluginWakeRate(3)});
    effect->dispatcher(effect, effEditOpen, 0, reinterpret_cast<VstIntPtr>(host),
                       reinterpret_cast<void*>(static_cast<uintptr_t>(window)), 0.0f);
    wakes.push_back({"1 editor open", PluginWakeRate(3)});
    std::vector<AEffect*> more;
    std::vector<Window> moreWindows;
    for (int i = 1; i < 16; ++i) {
        AEffect* e = PluginEntry(Host, sd, MakeWithEditor);
        if (!e) break;
        Window w = XCreateSimpleWindow(host, RootWindow(host, screen), 110 * (i % 8), 100 * (1 + i / 8), 100, 75, 0,
                                       BlackPixel(host, screen), BlackPixel(host, screen));
        XChangeWindowAttributes(host, w, CWOverrideRedirect, &attributes);
        XMapRaised(host, w);
        XSync(host, False);
        e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
        e->dispatcher(e, effEditOpen, 0, reinterpret_cast<VstIntPtr>(host),
                      reinterpret_cast<void*>(static_cast<uintptr_t>(w)), 0.0f);
        more.push_back(e);
        moreWindows.push_back(w);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // opened and drawn
    char sixteen[48];
    snprintf(sixteen, sizeof sixteen, "%zu editors open", more.size() + 1);
    wakes.push_back({sixteen, PluginWakeRate(3)});
    for (AEffect* e : more) {
        e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
        e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    }
    for (Window w : moreWindows) XDestroyWindow(host, w);

    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    // 6. Enlarging one picture by each way, alone, with the editor closed: a
    //    window of the toolkit's connection, the picture drawn once, then
    //    presented and waited for (XSync) again and again. Sizes of a lamp,
    //    the panel and the MIDI dialog.
    struct Enlarge {
        int w, h, s;
        double renderUs, imageUs;
    };
    std::vector<Enlarge> enlarging;
    {
        using quor::gui::context::SDrawScaled;
        XLockDisplay(dps);
        const int scr = DefaultScreen(dps);
        for (const auto& size : {std::make_pair(16, 16), std::make_pair(100, 75), std::make_pair(160, 228)})
            for (int f : {2, 3, 4}) {
                Enlarge e{size.first, size.second, f, 0, 0};
                Window target = XCreateSimpleWindow(dps, RootWindow(dps, scr), 0, 0,
                                                    static_cast<unsigned>(e.w * f), static_cast<unsigned>(e.h * f),
                                                    0, 0, 0);
                XMapWindow(dps, target);
                for (auto method : {SDrawScaled::METHOD_AUTO, SDrawScaled::METHOD_IMAGE}) {
                    SDrawScaled::SetMethod(method);
                    SDrawScaled device(dps, target, DefaultVisual(dps, scr), DefaultDepth(dps, scr), f);
                    device.Fit(e.w, e.h);
                    XSetForeground(dps, device.Get(), 0x4D5154);
                    XFillRectangle(dps, device.GetDrawable(), device.Get(), 0, 0, static_cast<unsigned>(e.w),
                                   static_cast<unsigned>(e.h));
                    XSync(dps, False);
                    const int n = 200;
                    const auto t0 = Clock::now();
                    for (int i = 0; i < n; ++i) {
                        device.Present(0, 0, e.w, e.h);
                        XSync(dps, False);
                    }
                    const double us = 1000.0 * Ms(Clock::now() - t0) / n;
                    (method == SDrawScaled::METHOD_IMAGE ? e.imageUs : e.renderUs) = us;
                }
                SDrawScaled::SetMethod(SDrawScaled::METHOD_AUTO);
                XDestroyWindow(dps, target);
                XSync(dps, False);
                enlarging.push_back(e);
            }
        XUnlockDisplay(dps);
    }

    XDestroyWindow(host, window);
    XSync(host, False);
    XSync(reader, False);

    char date[32];
    const time_t now = time(nullptr);
    strftime(date, sizeof date, "%Y-%m-%d", gmtime(&now));
    printf("\nBlinkwatcher editor open, %s, X server %s (%s %d), idle period %d ms, %ld cores, load average %s\n\n",
           date, DisplayString(host), ServerVendor(host), VendorRelease(host), idlePeriodMs, sysconf(_SC_NPROCESSORS_ONLN),
           LoadAverage().c_str());
    printf("| figure | value |\n|---|---:|\n");
    for (const Quiet& q : quiet)
        printf("| X requests while nothing changes, %s, host idle every %d ms (%.0f idle periods) | %lu (%.2f per "
               "period; %lu on the host's connection) |\n",
               q.what.c_str(), hostIdleMs, q.periods, q.requests, static_cast<double>(q.requests) / q.periods,
               q.hostRequests);
    for (const Change& c : changes) {
        if (!c.changeRequests.empty())
            printf("| X requests for one lamp change at %s, block to changed pixel (%zu changes) | %lu to %lu |\n",
                   c.what.c_str(), c.changeRequests.size(),
                   *std::min_element(c.changeRequests.begin(), c.changeRequests.end()),
                   *std::max_element(c.changeRequests.begin(), c.changeRequests.end()));
        // The dispatch thread may draw between the two readings: the fewest.
        if (!c.callRequests.empty())
            printf("| of which the refresh call itself sends (fewest of %zu) | %lu |\n", c.callRequests.size(),
                   *std::min_element(c.callRequests.begin(), c.callRequests.end()));
        printf("| time for one lamp change at %s: the refresh call, median / worst of %zu | %.3f / %.3f ms |\n",
               c.what.c_str(), c.refreshCall.size(), Median(c.refreshCall), Worst(c.refreshCall));
        printf("| time for one lamp change at %s: refresh call to changed pixel, median / worst of %zu | %.3f / %.3f "
               "ms |\n",
               c.what.c_str(), c.refreshPixel.size(), Median(c.refreshPixel), Worst(c.refreshPixel));
        printf("| of these, drawn only after the dispatch thread's poll timeout (over %d ms) | %ld |\n",
               idlePeriodMs - 2,
               static_cast<long>(std::count_if(c.refreshPixel.begin(), c.refreshPixel.end(),
                                               [](double ms) { return ms > idlePeriodMs - 2; })));
    }
    if (!scaled) printf("| the editor at 2x | not measured: the enlarged panel did not show |\n");
    for (const Enlarge& e : enlarging)
        printf("| enlarging a %d x %d picture %dx and waiting for it (XSync), mean of 200: X Render / XImage read back "
               "| %.0f / %.0f us |\n",
               e.w, e.h, e.s, e.renderUs, e.imageUs);
    auto share = [&](double ns) { return ns < 0 ? NAN : 100.0 * ns / restNs; };
    printf("| CPU over %.0f s with nothing happening: idle thread (bw-idle) | %.1f ms (%.3f%% of a core) |\n",
           restNs / 1e9, idleNs / 1e6, share(idleNs));
    printf("| dispatch thread (bw-dispatch) | %.1f ms (%.3f%% of a core) |\n", dispatchNs / 1e6, share(dispatchNs));
    printf("| the two together | %.3f%% of a core |\n", share(idleNs) + share(dispatchNs));
    printf("| whole process meanwhile (this thread asleep; %zu other threads) | %.1f ms (%.3f%% of a core) |\n",
           others.size(), processNs / 1e6, share(processNs));
    const double aim = idlePeriodMs + 2.0;
    std::vector<Convention> all = conventions;
    all.insert(all.end(), conventions2.begin(), conventions2.end());
    for (const Convention& c : all) {
        const std::vector<double>& latency = c.latency;
        printf("| lamp latency, host convention %s: median / 90th percentile / worst of %zu; over %.0f ms | %.1f / %.1f "
               "/ %.1f ms; %ld |\n",
               c.name.c_str(), latency.size(), aim, Median(latency), Percentile(latency, 0.9), Worst(latency),
               static_cast<long>(std::count_if(latency.begin(), latency.end(), [aim](double ms) { return ms > aim; })));
        if (c.timeouts)
            printf("| lamp changes not seen within 2 s, host convention %s | %d |\n", c.name.c_str(), c.timeouts);
    }
    for (const WakeFigure& w : wakes)
        printf("| wake-ups a second of the plug-in's threads, %s | %.1f (%d thread%s) |\n", w.what, w.rate.perSecond,
               w.rate.threads, w.rate.threads == 1 ? "" : "s");
    printf("| X errors: the bench's connections / trapped on the plug-in's | %d / %llu |\n", bench_errors,
           static_cast<unsigned long long>(quor::gui::SXErrorTrap::Count()));
    printf("\nCPU per thread from /proc/self/task/*/schedstat (time on a CPU as the scheduler counts it).\n");
    // The host's connection stays open: the plug-in holds it until unload,
    // as it would in a host that keeps its display for the process's life.
    XCloseDisplay(reader);
    return 0;
}
