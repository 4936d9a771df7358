#pragma once
// What the checks of `vsthost validate` share: the options, the context a
// check runs in, memory that detects writes and reads past its end, and audio
// buffers that do the same.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tools/vsthost/VstHost.h"

typedef struct _XDisplay Display;

namespace vsthost {
namespace validate {

enum class Level { Quick, Normal, Strict };

struct Options {
    std::string plugin;
    Level level = Level::Normal;
    int loads = 200;          // load-unload cycles
    int editorCycles = 100;   // editor open/close cycles
    int instances = 8;        // instances at once
    double seconds = 3.0;     // length of the threads check
    int blocks = 200;         // blocks per instance thread
    double timeout = 180.0;   // seconds a check may take
    bool fork = true;         // each check in a child process
    bool verbose = false;     // show what the plug-in printed for every check
    std::vector<std::string> checks;
};

enum class Status { Pass, Fail, Skip };

struct Outcome {
    Status status;
    std::string figure;
};

inline Outcome Pass(const std::string& figure) { return {Status::Pass, figure}; }
inline Outcome Fail(const std::string& figure) { return {Status::Fail, figure}; }
inline Outcome Skip(const std::string& why) { return {Status::Skip, why}; }

// Whether an editor check can run: false, with `skip` set, when the plug-in
// has no editor or no X server answers; else `display` is the host's.
bool EditorPossible(Host& host, Display*& display, Outcome& skip);

// Written by a check while it runs; lives in memory shared with the parent,
// so that the last step is known even when the plug-in kills the check.
struct Progress {
    char step[256];
    char previous[256];
};

struct Context {
    const Options& options;
    Progress* progress;
    bool Strict() const { return options.level == Level::Strict; }
    bool Quick() const { return options.level == Level::Quick; }
    void Step(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

struct CheckDef {
    const char* name;
    const char* description;
    Outcome (*run)(Context&);
    double timeoutWeight;  // times the per-check timeout
};

const std::vector<CheckDef>& Checks();
// Those for what X does behind a plug-in's back (ValidateXFaults.cpp).
const std::vector<CheckDef>& XFaultChecks();

// Memory whose `size` usable bytes are followed by `guard` pattern bytes and
// then by a page that cannot be touched: a write into the guard is seen by
// GuardIntact, an access past it ends the check with a fault.
class Guarded {
public:
    static constexpr uint8_t Pattern = 0xA5;
    Guarded(size_t size, size_t guard = 64, size_t align = 16);
    ~Guarded();
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    uint8_t* Data() const { return base; }
    size_t Size() const { return size; }
    bool GuardIntact() const;
    // The length of the text at the start, or Size() when no zero ends it.
    size_t TextLength() const;
    void Fill(uint8_t byte);
    // Zeroes the usable bytes and lays the guard again, for the next request.
    void Reset();

private:
    void* map = nullptr;
    size_t mapSize = 0;
    uint8_t* base = nullptr;
    size_t size = 0;
    size_t guard = 0;
};

// One buffer per channel for the plug-in's inputs and outputs, each followed
// by guard samples.
template <typename Sample>
class Channels {
public:
    Channels(int count, int frames);
    Sample** Pointers() { return pointers.data(); }
    int Count() const { return static_cast<int>(buffers.size()); }
    Sample* operator[](int c) { return reinterpret_cast<Sample*>(buffers[c]->Data()); }
    void Sine(double gain, int64_t start = 0);
    void Silence();
    int NonFinite() const;
    bool GuardsIntact() const;

private:
    int frames;
    std::vector<std::unique_ptr<Guarded>> buffers;
    std::vector<Sample*> pointers;
};

// The number of the process's threads and open file descriptors.
int CountTasks();
int CountFds();
// Waits up to a second for the thread count to fall to `target`.
int SettleTasks(int target);
// Whether the file is still mapped into the process.
bool Mapped(const std::string& path);

// Loads the plug-in into `host`; on failure `why` says what happened.
bool LoadPlugin(Host& host, const std::string& path, std::string& why);

// MIDI note events spread over a block.
std::vector<VstMidiEvent> Notes(int count, int frames, int seed = 0);

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Faults found in one check, kept short: the first few in full, then a count.
class Findings {
public:
    void Add(const std::string& text)
    {
        if (count++ < 4) items.push_back(text);
    }
    bool Empty() const { return count == 0; }
    std::string Text() const
    {
        std::string t;
        for (size_t i = 0; i < items.size(); ++i) t += (i ? "; " : "") + items[i];
        if (count > static_cast<int>(items.size())) t += Format("; and %d more", count - static_cast<int>(items.size()));
        return t;
    }

private:
    int count = 0;
    std::vector<std::string> items;
};


}  // namespace validate
}  // namespace vsthost
