// The checks of `vsthost validate`. Each loads the plug-in itself, drives it
// as a host would (and as careless hosts do), and reports one figure.

#include <unistd.h>

#include <atomic>
#include <cfloat>
#include <cstddef>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <thread>

#include "tools/vsthost/Validate.h"
#include "tools/vsthost/ValidateSupport.h"
#include "tools/vsthost/XHost.h"

namespace vsthost {
namespace validate {

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

constexpr int MaxChannels = 256;

// Loads, or explains why not; also refuses channel counts no host could serve.
bool Open(Host& host, const Options& o, std::string& why)
{
    if (!LoadPlugin(host, o.plugin, why)) return false;
    AEffect* e = host.Effect();
    if (e->numInputs < 0 || e->numInputs > MaxChannels || e->numOutputs < 0 || e->numOutputs > MaxChannels) {
        why = Format("implausible channel counts: %d inputs, %d outputs", e->numInputs, e->numOutputs);
        return false;
    }
    return true;
}

// A check's first step: the plug-in loaded into `host`.
bool Load(Context& c, Host& host, std::string& why)
{
    c.Step("load");
    return Open(host, c.options, why);
}

// One processing call on fresh guarded buffers; faults go to `findings`.
void ProcessChecked(Host& host, int frames, Findings& findings, const char* what, bool accumulate = false,
                    int64_t start = 0)
{
    AEffect* e = host.Effect();
    Channels<float> in(e->numInputs, frames), out(e->numOutputs, frames);
    in.Sine(0.5, start);
    if (accumulate)
        host.ProcessAccumulating(in.Pointers(), out.Pointers(), frames);
    else
        host.ProcessReplacing(in.Pointers(), out.Pointers(), frames);
    if (!out.GuardsIntact()) findings.Add(Format("%s: wrote past the end of an output buffer", what));
    if (!in.GuardsIntact()) findings.Add(Format("%s: wrote past the end of an input buffer", what));
    if (const int bad = out.NonFinite()) findings.Add(Format("%s: %d non-finite output samples", what, bad));
}

// ---------------------------------------------------------------------------
// load-unload
// ---------------------------------------------------------------------------

Outcome LoadUnload(Context& c)
{
    const Options& o = c.options;
    const int tasks0 = CountTasks(), fds0 = CountFds(), x0 = CountXConnections();
    int tasks1 = 0, fds1 = 0, x1 = 0;
    Findings findings;
    const auto start = Clock::now();
    for (int i = 0; i < o.loads; ++i) {
        c.Step("cycle %d: load", i + 1);
        {
            Host host;
            std::string why;
            if (!Open(host, o, why)) return Fail(Format("cycle %d: %s", i + 1, why.c_str()));
            c.Step("cycle %d: process", i + 1);
            host.Start(44100.0f, 512);
            host.SendEvents(Notes(4, 512));
            ProcessChecked(host, 512, findings, "processing");
            host.Stop();
            c.Step("cycle %d: effClose and unload", i + 1);
        }
        if (i == 0) {
            tasks1 = SettleTasks(tasks0);
            fds1 = CountFds();
            x1 = CountXConnections();
        }
    }
    const double seconds = Since(start);
    const int tasksN = SettleTasks(tasks0), fdsN = CountFds(), xN = CountXConnections();
    char resolved[PATH_MAX];
    const bool mapped = Mapped(realpath(o.plugin.c_str(), resolved) ? resolved : o.plugin);
    if (tasks1 > tasks0 || tasksN > tasks0)
        findings.Add(Format("threads left behind: %d after the first unload, %d after the last (%d before)",
                            tasks1 - tasks0, tasksN - tasks0, tasks0));
    if (fdsN > fds1) findings.Add(Format("%d file descriptors more after %d cycles", fdsN - fds1, o.loads));
    if (xN > x1) findings.Add(Format("%d X connections more after %d cycles", xN - x1, o.loads));
    const std::string figure =
        Format("%d cycles (%.1f ms each); threads %d -> %d -> %d, fds %d -> %d -> %d, X connections %d -> %d -> %d%s",
               o.loads, 1000.0 * seconds / o.loads, tasks0, tasks1, tasksN, fds0, fds1, fdsN, x0, x1, xN,
               mapped ? "; the module stays mapped after dlclose" : "");
    return findings.Empty() ? Pass(figure) : Fail(findings.Text() + "; " + figure);
}

// ---------------------------------------------------------------------------
// instances
// ---------------------------------------------------------------------------

Outcome Instances(Context& c)
{
    const Options& o = c.options;
    std::vector<std::unique_ptr<Host>> hosts;
    for (int i = 0; i < o.instances; ++i) {
        c.Step("loading instance %d", i + 1);
        hosts.emplace_back(new Host());
        std::string why;
        if (!Open(*hosts.back(), o, why)) return Fail(Format("instance %d: %s", i + 1, why.c_str()));
    }
    c.Step("%d instances processing on their own threads", o.instances);
    std::vector<Findings> findings(hosts.size());
    std::vector<std::thread> threads;
    std::atomic<int> ready{0};
    const auto start = Clock::now();
    for (size_t i = 0; i < hosts.size(); ++i) {
        threads.emplace_back([&, i] {
            Host& h = *hosts[i];
            h.Start(44100.0f, 512);
            // All start processing together.
            ready.fetch_add(1);
            while (ready.load() < static_cast<int>(hosts.size())) std::this_thread::yield();
            for (int b = 0; b < o.blocks; ++b) {
                h.SendEvents(Notes(8, 512, b));
                ProcessChecked(h, 512, findings[i], Format("instance %zu", i + 1).c_str(), false, int64_t(b) * 512);
                h.ClearReceived();
            }
            h.Stop();
        });
    }
    for (std::thread& t : threads) t.join();
    const double seconds = Since(start);
    c.Step("closing %d instances", o.instances);
    hosts.clear();
    Findings all;
    for (Findings& f : findings)
        if (!f.Empty()) all.Add(f.Text());
    const std::string figure = Format("%d instances open at once, each on its own thread for %d blocks of 512 "
                                      "(%.0f blocks/s in all)",
                                      o.instances, o.blocks, o.instances * o.blocks / seconds);
    return all.Empty() ? Pass(figure) : Fail(all.Text() + "; " + figure);
}

// ---------------------------------------------------------------------------
// editor
// ---------------------------------------------------------------------------

// Audio on its own thread while the editor comes and goes.
class AudioThread {
public:
    explicit AudioThread(Host& h) : host(h)
    {
        thread = std::thread([this] { Run(); });
    }
    ~AudioThread() { Stop(); }
    void Stop()
    {
        if (!thread.joinable()) return;
        stop = true;
        thread.join();
    }
    long Blocks() const { return blocks.load(); }
    Findings findings;

private:
    void Run()
    {
        int64_t position = 0;
        while (!stop.load()) {
            if (blocks % 8 == 0) host.SendEvents(Notes(2, 256, static_cast<int>(blocks.load())));
            ProcessChecked(host, 256, findings, "audio thread", false, position);
            position += 256;
            if (++blocks % 64 == 0) host.ClearReceived();
            usleep(1000);
        }
    }
    Host& host;
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::thread thread;
};

struct EditorSize {
    int width = 0, height = 0;
};

EditorSize GetRect(Host& host)
{
    ERect* rect = nullptr;
    host.Dispatch(effEditGetRect, 0, 0, &rect);
    EditorSize s;
    if (rect) {
        s.width = rect->right - rect->left;
        s.height = rect->bottom - rect->top;
    }
    return s;
}

void IdleEditor(void* host) { static_cast<Host*>(host)->Dispatch(effEditIdle); }

// One open/close cycle of an editor in a window of its own.
struct EditorCycle {
    EditorSize before, after;
    VstIntPtr opened = 0;
    double openMs = 0, closeMs = 0;
    int delivered = 0;
};

EditorCycle OpenPumpClose(Host& host, Display* display, int pumpMs, const std::string& title)
{
    EditorCycle cycle;
    cycle.before = GetRect(host);
    EditorWindow window;
    window.Create(display, cycle.before.width > 0 ? cycle.before.width : 300,
                  cycle.before.height > 0 ? cycle.before.height : 200, title);
    auto t = Clock::now();
    cycle.opened = host.Dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(display),
                                 reinterpret_cast<void*>(static_cast<uintptr_t>(window.Id())));
    cycle.openMs = 1000.0 * Since(t);
    XSession::CheckHandler();
    cycle.after = GetRect(host);
    if (cycle.after.width > 0 && cycle.after.height > 0 &&
        (cycle.after.width != cycle.before.width || cycle.after.height != cycle.before.height))
        window.Resize(cycle.after.width, cycle.after.height);
    cycle.delivered = PumpEvents(display, pumpMs, IdleEditor, &host);
    t = Clock::now();
    host.Dispatch(effEditClose);
    cycle.closeMs = 1000.0 * Since(t);
    XSession::CheckHandler();
    window.Destroy();
    PumpEvents(display, 2);
    return cycle;
}

std::string XErrorText()
{
    std::string text = Format("%d X errors", XSession::Errors());
    if (!XSession::FirstError().empty()) text += " (first: " + XSession::FirstError() + ")";
    return text;
}


Outcome Editor(Context& c)
{
    const Options& o = c.options;
    Host host;
    std::string why;
    if (!Load(c, host, why)) return Fail(why);
    Display* display = nullptr;
    Outcome skip;
    if (!EditorPossible(host, display, skip)) return skip;
    host.Start(44100.0f, 256);
    Findings findings;
    AudioThread audio(host);
    double openMs = 0, closeMs = 0, worstOpen = 0;
    int notOpened = 0, tasks1 = 0, x1 = 0, delivered = 0;
    EditorSize size;
    const int errors0 = XSession::Errors();
    for (int i = 0; i < o.editorCycles; ++i) {
        c.Step("editor cycle %d", i + 1);
        EditorCycle cycle = OpenPumpClose(host, display, i == 0 ? 300 : 30, "vsthost validate: editor");
        if (!cycle.opened) ++notOpened;
        openMs += cycle.openMs;
        closeMs += cycle.closeMs;
        worstOpen = std::max(worstOpen, cycle.openMs);
        delivered += cycle.delivered;
        size = cycle.after.width > 0 ? cycle.after : cycle.before;
        if (i == 0) {
            tasks1 = CountTasks();
            x1 = CountXConnections();
        }
    }
    SyncDisplay(display);
    PumpEvents(display, 50);
    const int tasksN = SettleTasks(tasks1), xN = CountXConnections();
    audio.Stop();
    host.Stop();
    const int errors = XSession::Errors() - errors0;
    if (errors) findings.Add(XErrorText());
    if (!XSession::FirstError().empty() && !errors) findings.Add(XSession::FirstError());
    if (!audio.findings.Empty()) findings.Add(audio.findings.Text());
    if (tasksN > tasks1) findings.Add(Format("%d threads more after %d cycles", tasksN - tasks1, o.editorCycles));
    if (xN > x1) findings.Add(Format("%d X connections more after %d cycles", xN - x1, o.editorCycles));
    if (c.Strict() && size.width <= 0) findings.Add("effEditGetRect gave no size");
    if (c.Strict() && XSession::HandlerReplaced())
        findings.Add(Format("the host's X error handler was replaced %d times", XSession::HandlerReplaced()));
    const std::string figure = Format(
        "%d open/close cycles while %ld audio blocks ran; editor %dx%d, open %.1f ms (worst %.1f), close %.1f ms; "
        "%d X errors; %d events delivered; threads %d -> %d, X connections %d -> %d%s%s",
        o.editorCycles, audio.Blocks(), size.width, size.height, openMs / o.editorCycles, worstOpen,
        closeMs / o.editorCycles, errors, delivered, tasks1, tasksN, x1, xN,
        notOpened ? Format("; effEditOpen answered 0 %d times", notOpened).c_str() : "",
        XSession::HandlerReplaced() ? Format("; X error handler replaced %d times", XSession::HandlerReplaced()).c_str()
                                    : "");
    return findings.Empty() ? Pass(figure) : Fail(findings.Text() + "; " + figure);
}

Outcome EditorInstances(Context& c)
{
    const Options& o = c.options;
    std::vector<std::unique_ptr<Host>> hosts;
    std::vector<std::unique_ptr<EditorWindow>> windows;
    Display* display = nullptr;
    for (int i = 0; i < o.instances; ++i) {
        c.Step("loading instance %d", i + 1);
        hosts.emplace_back(new Host());
        std::string why;
        if (!Open(*hosts.back(), o, why)) return Fail(Format("instance %d: %s", i + 1, why.c_str()));
        Outcome skip;
        if (i == 0 && !EditorPossible(*hosts.back(), display, skip)) return skip;
        hosts.back()->Start(44100.0f, 512);
    }
    const int errors0 = XSession::Errors();
    for (size_t i = 0; i < hosts.size(); ++i) {
        c.Step("opening editor %zu", i + 1);
        EditorSize size = GetRect(*hosts[i]);
        windows.emplace_back(new EditorWindow());
        windows.back()->Create(display, size.width > 0 ? size.width : 300, size.height > 0 ? size.height : 200,
                               Format("vsthost validate: editor %zu", i + 1));
        hosts[i]->Dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(display),
                           reinterpret_cast<void*>(static_cast<uintptr_t>(windows.back()->Id())));
        XSession::CheckHandler();
    }
    c.Step("%zu editors open, processing and idling", hosts.size());
    Findings findings;
    const int tasksOpen = CountTasks(), xOpen = CountXConnections();
    int delivered = 0;
    for (int round = 0; round < 20; ++round) {
        for (size_t i = 0; i < hosts.size(); ++i) {
            hosts[i]->SendEvents(Notes(4, 512, round));
            ProcessChecked(*hosts[i], 512, findings, Format("instance %zu", i + 1).c_str());
            hosts[i]->ClearReceived();
            hosts[i]->Dispatch(effEditIdle);
        }
        delivered += PumpEvents(display, 20);
    }
    for (size_t i = 0; i < hosts.size(); ++i) {
        c.Step("closing editor %zu", i + 1);
        hosts[i]->Dispatch(effEditClose);
        XSession::CheckHandler();
        windows[i]->Destroy();
    }
    PumpEvents(display, 50);
    SyncDisplay(display);
    const int errors = XSession::Errors() - errors0;
    c.Step("closing %zu instances", hosts.size());
    hosts.clear();
    if (errors) findings.Add(XErrorText());
    if (!XSession::FirstError().empty() && !errors) findings.Add(XSession::FirstError());
    const std::string figure = Format("%d editors open at once, 20 rounds of processing and idle; %d X errors; "
                                      "%d events delivered; %d threads and %d X connections while open",
                                      o.instances, errors, delivered, tasksOpen, xOpen);
    return findings.Empty() ? Pass(figure) : Fail(findings.Text() + "; " + figure);
}

// ---------------------------------------------------------------------------
// state
// ---------------------------------------------------------------------------

std::vector<uint8_t> GetChunkBytes(Host& host, bool preset, bool& nullWithSize)
{
    void* data = nullptr;
    const VstIntPtr size = host.Dispatch(effGetChunk, preset ? 1 : 0, 0, &data);
    nullWithSize = size > 0 && !data;
    if (!data || size <= 0) return {};
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

// Hands `bytes` to the plug-in from memory that ends at an inaccessible
// page, so that reading past the given size faults.
VstIntPtr SetChunkGuarded(Host& host, const std::vector<uint8_t>& bytes, bool preset, VstIntPtr declared)
{
    Guarded memory(bytes.size(), 0, 1);
    if (!bytes.empty()) memcpy(memory.Data(), bytes.data(), bytes.size());
    return host.Dispatch(effSetChunk, preset ? 1 : 0, declared, memory.Data());
}

struct Hostile {
    std::string name;
    std::vector<uint8_t> bytes;
    VstIntPtr declared;
};

std::vector<Hostile> HostileChunks(const std::vector<uint8_t>& good, bool quick)
{
    std::vector<Hostile> list;
    const size_t n = good.size();
    std::mt19937 random(1234);
    auto randomBytes = [&](size_t size) {
        std::vector<uint8_t> b(size);
        for (uint8_t& x : b) x = static_cast<uint8_t>(random());
        return b;
    };
    auto add = [&](const std::string& name, std::vector<uint8_t> bytes) {
        const VstIntPtr size = static_cast<VstIntPtr>(bytes.size());
        list.push_back({name, std::move(bytes), size});
    };
    for (size_t size : {size_t(0), size_t(1), n / 2, n > 0 ? n - 1 : 0})
        if (size < n) add(Format("truncated to %zu bytes", size), std::vector<uint8_t>(good.begin(), good.begin() + size));
    list.push_back({"a negative size", good, -1});
    list.push_back({"a size of INT32_MIN", good, static_cast<VstIntPtr>(INT32_MIN)});
    for (size_t extra : {size_t(1), n, size_t(1) << 20}) {
        std::vector<uint8_t> b = good;
        std::vector<uint8_t> tail = randomBytes(extra);
        b.insert(b.end(), tail.begin(), tail.end());
        add(Format("oversized by %zu bytes", extra), b);
    }
    const int randoms = quick ? 4 : 16;
    for (int i = 0; i < randoms; ++i) add(Format("random, %zu bytes", n), randomBytes(n));
    for (int i = 0; i < randoms; ++i) {
        const size_t size = 1 + random() % (4 * n + 64);
        add(Format("random, %zu bytes", size), randomBytes(size));
    }
    std::vector<uint8_t> unterminated = good;
    for (uint8_t& b : unterminated)
        if (!b) b = 'A';
    add("unterminated (every zero byte made 'A')", unterminated);
    add("unterminated (all 0xFF)", std::vector<uint8_t>(n, 0xFF));
    add("unterminated (all 'A')", std::vector<uint8_t>(n, 'A'));
    // Flip single bytes of a good chunk: a header or count that lies.
    for (size_t i = 0; i < n && i < 64; i += quick ? 16 : 4) {
        std::vector<uint8_t> b = good;
        b[i] ^= 0xFF;
        add(Format("byte %zu inverted", i), b);
    }
    return list;
}

void CheckProgramNames(Host& host, bool strict, Findings& findings, const std::string& after)
{
    Guarded name(64);
    host.Dispatch(effGetProgramName, 0, 0, name.Data());
    if (!name.GuardIntact()) findings.Add("effGetProgramName wrote past a 64-byte buffer after " + after);
    else if (name.TextLength() >= 64) findings.Add("effGetProgramName left its text unterminated after " + after);
    else if (strict && name.TextLength() >= kVstMaxProgNameLen)
        findings.Add(Format("effGetProgramName gave %zu characters (limit 23) after %s", name.TextLength(), after.c_str()));
}

Outcome State(Context& c)
{
    Host host;
    std::string why;
    if (!Load(c, host, why)) return Fail(why);
    AEffect* e = host.Effect();
    host.Start(44100.0f, 512);
    Findings findings;
    std::string figure;
    // Programs: every one selectable and named.
    const int programs = std::min(e->numPrograms, 1024);
    for (int p = 0; p < programs; ++p) {
        c.Step("program %d", p);
        host.Dispatch(effSetProgram, 0, p);
        const VstIntPtr now = host.Dispatch(effGetProgram);
        if (now != p) findings.Add(Format("effSetProgram %d, then effGetProgram says %ld", p, long(now)));
        CheckProgramNames(host, c.Strict(), findings, Format("program %d", p));
    }
    if (programs > 0) host.Dispatch(effSetProgram, 0, 0);
    figure = Format("%d programs", e->numPrograms);

    // Parameters restored by a chunk.
    if (!(e->flags & effFlagsProgramChunks)) {
        figure += "; programs are not chunks";
    } else {
        int refused = 0, taken = 0;
        for (bool preset : {false, true}) {
            const char* kind = preset ? "program" : "bank";
            c.Step("%s chunk round trip", kind);
            bool nullWithSize = false;
            const std::vector<uint8_t> good = GetChunkBytes(host, preset, nullWithSize);
            if (nullWithSize) findings.Add(Format("effGetChunk (%s) gave a size but no data", kind));
            if (good.empty()) {
                findings.Add(Format("effGetChunk (%s) gave no chunk although programs are chunks", kind));
                continue;
            }
            figure += Format("; %s chunk %zu bytes", kind, good.size());
            if (SetChunkGuarded(host, good, preset, static_cast<VstIntPtr>(good.size())) == 0)
                findings.Add(Format("the plug-in refused its own %s chunk", kind));
            if (GetChunkBytes(host, preset, nullWithSize) != good)
                findings.Add(Format("the %s chunk changed on a round trip", kind));
            if (e->numParams > 0) {
                const float before = e->getParameter(e, 0);
                e->setParameter(e, 0, before < 0.5f ? 0.75f : 0.25f);
                SetChunkGuarded(host, good, preset, static_cast<VstIntPtr>(good.size()));
                const float after = e->getParameter(e, 0);
                if (std::fabs(after - before) > 1e-6f)
                    findings.Add(Format("a %s chunk did not restore parameter 0 (%g, then %g)", kind, before, after));
            }
            for (const Hostile& h : HostileChunks(good, c.Quick())) {
                c.Step("%s chunk %s", kind, h.name.c_str());
                SetChunkGuarded(host, good, preset, static_cast<VstIntPtr>(good.size()));
                const std::vector<uint8_t> previous = GetChunkBytes(host, preset, nullWithSize);
                const VstIntPtr reply = SetChunkGuarded(host, h.bytes, preset, h.declared);
                const std::vector<uint8_t> now = GetChunkBytes(host, preset, nullWithSize);
                if (reply == 0) {
                    ++refused;
                    if (now != previous)
                        findings.Add(Format("a %s chunk %s was refused but the state changed", kind, h.name.c_str()));
                } else {
                    ++taken;
                }
                if (nullWithSize) findings.Add(Format("effGetChunk gave a size but no data after %s", h.name.c_str()));
                CheckProgramNames(host, c.Strict(), findings, Format("a %s chunk %s", kind, h.name.c_str()));
                ProcessChecked(host, 512, findings, Format("processing after a %s chunk %s", kind, h.name.c_str()).c_str());
            }
            SetChunkGuarded(host, good, preset, static_cast<VstIntPtr>(good.size()));
        }
        figure += Format("; round trips kept; hostile chunks: %d refused with the state kept, %d taken", refused, taken);
    }
    host.Stop();
    return findings.Empty() ? Pass(figure) : Fail(findings.Text() + "; " + figure);
}

// ---------------------------------------------------------------------------
// parameters
// ---------------------------------------------------------------------------

Outcome Parameters(Context& c)
{
    Host host;
    std::string why;
    if (!Load(c, host, why)) return Fail(why);
    AEffect* e = host.Effect();
    host.Start(44100.0f, 512);
    const float inf = std::numeric_limits<float>::infinity();
    const float values[] = {0.0f, 1.0f, -1.0f, 2.0f, std::numeric_limits<float>::quiet_NaN(), inf, -inf,
                            1e-40f, -1e-40f, FLT_MIN / 4, 0.5f};
    std::vector<int> indices;
    for (int i = -1; i <= 1000; ++i) indices.push_back(i);
    if (c.Strict())
        for (int i : {INT_MIN, -1000, 1000000, INT_MAX}) indices.push_back(i);
    std::vector<float> initial;
    for (int i = 0; i < e->numParams; ++i) initial.push_back(e->getParameter(e, i));
    Findings findings;
    size_t longest[3] = {0, 0, 0};
    const VstInt32 requests[3] = {effGetParamName, effGetParamLabel, effGetParamDisplay};
    const char* names[3] = {"name", "label", "display"};
    long sets = 0;
    Guarded buffer(64);
    auto text = [&](int index, int which, const char* after) {
        buffer.Reset();
        host.Dispatch(requests[which], index, 0, buffer.Data());
        const size_t length = buffer.TextLength();
        if (!buffer.GuardIntact())
            findings.Add(Format("parameter %d: the %s request wrote past a 64-byte buffer%s", index, names[which], after));
        else if (length >= 64)
            findings.Add(Format("parameter %d: the %s text is not terminated within 64 bytes%s", index, names[which], after));
        else if (c.Strict() && length >= kVstMaxParamStrLen)
            findings.Add(Format("parameter %d: the %s text has %zu characters (limit 7)%s", index, names[which], length, after));
        longest[which] = std::max(longest[which], length);
    };
    for (int index : indices) {
        c.Step("parameter %d: name and label", index);
        text(index, 0, "");
        text(index, 1, "");
        const bool announced = index >= 0 && index < e->numParams;
        for (float v : values) {
            c.Step("parameter %d: setParameter %g", index, v);
            e->setParameter(e, index, v);
            ++sets;
            c.Step("parameter %d: getParameter after %g", index, v);
            const float got = e->getParameter(e, index);
            if (c.Strict() && announced && !(got >= 0.0f && got <= 1.0f))
                findings.Add(Format("parameter %d reads %g after setParameter %g", index, got, v));
            c.Step("parameter %d: display after %g", index, v);
            text(index, 2, Format(" after setParameter %g", v).c_str());
        }
    }
    c.Step("processing with the first values back");
    for (int i = 0; i < e->numParams; ++i) e->setParameter(e, i, initial[static_cast<size_t>(i)]);
    ProcessChecked(host, 512, findings, "processing after the parameters were set back");
    host.Stop();
    const std::string figure =
        Format("%zu indices (%d announced) x %zu values: %ld setParameter calls; 64-byte buffers intact; longest "
               "name %zu, label %zu, display %zu characters",
               indices.size(), e->numParams, sizeof values / sizeof values[0], sets, longest[0], longest[1], longest[2]);
    return findings.Empty() ? Pass(figure) : Fail(findings.Text() + "; " + figure);
}

// ---------------------------------------------------------------------------
// dispatcher
// ---------------------------------------------------------------------------

enum class Arg {
    Buffer,     // ptr: a zeroed buffer the plug-in may write into
    TextOut,    // ptr: a text buffer the plug-in fills
    TextIn,     // ptr: a text for the plug-in
    Own,        // hostile arguments would break the interface itself: plausible ones only
};

struct OpcodeRule {
    VstInt32 opcode;
    const char* name;
    Arg arg;
    size_t size;   // buffer the host gives (texts: the usual host buffer)
    size_t limit;  // the interface's own limit for texts, terminator included
    const char* why;  // for Own: why hostile arguments are not sent
};

const OpcodeRule Rules[] = {
    {effOpen, "effOpen", Arg::Own, 0, 0, "the host sends it once per instance, at load"},
    {effClose, "effClose", Arg::Own, 0, 0, "ends the instance (load-unload covers it)"},
    {effSetProgramName, "effSetProgramName", Arg::TextIn, 0, 0, nullptr},
    {effGetProgramName, "effGetProgramName", Arg::TextOut, 64, kVstMaxProgNameLen, nullptr},
    {effGetParamLabel, "effGetParamLabel", Arg::TextOut, 64, kVstMaxParamStrLen, nullptr},
    {effGetParamDisplay, "effGetParamDisplay", Arg::TextOut, 64, kVstMaxParamStrLen, nullptr},
    {effGetParamName, "effGetParamName", Arg::TextOut, 64, kVstMaxParamStrLen, nullptr},
    {effEditGetRect, "effEditGetRect", Arg::Buffer, sizeof(void*), 0, nullptr},
    {effEditOpen, "effEditOpen", Arg::Own, 0, 0, "value and ptr must be a real Display* and Window (editor checks)"},
    {effEditDraw, "effEditDraw", Arg::Buffer, sizeof(ERect), 0, nullptr},
    {effGetChunk, "effGetChunk", Arg::Buffer, sizeof(void*), 0, nullptr},
    {effSetChunk, "effSetChunk", Arg::Own, 0, 0, "value must give ptr's size (the state check sends hostile chunks)"},
    {effProcessEvents, "effProcessEvents", Arg::Own, 0, 0, "ptr must be an event list (the midi check sends hostile ones)"},
    {effString2Parameter, "effString2Parameter", Arg::TextIn, 0, 0, nullptr},
    {effGetProgramNameIndexed, "effGetProgramNameIndexed", Arg::TextOut, 64, kVstMaxProgNameLen, nullptr},
    {effGetInputProperties, "effGetInputProperties", Arg::Buffer, 128, 0, nullptr},
    {effGetOutputProperties, "effGetOutputProperties", Arg::Buffer, 128, 0, nullptr},
    {effOfflineNotify, "effOfflineNotify", Arg::Own, 0, 0, "ptr must hold value audio file records"},
    {effOfflinePrepare, "effOfflinePrepare", Arg::Own, 0, 0, "ptr must hold value offline task records"},
    {effOfflineRun, "effOfflineRun", Arg::Own, 0, 0, "ptr must hold value offline task records"},
    {effProcessVarIo, "effProcessVarIo", Arg::Own, 0, 0, "ptr must be a variable-I/O record with buffers"},
    {effSetSpeakerArrangement, "effSetSpeakerArrangement", Arg::Own, 0, 0,
     "value and ptr must be speaker arrangements"},
    {effGetEffectName, "effGetEffectName", Arg::TextOut, 64, kVstMaxEffectNameLen, nullptr},
    {effGetErrorText, "effGetErrorText", Arg::TextOut, 256, 256, nullptr},
    {effGetVendorString, "effGetVendorString", Arg::TextOut, 256, kVstMaxVendorStrLen, nullptr},
    {effGetProductString, "effGetProductString", Arg::TextOut, 256, kVstMaxProductStrLen, nullptr},
    {effCanDo, "effCanDo", Arg::TextIn, 0, 0, nullptr},
    {effGetParameterProperties, "effGetParameterProperties", Arg::Buffer, 152, 0, nullptr},
    {effGetMidiProgramName, "effGetMidiProgramName", Arg::Buffer, 80, 0, nullptr},
    {effGetCurrentMidiProgram, "effGetCurrentMidiProgram", Arg::Buffer, 80, 0, nullptr},
    {effGetMidiProgramCategory, "effGetMidiProgramCategory", Arg::Buffer, 76, 0, nullptr},
    {effGetMidiKeyName, "effGetMidiKeyName", Arg::Buffer, 76, 0, nullptr},
    {effGetSpeakerArrangement, "effGetSpeakerArrangement", Arg::Own, 0, 0,
     "value and ptr must be places for arrangement pointers"},
    {effShellGetNextPlugin, "effShellGetNextPlugin", Arg::TextOut, 64, kVstMaxProductStrLen, nullptr},
    {effBeginLoadBank, "effBeginLoadBank", Arg::Buffer, 64, 0, nullptr},
    {effBeginLoadProgram, "effBeginLoadProgram", Arg::Buffer, 64, 0, nullptr},
};

// Opcode names of the interface (2.4 adds the last three).
const char* const OpcodeNames[] = {
    "effOpen", "effClose", "effSetProgram", "effGetProgram", "effSetProgramName", "effGetProgramName",
    "effGetParamLabel", "effGetParamDisplay", "effGetParamName", "effGetVu", "effSetSampleRate", "effSetBlockSize",
    "effMainsChanged", "effEditGetRect", "effEditOpen", "effEditClose", "effEditDraw", "effEditMouse", "effEditKey",
    "effEditIdle", "effEditTop", "effEditSleep", "effIdentify", "effGetChunk", "effSetChunk", "effProcessEvents",
    "effCanBeAutomated", "effString2Parameter", "effGetNumProgramCategories", "effGetProgramNameIndexed",
    "effCopyProgram", "effConnectInput", "effConnectOutput", "effGetInputProperties", "effGetOutputProperties",
    "effGetPlugCategory", "effGetCurrentPosition", "effGetDestinationBuffer", "effOfflineNotify", "effOfflinePrepare",
    "effOfflineRun", "effProcessVarIo", "effSetSpeakerArrangement", "effSetBlockSizeAndSampleRate", "effSetBypass",
    "effGetEffectName", "effGetErrorText", "effGetVendorString", "effGetProductString", "effGetVendorVersion",
    "effVendorSpecific", "effCanDo", "effGetTailSize", "effIdle", "effGetIcon", "effSetViewPosition",
    "effGetParameterProperties", "effKeysRequired", "effGetVstVersion", "effEditKeyDown", "effEditKeyUp",
    "effSetEditKnobMode", "effGetMidiProgramName", "effGetCurrentMidiProgram", "effGetMidiProgramCategory",
    "effHasMidiProgramsChanged", "effGetMidiKeyName", "effBeginSetProgram", "effEndSetProgram",
    "effGetSpeakerArrangement", "effShellGetNextPlugin", "effStartProcess", "effStopProcess",
    "effSetTotalSampleToProcess", "effSetPanLaw", "effBeginLoadBank", "effBeginLoadProgram", "effSetProcessPrecision",
    "effGetNumMidiInputChannels", "effGetNumMidiOutputChannels",
};

const OpcodeRule* RuleFor(VstInt32 opcode)
{
    for (const OpcodeRule& r : Rules)
        if (r.opcode == opcode) return &r;
    return nullptr;
}

// Records of the interface that this host builds for the plausible calls.
struct SpeakerProperties {
    float azimuth, elevation, radius, reserved;
    char name[64];
    VstInt32 type;
    char future[28];
};
struct SpeakerArrangement {
    VstInt32 type;
    VstInt32 numChannels;
    SpeakerProperties speakers[MaxChannels];
};
struct VariableIo {
    float** inputs;
    float** outputs;
    VstInt32 numSamplesInput;
    VstInt32 numSamplesOutput;
    VstInt32* numSamplesInputProcessed;
    VstInt32* numSamplesOutputProcessed;
};

// The plausible call of an opcode whose arguments must be records.
void PlausibleOwn(Host& host, VstInt32 opcode)
{
    AEffect* e = host.Effect();
    switch (opcode) {
    case effSetChunk:
        if (e->flags & effFlagsProgramChunks) {
            bool nullWithSize = false;
            const std::vector<uint8_t> chunk = GetChunkBytes(host, false, nullWithSize);
            if (!chunk.empty()) SetChunkGuarded(host, chunk, false, static_cast<VstIntPtr>(chunk.size()));
        }
        break;
    case effProcessEvents: {
        VstEvents empty{};
        host.Dispatch(effProcessEvents, 0, 0, &empty);
        break;
    }
    case effOfflineNotify:
    case effOfflinePrepare:
    case effOfflineRun:
        host.Dispatch(opcode, 0, 0, nullptr);
        break;
    case effProcessVarIo: {
        Channels<float> in(e->numInputs, 64), out(e->numOutputs, 64);
        VstInt32 inDone = 0, outDone = 0;
        VariableIo io{in.Pointers(), out.Pointers(), 64, 64, &inDone, &outDone};
        host.Dispatch(effProcessVarIo, 0, 0, &io);
        break;
    }
    case effSetSpeakerArrangement: {
        std::unique_ptr<SpeakerArrangement> in(new SpeakerArrangement()), out(new SpeakerArrangement());
        in->numChannels = e->numInputs;
        out->numChannels = e->numOutputs;
        in->type = e->numInputs == 2 ? 1 : e->numInputs == 1 ? 0 : -2;  // stereo, mono, user defined
        out->type = e->numOutputs == 2 ? 1 : e->numOutputs == 1 ? 0 : -2;
        for (SpeakerArrangement* a : {in.get(), out.get()})
            for (int i = 0; i < a->numChannels; ++i) a->speakers[i].type = i % 2 ? 2 : 1;  // right, left
        host.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(in.get()), out.get());
        break;
    }
    case effGetSpeakerArrangement: {
        void* in = nullptr;
        void* out = nullptr;
        host.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
        break;
    }
    default:
        break;
    }
}

Outcome Dispatcher(Context& c)
{
    Host host;
    std::string why;
    if (!Load(c, host, why)) return Fail(why);
    AEffect* e = host.Effect();
    host.Start(44100.0f, 512);
    const VstIntPtr version = host.Dispatch(effGetVstVersion);
    const VstInt32 indices[] = {0, 1, -1, 1000, INT32_MAX, INT32_MIN};
    const VstIntPtr values[] = {0, 1, -1, 1000, std::numeric_limits<VstIntPtr>::max(),
                                std::numeric_limits<VstIntPtr>::min()};
    const float inf = std::numeric_limits<float>::infinity();
    const float opts[] = {0.0f, 1.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), inf, -inf, 1e-40f};
    struct Args {
        VstInt32 index;
        VstIntPtr value;
        float opt;
    };
    std::vector<Args> combos;
    if (c.Strict()) {
        for (VstInt32 i : indices)
            for (VstIntPtr v : values)
                for (float f : opts) combos.push_back({i, v, f});
    } else {
        combos.push_back({0, 0, 0.0f});
        for (VstInt32 i : indices) combos.push_back({i, 0, 0.0f});
        for (VstIntPtr v : values) combos.push_back({0, v, 0.0f});
        for (float f : opts) combos.push_back({0, 0, f});
        combos.push_back({INT32_MIN, values[5], opts[3]});
        combos.push_back({INT32_MAX, values[4], inf});
        combos.push_back({-1, -1, -1.0f});
    }
    const char* const texts[] = {"receiveVstEvents", "0.5", "", "validate",
                                 "a text much longer than any name or capability a plug-in expects to be given by "
                                 "its host, to see that it copies no more than it has room for ..........."};
    Findings findings;
    long calls = 0;
    std::vector<std::string> skipped;
    for (VstInt32 opcode = 0; opcode <= 100; ++opcode) {
        const OpcodeRule* rule = RuleFor(opcode);
        const std::string name =
            opcode < static_cast<VstInt32>(sizeof OpcodeNames / sizeof *OpcodeNames) ? OpcodeNames[opcode]
                                                                                     : Format("opcode %d", opcode);
        if (rule && rule->arg == Arg::Own) {
            c.Step("%s with plausible arguments", name.c_str());
            PlausibleOwn(host, opcode);
            if (opcode != effOpen && opcode != effClose && opcode != effEditOpen) ++calls;
            skipped.push_back(Format("%d", opcode));
            continue;
        }
        for (const Args& a : combos) {
            const int textCount = rule && rule->arg == Arg::TextIn ? static_cast<int>(sizeof texts / sizeof *texts) : 1;
            for (int t = 0; t < textCount; ++t) {
                c.Step("%s index %d value %ld opt %g%s", name.c_str(), a.index, static_cast<long>(a.value), a.opt,
                       rule && rule->arg == Arg::TextIn ? Format(" text \"%.20s\"", texts[t]).c_str() : "");
                const size_t size = rule ? (rule->arg == Arg::TextIn ? strlen(texts[t]) + 1 : rule->size) : 256;
                Guarded buffer(size);
                if (rule && rule->arg == Arg::TextIn) memcpy(buffer.Data(), texts[t], size);
                host.Dispatch(opcode, a.index, a.value, buffer.Data(), a.opt);
                ++calls;
                if (!buffer.GuardIntact()) {
                    findings.Add(Format("%s (index %d, value %ld): wrote past a %zu-byte buffer", name.c_str(), a.index,
                                        static_cast<long>(a.value), size));
                } else if (rule && rule->arg == Arg::TextIn && memcmp(buffer.Data(), texts[t], size) != 0) {
                    findings.Add(Format("%s changed the host's text", name.c_str()));
                } else if (rule && rule->arg == Arg::TextOut) {
                    const size_t length = buffer.TextLength();
                    if (length >= size)
                        findings.Add(Format("%s (index %d): text not terminated within %zu bytes", name.c_str(),
                                            a.index, size));
                    else if (c.Strict() && length >= rule->limit)
                        findings.Add(Format("%s (index %d): %zu characters, the interface allows %zu", name.c_str(),
                                            a.index, length, rule->limit - 1));
                }
            }
        }
    }
    c.Step("processing after the sweep");
    host.Stop();
    host.Start(44100.0f, 512);
    ProcessChecked(host, 512, findings, "processing after the sweep");
    if (host.Dispatch(effGetVstVersion) != version) findings.Add("effGetVstVersion changed during the sweep");
    host.Stop();
    c.Step("effClose after the sweep");
    host.Close();
    std::string list;
    for (const std::string& s : skipped) list += (list.empty() ? "" : ",") + s;
    const std::string figure =
        Format("opcodes 0..100, %zu argument sets each (%ld calls); guarded buffers intact; hostile arguments not "
               "sent to opcodes %s (they take records or end the instance), which got plausible ones",
               combos.size(), calls, list.c_str());
    (void)e;
    return findings.Empty() ? Pass(figure) : Fail(findings.Text() + "; " + figure);
}

// ---------------------------------------------------------------------------
// midi
// ---------------------------------------------------------------------------

// An event list whose events each end at an inaccessible page: a plug-in
// that reads more than the record it was given faults.
class GuardedEvents {
public:
    template <typename Record>
    Record* Add(const Record& record, size_t size = sizeof(Record))
    {
        memory.emplace_back(new Guarded(size, 0, 1));
        memcpy(memory.back()->Data(), &record, std::min(size, sizeof(Record)));
        pointers.push_back(reinterpret_cast<VstEvent*>(memory.back()->Data()));
        return reinterpret_cast<Record*>(memory.back()->Data());
    }
    VstEvents* List()
    {
        list.assign(sizeof(VstEvents) + sizeof(VstEvent*) * pointers.size(), 0);
        VstEvents* l = reinterpret_cast<VstEvents*>(list.data());
        l->numEvents = static_cast<VstInt32>(pointers.size());
        for (size_t i = 0; i < pointers.size(); ++i) l->events[i] = pointers[i];
        return l;
    }

private:
    std::vector<std::unique_ptr<Guarded>> memory;
    std::vector<VstEvent*> pointers;
    std::vector<uint8_t> list;
};

VstMidiEvent NoteOn(int delta)
{
    std::vector<VstMidiEvent> one = Notes(1, 1);
    one[0].deltaFrames = delta;
    return one[0];
}

Outcome Midi(Context& c)
{
    Host host;
    std::string why;
    if (!Load(c, host, why)) return Fail(why);
    const int frames = 4096;
    host.Start(44100.0f, frames);
    Findings findings;
    long sent = 0, back = 0;
    int64_t position = 0;
    auto process = [&](const std::string& what) {
        c.Step("processing after %s", what.c_str());
        ProcessChecked(host, frames, findings, ("processing after " + what).c_str(), false, position);
        position += frames;
        back += static_cast<long>(host.Received().size());
        host.ClearReceived();
    };
    {
        c.Step("10000 events in one block");
        std::vector<VstMidiEvent> many = Notes(10000, frames);
        host.SendEvents(many);
        sent += 10000;
        process("10000 events in one block");
    }
    {
        GuardedEvents list;
        for (VstInt32 type : {VstInt32(kVstAudioType), VstInt32(kVstVideoType), VstInt32(kVstParameterType), VstInt32(kVstTriggerType), 0, 7, 99, -1,
                              INT32_MIN}) {
            VstEvent ev{};
            ev.type = type;
            ev.byteSize = sizeof(VstEvent) - 2 * sizeof(VstInt32);
            ev.deltaFrames = 10;
            memset(ev.data, 0x90, sizeof ev.data);
            list.Add(ev);
        }
        c.Step("events of other types");
        host.Dispatch(effProcessEvents, 0, 0, list.List());
        sent += 9;
        process("events of other types");
    }
    {
        GuardedEvents list;
        for (VstInt32 size : {0, 1, -1, 23, 25, 1000, INT32_MAX, INT32_MIN}) {
            VstMidiEvent ev = NoteOn(20);
            ev.byteSize = size;
            list.Add(ev);
        }
        c.Step("MIDI events with odd byte sizes");
        host.Dispatch(effProcessEvents, 0, 0, list.List());
        sent += 8;
        process("MIDI events with odd byte sizes");
    }
    {
        GuardedEvents list;
        std::vector<std::unique_ptr<Guarded>> dumps;
        auto sysex = [&](VstInt32 bytes, bool withData, size_t dataSize) {
            VstMidiSysexEvent ev{};
            ev.type = kVstSysExType;
            ev.byteSize = sizeof(VstMidiSysexEvent) - 2 * sizeof(VstInt32);
            ev.deltaFrames = 30;
            ev.dumpBytes = bytes;
            if (withData) {
                dumps.emplace_back(new Guarded(dataSize, 0, 1));
                uint8_t* d = dumps.back()->Data();
                for (size_t i = 0; i < dataSize; ++i) d[i] = static_cast<uint8_t>(i % 0x7F);
                if (dataSize) d[0] = 0xF0;
                if (dataSize > 1) d[dataSize - 1] = 0xF7;
                ev.sysexDump = reinterpret_cast<char*>(d);
            }
            list.Add(ev);
        };
        sysex(0, false, 0);
        sysex(64, false, 0);
        sysex(6, true, 6);
        sysex(65536, true, 65536);
        sysex(-1, true, 6);
        sysex(0, true, 0);
        c.Step("sysex events, some with a null pointer");
        host.Dispatch(effProcessEvents, 0, 0, list.List());
        sent += 6;
        process("sysex events, some with a null pointer");
    }
    {
        std::vector<VstMidiEvent> odd;
        for (VstInt32 delta : {-1, frames, frames + 1, INT32_MAX, INT32_MIN}) odd.push_back(NoteOn(delta));
        // Running status and lone data bytes, as careless hosts send them.
        VstMidiEvent data = NoteOn(40);
        data.midiData[0] = 0x40;
        odd.push_back(data);
        VstMidiEvent system = NoteOn(41);
        system.midiData[0] = static_cast<char>(0xF0);
        odd.push_back(system);
        c.Step("events with delta frames outside the block");
        host.SendEvents(odd);
        sent += static_cast<long>(odd.size());
        process("events with delta frames outside the block");
    }
    {
        c.Step("an empty event list and a null one");
        VstEvents empty{};
        host.Dispatch(effProcessEvents, 0, 0, &empty);
        host.Dispatch(effProcessEvents, 0, 0, nullptr);
        process("an empty event list and a null one");
    }
    {
        c.Step("two deliveries before one block");
        std::vector<VstMidiEvent> first = Notes(100, frames), second = Notes(100, frames, 1);
        host.SendEvents(first);
        std::vector<VstMidiEvent> keep = first;  // the first list's events stay alive, as the interface asks
        host.SendEvents(second);
        sent += 200;
        process("two deliveries before one block");
    }
    const int malformed = host.MalformedEvents();
    host.Stop();
    if (c.Strict() && malformed)
        findings.Add(Format("%d malformed event records sent back (a MIDI record whose byte size is not 24, or a null "
                            "event or list)",
                            malformed));
    const std::string figure =
        Format("%ld events sent (10000 in one block, 9 of other types, 8 with odd byte sizes, 6 sysex with null or "
               "large dumps, 7 with odd deltas or status bytes); %ld events came back%s",
               sent, back, malformed ? Format(", %d of them malformed", malformed).c_str() : "");
    return findings.Empty() ? Pass(figure) : Fail(findings.Text() + "; " + figure);
}

// ---------------------------------------------------------------------------
// blocks
// ---------------------------------------------------------------------------

Outcome Blocks(Context& c)
{
    Host host;
    std::string why;
    if (!Load(c, host, why)) return Fail(why);
    AEffect* e = host.Effect();
    Findings findings;
    const int sizes[] = {0, 1, 3, 4096, 1048576};
    int calls = 0;
    const bool replacing = (e->flags & effFlagsCanReplacing) && e->processReplacing;
    const bool accumulating = e->process != nullptr;
    const bool doubles = (e->flags & effFlagsCanDoubleReplacing) && e->processDoubleReplacing;
    for (int frames : sizes) {
        host.Stop();
        host.Start(44100.0f, frames > 0 ? frames : 1);
        for (int call = 0; call < 3; ++call) {
            const char* names[] = {"processReplacing", "process", "processDoubleReplacing"};
            if ((call == 0 && !replacing) || (call == 1 && !accumulating) || (call == 2 && !doubles)) continue;
            c.Step("%s, %d frames", names[call], frames);
            const std::string what = Format("%s of %d frames", names[call], frames);
            if (call < 2) {
                ProcessChecked(host, frames, findings, what.c_str(), call == 1);
            } else {
                Channels<double> in(e->numInputs, frames), out(e->numOutputs, frames);
                in.Sine(0.5);
                e->processDoubleReplacing(e, in.Pointers(), out.Pointers(), frames);
                if (!out.GuardsIntact() || !in.GuardsIntact()) findings.Add(what + ": wrote past a buffer's end");
                if (const int bad = out.NonFinite()) findings.Add(Format("%s: %d non-finite samples", what.c_str(), bad));
            }
            ++calls;
        }
    }
    host.Stop();
    host.Start(44100.0f, 512);
    const int n = 512;
    for (int variant = 0; variant < 3; ++variant) {
        const char* names[] = {"null input channel pointers", "null output channel pointers",
                               "null input and output channel pointers"};
        c.Step("%s", names[variant]);
        std::vector<float*> ins(static_cast<size_t>(std::max(e->numInputs, 1)), nullptr);
        std::vector<float*> outs(static_cast<size_t>(std::max(e->numOutputs, 1)), nullptr);
        Channels<float> in(e->numInputs, n), out(e->numOutputs, n);
        in.Sine(0.5);
        float** inputs = variant == 1 ? in.Pointers() : ins.data();
        float** outputs = variant == 0 ? out.Pointers() : outs.data();
        if (replacing) host.ProcessReplacing(inputs, outputs, n);
        if (accumulating) host.ProcessAccumulating(inputs, outputs, n);
        if (!in.GuardsIntact() || !out.GuardsIntact()) findings.Add(Format("%s: wrote past a buffer's end", names[variant]));
        if (variant == 0 && out.NonFinite()) findings.Add(Format("%s: non-finite output", names[variant]));
        ++calls;
    }
    {
        c.Step("inputs and outputs the same buffers");
        const int channels = std::max(e->numInputs, e->numOutputs);
        Channels<float> shared(channels, n);
        shared.Sine(0.5);
        if (replacing) host.ProcessReplacing(shared.Pointers(), shared.Pointers(), n);
        shared.Sine(0.5, n);
        if (accumulating) host.ProcessAccumulating(shared.Pointers(), shared.Pointers(), n);
        if (!shared.GuardsIntact()) findings.Add("in-place processing wrote past a buffer's end");
        if (const int bad = shared.NonFinite()) findings.Add(Format("in-place processing: %d non-finite samples", bad));
        ++calls;
    }
    host.Stop();
    const std::string figure =
        Format("blocks of 0, 1, 3, 4096 and 1048576 frames through %s%s%s; null channel pointers; in-place buffers "
               "(%d calls); buffer guards intact",
               replacing ? "processReplacing" : "", accumulating ? (replacing ? ", process" : "process") : "",
               doubles ? ", processDoubleReplacing" : "", calls);
    return findings.Empty() ? Pass(figure) : Fail(findings.Text() + "; " + figure);
}

// ---------------------------------------------------------------------------
// threads
// ---------------------------------------------------------------------------

Outcome Threads(Context& c)
{
    const Options& o = c.options;
    Host host;
    std::string why;
    if (!Load(c, host, why)) return Fail(why);
    AEffect* e = host.Effect();
    host.Start(44100.0f, 256);
    bool nullWithSize = false;
    const bool chunks = (e->flags & effFlagsProgramChunks) != 0;
    const std::vector<uint8_t> chunk = chunks ? GetChunkBytes(host, false, nullWithSize) : std::vector<uint8_t>();
    Display* display = nullptr;
    Outcome noEditor;
    const bool editor = EditorPossible(host, display, noEditor);
    const int errors0 = XSession::Errors();
    std::atomic<bool> stop{false};
    std::atomic<long> sets{0}, chunkSets{0}, editorCycles{0}, queries{0};
    Findings hammerFindings, guiFindings;
    c.Step("audio, GUI and parameter threads together for %.1f s", o.seconds);
    AudioThread audio(host);
    std::thread hammer([&] {
        std::mt19937 random(99);
        const int count = std::max(e->numParams, 8);
        while (!stop.load()) {
            for (int i = 0; i < 64; ++i) {
                e->setParameter(e, static_cast<VstInt32>(random() % count), static_cast<float>(random() % 1001) / 1000.0f);
                sets.fetch_add(1);
            }
            if (!chunk.empty()) {
                const VstIntPtr reply = host.Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()),
                                                      const_cast<uint8_t*>(chunk.data()));
                if (!reply) hammerFindings.Add("the plug-in refused its own chunk while threads ran");
                bool unused = false;
                GetChunkBytes(host, false, unused);
                chunkSets.fetch_add(1);
            }
            std::this_thread::yield();
        }
    });
    std::thread gui([&] {
        while (!stop.load()) {
            if (editor) {
                OpenPumpClose(host, display, 20, "vsthost validate: threads");
                editorCycles.fetch_add(1);
            } else {
                Guarded text(64);
                host.Dispatch(effGetParamDisplay, 0, 0, text.Data());
                host.Dispatch(effGetProgramName, 0, 0, text.Data());
                host.Dispatch(effEditIdle);
                queries.fetch_add(1);
                usleep(1000);
            }
        }
    });
    usleep(static_cast<useconds_t>(o.seconds * 1e6));
    stop = true;
    hammer.join();
    gui.join();
    audio.Stop();
    host.Stop();
    Findings findings;
    if (!audio.findings.Empty()) findings.Add(audio.findings.Text());
    if (!hammerFindings.Empty()) findings.Add(hammerFindings.Text());
    if (display) {
        SyncDisplay(display);
        PumpEvents(display, 20);
    }
    const int errors = XSession::Errors() - errors0;
    if (errors) findings.Add(XErrorText());
    const std::string figure = Format(
        "%.1f s: audio %ld blocks, GUI %s, third thread %ld setParameter and %ld setChunk calls; %d X errors", o.seconds,
        audio.Blocks(),
        editor ? Format("%ld editor open/close cycles", editorCycles.load()).c_str()
               : Format("%ld rounds of text requests and effEditIdle (%s)", queries.load(), noEditor.figure.c_str()).c_str(),
        sets.load(), chunkSets.load(), errors);
    return findings.Empty() ? Pass(figure) : Fail(findings.Text() + "; " + figure);
}

// ---------------------------------------------------------------------------
// stack
// ---------------------------------------------------------------------------

#if defined(__i386__)
struct MisalignedCall {
    void* function;
    void* arguments[6];
};

// Calls a cdecl function with the stack pointer 4 bytes off the 16-byte
// alignment the current i386 ABI promises: older hosts and bridges only keep
// the 4 bytes the original ABI asked for.
__attribute__((noinline)) void CallMisaligned(MisalignedCall* call, int count)
{
    __asm__ volatile(
        "mov %%esp, %%esi\n\t"
        "lea (,%%ecx,4), %%eax\n\t"
        "sub %%eax, %%esp\n\t"
        "and $-16, %%esp\n\t"
        "sub $4, %%esp\n\t"
        "1:\n\t"
        "test %%ecx, %%ecx\n\t"
        "jz 2f\n\t"
        "mov (%%edi,%%ecx,4), %%eax\n\t"
        "mov %%eax, -4(%%esp,%%ecx,4)\n\t"
        "dec %%ecx\n\t"
        "jmp 1b\n\t"
        "2:\n\t"
        "call *(%%edi)\n\t"
        "mov %%esi, %%esp\n\t"
        : "+c"(count)
        : "D"(call)
        // Built without SSE, this file keeps no values in xmm registers.
        : "esi", "eax", "edx", "memory", "cc", "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)");
}
#endif

Outcome Stack(Context& c)
{
#if !defined(__i386__)
    (void)c;
    return Skip("64-bit hosts always keep the stack aligned (the check is for i386 builds)");
#else
    Host host;
    std::string why;
    if (!Load(c, host, why)) return Fail(why);
    AEffect* e = host.Effect();
    host.Start(44100.0f, 512);
    Findings findings;
    std::vector<VstMidiEvent> notes = Notes(16, 512);
    std::vector<uint8_t> list(sizeof(VstEvents) + sizeof(VstEvent*) * notes.size());
    VstEvents* events = reinterpret_cast<VstEvents*>(list.data());
    events->numEvents = static_cast<VstInt32>(notes.size());
    VstEvent** slots = reinterpret_cast<VstEvent**>(list.data() + offsetof(VstEvents, events));
    for (size_t i = 0; i < notes.size(); ++i) slots[i] = reinterpret_cast<VstEvent*>(&notes[i]);
    int calls = 0;
    for (int block = 0; block < 8; ++block) {
        c.Step("effProcessEvents through a misaligned stack");
        MisalignedCall dispatch{reinterpret_cast<void*>(e->dispatcher),
                                {e, reinterpret_cast<void*>(effProcessEvents), nullptr, nullptr, events, nullptr}};
        CallMisaligned(&dispatch, 6);  // the float option is 0.0f, whose bits are a null pointer's
        Channels<float> in(e->numInputs, 512), out(e->numOutputs, 512);
        in.Sine(0.5, block * 512);
        for (int kind = 0; kind < 2; ++kind) {
            AEffectProcessProc proc = kind == 0 ? e->processReplacing : e->process;
            if (!proc || (kind == 0 && !(e->flags & effFlagsCanReplacing))) continue;
            c.Step("%s through a misaligned stack", kind == 0 ? "processReplacing" : "process");
            MisalignedCall process{reinterpret_cast<void*>(proc),
                                   {e, in.Pointers(), out.Pointers(), reinterpret_cast<void*>(512)}};
            CallMisaligned(&process, 4);
            ++calls;
        }
        if (!out.GuardsIntact()) findings.Add("wrote past an output buffer");
        if (const int bad = out.NonFinite()) findings.Add(Format("%d non-finite output samples", bad));
        host.ClearReceived();
    }
    if (e->setParameter) {
        c.Step("setParameter through a misaligned stack");
        float half = 0.5f;
        void* bits;
        memcpy(&bits, &half, sizeof half);
        MisalignedCall set{reinterpret_cast<void*>(e->setParameter), {e, nullptr, bits}};
        CallMisaligned(&set, 3);
        ++calls;
    }
    host.Stop();
    const std::string figure = Format("%d processing calls, 8 event deliveries and a parameter change with the stack "
                                      "4 bytes off 16-byte alignment",
                                      calls);
    return findings.Empty() ? Pass(figure) : Fail(findings.Text() + "; " + figure);
#endif
}

// ---------------------------------------------------------------------------
// no-display
// ---------------------------------------------------------------------------

// A display number nothing listens on.
std::string RefusedDisplay()
{
    for (int n = 987; n < 1100; ++n) {
        if (access(Format("/tmp/.X11-unix/X%d", n).c_str(), F_OK) != 0 && access(Format("/tmp/.X%d-lock", n).c_str(), F_OK) != 0)
            return Format(":%d", n);
    }
    return ":987";
}

Outcome NoDisplay(Context& c)
{
    if (!c.options.fork) return Skip("needs a process of its own for each setting of DISPLAY (not with --no-fork)");
    Options sub = c.options;
    sub.level = Level::Quick;
    sub.loads = std::min(sub.loads, 20);
    sub.editorCycles = std::min(sub.editorCycles, 10);
    sub.blocks = std::min(sub.blocks, 20);
    sub.seconds = std::min(sub.seconds, 1.0);
    sub.verbose = false;
    sub.checks.clear();
    for (const CheckDef& def : Checks())
        if (strcmp(def.name, "no-display") != 0) sub.checks.push_back(def.name);
    std::string figure;
    Findings findings;
    const std::string refused = RefusedDisplay();
    for (int variant = 0; variant < 2; ++variant) {
        if (variant == 0)
            unsetenv("DISPLAY");
        else
            setenv("DISPLAY", refused.c_str(), 1);
        const std::string label = variant == 0 ? "DISPLAY unset" : "DISPLAY=" + refused + " (refused)";
        c.Step("the battery with %s", label.c_str());
        std::ostringstream lines;
        int passed = 0, failed = 0, skipped = 0;
        RunBattery(sub, lines, &passed, &failed, &skipped);
        // Shown when this check fails.
        fprintf(stderr, "--- %s\n%s", label.c_str(), lines.str().c_str());
        std::istringstream read(lines.str());
        std::string line, failedNames;
        bool editorSaid = true;
        while (std::getline(read, line)) {
            if (line.find(" FAIL: ") != std::string::npos)
                failedNames += (failedNames.empty() ? "" : ", ") + line.substr(0, line.find(' '));
            if (line.compare(0, 7, "editor ") == 0 || line.compare(0, 17, "editor-instances ") == 0)
                editorSaid = editorSaid && (line.find("skipped: no display") != std::string::npos ||
                                            line.find("skipped: the plug-in has no editor") != std::string::npos);
        }
        if (failed) findings.Add(Format("with %s: %s failed", label.c_str(), failedNames.c_str()));
        if (!editorSaid) findings.Add(Format("with %s the editor checks did not report \"skipped: no display\"", label.c_str()));
        figure += Format("%s%s: %d passed, %d skipped", figure.empty() ? "" : "; ", label.c_str(), passed, skipped);
    }
    figure = "the battery (quick) " + figure;
    return findings.Empty() ? Pass(figure) : Fail(findings.Text() + "; " + figure);
}

}  // namespace

bool EditorPossible(Host& host, Display*& display, Outcome& skip)
{
    if (!(host.Effect()->flags & effFlagsHasEditor)) {
        skip = Skip("the plug-in has no editor");
        return false;
    }
    display = XSession::Get();
    if (!display) {
        skip = Skip("no display");
        return false;
    }
    return true;
}

const std::vector<CheckDef>& Checks()
{
    static const std::vector<CheckDef> checks = [] {
        std::vector<CheckDef> all = {
            {"load-unload", "dlopen, entry point, effOpen, a block, effClose, dlclose, repeated: no thread, file descriptor "
                            "or X connection left behind",
             LoadUnload, 1},
            {"instances", "several instances open at once, each processing on its own thread", Instances, 1},
            {"editor", "editor open/close in a real top-level window while audio runs; every X error counted", Editor, 1},
            {"editor-instances", "several instances with their editors open at once", EditorInstances, 1},
            {"state", "programs; chunk round trips; truncated, oversized, random and unterminated chunks", State, 1},
            {"parameters", "indices -1..1000 with 0, 1, -1, 2, NaN, infinities, denormals; name, label and display texts "
                           "into guarded buffers",
             Parameters, 1},
            {"dispatcher", "opcodes 0..100 with plausible and hostile index, value and option and a guarded buffer",
             Dispatcher, 1},
            {"midi", "10000 events in one block, other event types, odd byte sizes, sysex with a null pointer", Midi, 1},
            {"blocks", "blocks of 0, 1, 3, 4096, 1048576 frames; null channel pointers; in-place buffers", Blocks, 1},
            {"threads", "audio, GUI (editor open/close) and a thread setting parameters and chunks, all at once", Threads,
             1},
            {"stack", "i386: processing, events and parameters called with the stack only 4-byte aligned, as older hosts "
                      "and bridges call",
             Stack, 1},
        };
        for (const CheckDef& def : XFaultChecks()) all.push_back(def);
        all.push_back({"no-display", "the battery again with DISPLAY unset and with a display that refuses", NoDisplay, 6});
        return all;
    }();
    return checks;
}

}  // namespace validate
}  // namespace vsthost
