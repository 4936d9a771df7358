#include "tools/vsthost/Validate.h"

#include <dirent.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <set>
#include <sstream>

#include "tools/vsthost/Commands.h"
#include "tools/vsthost/ValidateSupport.h"
#include "tools/vsthost/XHost.h"

namespace vsthost {
namespace validate {

// ---------------------------------------------------------------------------
// Shared helpers
// ---------------------------------------------------------------------------

std::string Format(const char* format, ...)
{
    char buffer[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

void Context::Step(const char* format, ...)
{
    if (!progress) return;
    memcpy(progress->previous, progress->step, sizeof progress->previous);
    va_list args;
    va_start(args, format);
    vsnprintf(progress->step, sizeof progress->step, format, args);
    va_end(args);
}

Guarded::Guarded(size_t usable, size_t guardBytes, size_t align) : size(usable)
{
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    if (align < 1) align = 1;
    size_t total = usable + guardBytes;
    total = (total + align - 1) / align * align;
    guard = total - usable;
    mapSize = (total + page - 1) / page * page + page;
    map = mmap(nullptr, mapSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) {
        map = nullptr;
        throw std::bad_alloc();
    }
    uint8_t* end = static_cast<uint8_t*>(map) + mapSize - page;
    mprotect(end, page, PROT_NONE);
    base = end - total;
    memset(base, 0, usable);
    memset(base + usable, Pattern, guard);
}

Guarded::~Guarded()
{
    if (map) munmap(map, mapSize);
}

bool Guarded::GuardIntact() const
{
    for (size_t i = 0; i < guard; ++i)
        if (base[size + i] != Pattern) return false;
    return true;
}

size_t Guarded::TextLength() const
{
    for (size_t i = 0; i < size; ++i)
        if (!base[i]) return i;
    return size;
}

void Guarded::Fill(uint8_t byte) { memset(base, byte, size); }

void Guarded::Reset()
{
    memset(base, 0, size);
    memset(base + size, Pattern, guard);
}

template <typename Sample>
Channels<Sample>::Channels(int count, int n) : frames(n)
{
    for (int c = 0; c < count; ++c) {
        buffers.emplace_back(new Guarded(sizeof(Sample) * static_cast<size_t>(n), 16 * sizeof(Sample), 16));
        pointers.push_back(reinterpret_cast<Sample*>(buffers.back()->Data()));
    }
    if (pointers.empty()) pointers.push_back(nullptr);  // a valid array even for no channels
}

// One period of 64 samples, computed once: filling megaframe blocks must stay
// cheap under an emulator, whose floating point is slow.
template <typename Sample>
void Channels<Sample>::Sine(double gain, int64_t start)
{
    static const std::vector<double> period = [] {
        std::vector<double> p(64);
        for (size_t i = 0; i < p.size(); ++i) p[i] = std::sin(2.0 * M_PI * static_cast<double>(i) / 64.0);
        return p;
    }();
    for (size_t c = 0; c < buffers.size(); ++c) {
        Sample table[64];
        for (size_t i = 0; i < 64; ++i) table[i] = static_cast<Sample>(gain * period[(i * (c + 1)) % 64]);
        Sample* s = reinterpret_cast<Sample*>(buffers[c]->Data());
        for (int i = 0; i < frames; ++i) s[i] = table[static_cast<uint64_t>(start + i) % 64];
    }
}

template <typename Sample>
void Channels<Sample>::Silence()
{
    for (auto& b : buffers) memset(b->Data(), 0, b->Size());
}

namespace {

// By the bits: an all-ones exponent is an infinity or a NaN.
inline bool Finite(float v)
{
    uint32_t bits;
    memcpy(&bits, &v, sizeof bits);
    return (bits & 0x7F800000u) != 0x7F800000u;
}

inline bool Finite(double v)
{
    uint64_t bits;
    memcpy(&bits, &v, sizeof bits);
    return (bits & 0x7FF0000000000000ull) != 0x7FF0000000000000ull;
}

}  // namespace

template <typename Sample>
int Channels<Sample>::NonFinite() const
{
    int count = 0;
    for (const auto& b : buffers) {
        const Sample* s = reinterpret_cast<const Sample*>(b->Data());
        for (int i = 0; i < frames; ++i) count += Finite(s[i]) ? 0 : 1;
    }
    return count;
}

template <typename Sample>
bool Channels<Sample>::GuardsIntact() const
{
    for (const auto& b : buffers)
        if (!b->GuardIntact()) return false;
    return true;
}

template class Channels<float>;
template class Channels<double>;

namespace {

int CountEntries(const char* path)
{
    DIR* dir = opendir(path);
    if (!dir) return -1;
    int count = 0;
    while (dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') ++count;
    closedir(dir);
    return count;
}

}  // namespace

int CountTasks() { return CountEntries("/proc/self/task"); }

// The directory's own descriptor is among the entries while it is read.
int CountFds() { return CountEntries("/proc/self/fd") - 1; }

int SettleTasks(int target)
{
    int now = CountTasks();
    for (int i = 0; i < 100 && now > target; ++i) {
        usleep(10000);
        now = CountTasks();
    }
    return now;
}

bool Mapped(const std::string& path)
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.size() >= path.size() && line.compare(line.size() - path.size(), path.size(), path) == 0) return true;
    return false;
}

bool LoadPlugin(Host& host, const std::string& path, std::string& why)
{
    if (host.Load(path)) return true;
    why = host.ErrorText();
    return false;
}

std::vector<VstMidiEvent> Notes(int count, int frames, int seed)
{
    std::vector<VstMidiEvent> events(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        VstMidiEvent& e = events[static_cast<size_t>(i)];
        e = VstMidiEvent{};
        e.type = kVstMidiType;
        e.byteSize = sizeof(VstMidiEvent) - 2 * sizeof(VstInt32);
        e.deltaFrames = frames > 0 ? static_cast<VstInt32>(static_cast<int64_t>(i) * frames / count) : 0;
        const int n = i + seed;
        e.midiData[0] = static_cast<char>((n % 2 ? 0x80 : 0x90) | (n / 2 % 16));
        e.midiData[1] = static_cast<char>(36 + n / 2 % 48);
        e.midiData[2] = static_cast<char>(n % 2 ? 0 : 100);
    }
    return events;
}

// ---------------------------------------------------------------------------
// Running checks
// ---------------------------------------------------------------------------

namespace {

const char* const Help =
    "usage: vsthost validate PLUGIN.so [--check NAME[,NAME...]] [--level quick|normal|strict] [--strict]\n"
    "                        [--loads N] [--editor-cycles N] [--instances N] [--blocks N] [--seconds S]\n"
    "                        [--timeout S] [--no-fork] [--verbose] [--list]\n"
    "Runs a battery of checks on any VST 2.x plug-in and prints one line per check: its name, pass, fail or\n"
    "skipped, and what it measured; then a summary line. Each check runs in a child process of its own, so\n"
    "a plug-in that crashes or hangs fails that check and the battery goes on; what the plug-in printed is\n"
    "shown for failed checks (always with --verbose). --no-fork runs every check in this process instead\n"
    "(for valgrind and ThreadSanitizer runs; a crash then ends the battery).\n"
    "Levels: quick uses fewer repetitions (for emulators), strict more, and also fails on what hosts\n"
    "commonly survive: strings past the interface's own limits (8 characters for parameter texts, 24 for\n"
    "program names, 32 for the effect name, 64 for vendor and product), announced parameters outside\n"
    "0..1, malformed events sent back, an editor without a size, a replaced X error handler.\n"
    "Host buffers for texts are 64 bytes (256 for vendor, product and error texts) followed by 64 guard\n"
    "bytes and an inaccessible page; chunks, events and audio buffers also end at such a page.\n"
    "Repetitions (defaults quick/normal/strict): --loads 40/200/500 load-unload cycles, --editor-cycles\n"
    "20/100/300, --instances 8/8/16, --blocks 50/200/1000 per instance thread, --seconds 1/3/10 for the\n"
    "threads check; --timeout 180 seconds per check (the no-display check gets six times as much).\n"
    "Exit codes: 0 no check failed, 1 bad command line, 2 the plug-in file is missing,\n"
    "            7 at least one check failed.\n";

struct SharedResult {
    Progress progress;
    int status;  // -1 none, else Status
    char figure[2048];
};

void Store(SharedResult* r, const Outcome& o)
{
    r->status = static_cast<int>(o.status);
    snprintf(r->figure, sizeof r->figure, "%s", o.figure.c_str());
}

Outcome RunInChild(const CheckDef& def, const Options& options, std::string& log)
{
    void* memory = mmap(nullptr, sizeof(SharedResult), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return Fail("cannot share memory with a child process");
    SharedResult* shared = static_cast<SharedResult*>(memory);
    memset(shared, 0, sizeof *shared);
    shared->status = -1;
    FILE* output = tmpfile();
    fflush(stdout);
    fflush(stderr);
    const pid_t pid = fork();
    if (pid < 0) {
        munmap(memory, sizeof(SharedResult));
        if (output) fclose(output);
        return Fail("cannot start a child process");
    }
    if (pid == 0) {
        if (output) {
            dup2(fileno(output), STDOUT_FILENO);
            dup2(fileno(output), STDERR_FILENO);
        }
        Context context{options, &shared->progress};
        Outcome o;
        try {
            XSession::InitThreads();
            o = def.run(context);
        } catch (const std::exception& e) {
            o = Fail(std::string("an exception reached the host: ") + e.what());
        } catch (...) {
            o = Fail("an exception reached the host");
        }
        Store(shared, o);
        fflush(stdout);
        fflush(stderr);
        // exit, not _exit: sanitizers and valgrind report leaks at exit.
        exit(0);
    }
    const auto start = std::chrono::steady_clock::now();
    const double limit = options.timeout * def.timeoutWeight;
    int status = 0;
    bool finished = false;
    while (true) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            finished = true;
            break;
        }
        if (done < 0) break;
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > limit) break;
        usleep(20000);
    }
    if (output) {
        fflush(output);
        rewind(output);
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, output)) > 0) log.append(buffer, got);
        fclose(output);
        output = nullptr;
    }
    // Under a sanitizer a fault becomes its report and an exit code.
    std::string report;
    size_t error = log.find("ERROR: "), skip = 7;
    if (error == std::string::npos) {
        error = log.find("runtime error: ");
        skip = 15;
    }
    if (error != std::string::npos) {
        report = log.substr(error + skip, log.find('\n', error) - error - skip);
        const size_t pc = report.find(" (pc ");
        if (pc != std::string::npos) report.resize(pc);
        report = ": " + report;
    }
    Outcome result;
    const std::string step = shared->progress.step, previous = shared->progress.previous;
    const std::string at = step.empty() ? ""
                                        : " (last step: " + step + (previous.empty() ? "" : "; before it: " + previous) + ")";
    if (!finished) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        result = Fail(Format("no answer within %.0f s%s", limit, at.c_str()));
    } else if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        result = Fail(Format("crashed: signal %d (%s)%s", sig, strsignal(sig), at.c_str()));
    } else if (shared->status < 0) {
        result = Fail(Format("ended with exit code %d before reporting%s%s", WEXITSTATUS(status), report.c_str(),
                             at.c_str()));
    } else {
        result = Outcome{static_cast<Status>(shared->status), shared->figure};
        if (WEXITSTATUS(status) != 0) {
            result.status = Status::Fail;
            result.figure += Format("; then the process ended with exit code %d%s", WEXITSTATUS(status),
                                    report.empty() ? " (a sanitizer or leak report?)" : report.c_str());
        }
    }
    munmap(memory, sizeof(SharedResult));
    return result;
}

Outcome RunHere(const CheckDef& def, const Options& options)
{
    Progress progress{};
    Context context{options, &progress};
    XSession::InitThreads();
    try {
        return def.run(context);
    } catch (const std::exception& e) {
        return Fail(std::string("an exception reached the host: ") + e.what());
    } catch (...) {
        return Fail("an exception reached the host");
    }
}

void ShowLog(std::ostream& out, const std::string& log)
{
    if (log.empty()) return;
    std::istringstream lines(log);
    std::vector<std::string> all;
    std::string line;
    while (std::getline(lines, line)) all.push_back(line);
    const size_t first = all.size() > 60 ? all.size() - 60 : 0;
    if (first) out << "    | ... (" << first << " earlier lines)\n";
    for (size_t i = first; i < all.size(); ++i) out << "    | " << all[i] << "\n";
}

bool ParseNumber(const std::string& text, double low, double high, double& value)
{
    char* end = nullptr;
    const double v = strtod(text.c_str(), &end);
    if (text.empty() || *end || !(v >= low && v <= high)) return false;
    value = v;
    return true;
}

}  // namespace

int RunBattery(const Options& options, std::ostream& out, int* passedOut, int* failedOut, int* skippedOut)
{
    const auto start = std::chrono::steady_clock::now();
    int passed = 0, failed = 0, skipped = 0;
    size_t width = 0;
    for (const CheckDef& def : Checks()) width = std::max(width, strlen(def.name));
    for (const CheckDef& def : Checks()) {
        if (!options.checks.empty() &&
            std::find(options.checks.begin(), options.checks.end(), def.name) == options.checks.end())
            continue;
        const auto checkStart = std::chrono::steady_clock::now();
        std::string log;
        Outcome o = options.fork ? RunInChild(def, options, log) : RunHere(def, options);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - checkStart).count();
        const char* word = o.status == Status::Pass ? "pass" : o.status == Status::Fail ? "FAIL" : "skipped";
        out << std::left << std::setw(static_cast<int>(width) + 2) << def.name << word << ": " << o.figure
            << Format(" [%.1f s]", seconds) << "\n";
        if (o.status == Status::Fail || options.verbose) ShowLog(out, log);
        out.flush();
        (o.status == Status::Pass ? passed : o.status == Status::Fail ? failed : skipped)++;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    out << Format("validate: %d passed, %d failed, %d skipped (%s, %.1f s)\n", passed, failed, skipped,
                  options.plugin.c_str(), seconds);
    if (passedOut) *passedOut = passed;
    if (failedOut) *failedOut = failed;
    if (skippedOut) *skippedOut = skipped;
    return failed ? ExitValidateFailed : ExitOk;
}

}  // namespace validate

int Validate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    using namespace validate;
    Options o;
    bool list = false;
    std::set<std::string> counts;
    std::vector<std::string> positional;
    auto usage = [&](const std::string& problem) {
        err << "vsthost: " << problem << "\n" << Help;
        return ExitUsage;
    };
    for (size_t i = 1; i < args.size(); ++i) {
        std::string a = args[i], value;
        const size_t eq = a.find('=');
        const bool inlineValue = a.compare(0, 2, "--") == 0 && eq != std::string::npos;
        if (inlineValue) {
            value = a.substr(eq + 1);
            a = a.substr(0, eq);
        }
        auto next = [&](std::string& v) {
            if (inlineValue) {
                v = value;
                return true;
            }
            if (i + 1 >= args.size()) return false;
            v = args[++i];
            return true;
        };
        double number;
        if (a == "--help" || a == "-h") {
            out << Help;
            return ExitOk;
        } else if (a == "--list") {
            list = true;
        } else if (a == "--strict") {
            o.level = Level::Strict;
        } else if (a == "--no-fork") {
            o.fork = false;
        } else if (a == "--verbose") {
            o.verbose = true;
        } else if (a == "--level") {
            if (!next(value)) return usage("--level needs a value");
            if (value == "quick")
                o.level = Level::Quick;
            else if (value == "normal")
                o.level = Level::Normal;
            else if (value == "strict")
                o.level = Level::Strict;
            else
                return usage("--level takes quick, normal or strict");
        } else if (a == "--check") {
            if (!next(value)) return usage("--check needs a name");
            std::istringstream names(value);
            std::string name;
            while (std::getline(names, name, ',')) {
                bool known = false;
                for (const CheckDef& def : Checks()) known = known || name == def.name;
                if (!known) return usage("no check named " + name + " (vsthost validate --list)");
                o.checks.push_back(name);
            }
        } else if (a == "--loads" || a == "--editor-cycles" || a == "--instances" || a == "--blocks" ||
                   a == "--seconds" || a == "--timeout") {
            if (!next(value)) return usage(a + " needs a value");
            const bool whole = a != "--seconds" && a != "--timeout";
            const double high = a == "--instances" ? 64 : a == "--seconds" ? 600 : a == "--timeout" ? 86400 : 100000;
            if (!ParseNumber(value, whole ? 1 : 0.1, high, number) || (whole && number != std::floor(number)))
                return usage(a + Format(" takes %s from %g to %g", whole ? "a whole number" : "a number",
                                        whole ? 1.0 : 0.1, high));
            counts.insert(a);
            if (a == "--loads") o.loads = static_cast<int>(number);
            if (a == "--editor-cycles") o.editorCycles = static_cast<int>(number);
            if (a == "--instances") o.instances = static_cast<int>(number);
            if (a == "--blocks") o.blocks = static_cast<int>(number);
            if (a == "--seconds") o.seconds = number;
            if (a == "--timeout") o.timeout = number;
        } else if (a.compare(0, 1, "-") == 0 && a.size() > 1) {
            return usage("unknown option " + args[i]);
        } else {
            positional.push_back(args[i]);
        }
    }
    if (list) {
        for (const CheckDef& def : Checks()) out << std::left << std::setw(18) << def.name << def.description << "\n";
        return ExitOk;
    }
    if (positional.size() != 1) return usage("validate takes one plug-in");
    o.plugin = positional[0];
    if (access(o.plugin.c_str(), R_OK) != 0) {
        err << "vsthost: " << o.plugin << ": no such file\n";
        return ExitFile;
    }
    // Level defaults for what the command line left open.
    struct Defaults {
        int loads, editorCycles, instances, blocks;
        double seconds;
    };
    const Defaults d = o.level == Level::Quick    ? Defaults{40, 20, 8, 50, 1.0}
                       : o.level == Level::Strict ? Defaults{500, 300, 16, 1000, 10.0}
                                                  : Defaults{200, 100, 8, 200, 3.0};
    if (!counts.count("--loads")) o.loads = d.loads;
    if (!counts.count("--editor-cycles")) o.editorCycles = d.editorCycles;
    if (!counts.count("--instances")) o.instances = d.instances;
    if (!counts.count("--blocks")) o.blocks = d.blocks;
    if (!counts.count("--seconds")) o.seconds = d.seconds;
    return RunBattery(o, out, nullptr, nullptr, nullptr);
}

}  // namespace vsthost
