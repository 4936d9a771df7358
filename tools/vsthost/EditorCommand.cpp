#include "tools/vsthost/EditorCommand.h"

// The host's headers first: Xlib defines None and Status as macros.
#include "tools/vsthost/AudioFile.h"
#include "tools/vsthost/CommandLine.h"
#include "tools/vsthost/Commands.h"
#include "tools/vsthost/MidiFile.h"
#include "tools/vsthost/XHost.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <png.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace vsthost {

namespace {

using Clock = std::chrono::steady_clock;

const char* const EditorHelp =
    "usage: vsthost editor PLUGIN.so [--convention forward|idle|none] [--wav IN.wav] [--midi IN.mid]\n"
    "                      [--seconds N] [--screenshot FILE.png@T[,FILE.png@T...]] [--click X,Y@T[;X,Y@T...]]\n"
    "                      [--position X,Y] [--scale N] [--quiet] [host options]\n"
    "Opens the plug-in's editor in a top-level window of the editor's size, as a host does (effEditOpen\n"
    "with the host's Display* and window), and plays audio and MIDI through the plug-in in real time on\n"
    "an audio thread of its own, 512-frame blocks at 44100 Hz, for --seconds (default 5, 0 to 3600).\n"
    "Audio: IN.wav (stereo or mono, looped) or, by default, a generated signal: quiet (-70 dB) with a\n"
    "burst (-20 dB) in the second quarter of every second. MIDI: IN.mid (looped), else a generated note\n"
    "in the same second quarter. How the host serves the editor (--convention):\n"
    "  forward  reads \"_XEventProc\" of the windows its events are for and calls it with each event\n"
    "           (64-bit: up to two items read, exactly one required, its 32-bit value called)\n"
    "  idle     calls effEditIdle every 20 ms and drops its events\n"
    "  none     does neither\n"
    "--screenshot writes the editor window, with the plug-in's own open dialogs, as PNG at T seconds.\n"
    "--click clicks the left button at X,Y of the editor window (XTest) at T seconds.\n"
    "--position places the window on the screen (default 560,400).\n"
    "--scale shows the plug-in enlarged by N (1 to 4) for this run: it sets BLINKWATCHER_SCALE, which\n"
    "Blinkwatcher reads. --click and --screenshot work in the window's pixels, at any scale.\n";

struct Timed {
    double at;
    std::string path;  // screenshots
    int x = 0, y = 0;  // clicks
    bool done = false;
};

bool ParseTimes(const std::string& list, char separator, bool clicks, std::vector<Timed>& out)
{
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(separator, start);
        std::string item = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t at = item.rfind('@');
        if (item.empty() || at == std::string::npos || at + 1 >= item.size()) return false;
        Timed t;
        char* rest = nullptr;
        t.at = strtod(item.c_str() + at + 1, &rest);
        if (*rest || !(t.at >= 0.0)) return false;
        std::string what = item.substr(0, at);
        if (clicks) {
            if (sscanf(what.c_str(), "%d,%d", &t.x, &t.y) != 2) return false;
        } else {
            if (what.empty()) return false;
            t.path = what;
        }
        out.push_back(t);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return !out.empty();
}

// The generated programme: which part of every second is loud.
bool Burst(double seconds)
{
    const double f = seconds - std::floor(seconds);
    return f >= 0.25 && f < 0.5;
}

struct Programme {
    AudioData audio;  // empty: generated
    std::vector<TimedMessage> midi;
    bool generatedMidi = true;
    double midiLength = 1.0;
};

// Plays the programme through the plug-in in real time until told to stop.
void PlayLoop(Host* host, const Programme* p, std::atomic<bool>* stop, std::atomic<int64_t>* blocks)
{
    const int32_t frames = 512;
    const double rate = 44100.0;
    std::vector<float> in[2] = {std::vector<float>(frames), std::vector<float>(frames)};
    std::vector<float> out[2] = {std::vector<float>(frames), std::vector<float>(frames)};
    float* ins[2] = {in[0].data(), in[1].data()};
    float* outs[2] = {out[0].data(), out[1].data()};
    const float quiet = std::pow(10.0f, -70.0f / 20.0f), loud = std::pow(10.0f, -20.0f / 20.0f);
    int64_t position = 0;
    size_t nextMidi = 0;
    double midiLoop = 0.0;
    auto due = Clock::now();
    while (!stop->load()) {
        const double t = position / rate;
        for (int32_t i = 0; i < frames; ++i) {
            const int64_t n = position + i;
            if (!p->audio.samples.empty()) {
                const int64_t total = p->audio.Frames();
                const int64_t f = n % total;
                for (int c = 0; c < 2; ++c)
                    in[c][i] = p->audio.samples[static_cast<size_t>(f * p->audio.channels +
                                                                    std::min(c, p->audio.channels - 1))];
            } else {
                const float level = Burst(n / rate) ? loud : quiet;
                in[0][i] = level * std::sin(2.0f * 3.14159265f * 440.0f * static_cast<float>(n / rate));
                in[1][i] = level * std::sin(2.0f * 3.14159265f * 660.0f * static_cast<float>(n / rate));
            }
        }
        std::vector<VstMidiEvent> events;
        auto event = [&](const uint8_t* bytes, size_t count, int32_t delta) {
            VstMidiEvent m{};
            m.type = kVstMidiType;
            m.byteSize = sizeof(VstMidiEvent) - 2 * sizeof(VstInt32);
            m.deltaFrames = delta;
            for (size_t b = 0; b < count && b < 3; ++b) m.midiData[b] = static_cast<char>(bytes[b]);
            events.push_back(m);
        };
        if (p->generatedMidi) {
            // A note in every block of the loud quarter; its end right after.
            if (Burst(t)) {
                const uint8_t on[3] = {0x90, 60, 100}, off[3] = {0x80, 60, 0};
                event(on, 3, 0);
                event(off, 3, frames / 2);
            }
        } else if (!p->midi.empty()) {
            const double end = t + frames / rate;
            while (true) {
                if (nextMidi >= p->midi.size()) {
                    nextMidi = 0;
                    midiLoop += p->midiLength;
                }
                const TimedMessage& m = p->midi[nextMidi];
                const double at = midiLoop + m.seconds;
                if (at >= end) break;
                if (!m.sysex)
                    event(m.bytes.data(), m.bytes.size(), static_cast<int32_t>(std::max(0.0, (at - t) * rate)));
                ++nextMidi;
            }
        }
        if (!events.empty()) host->SendEvents(events);
        host->ProcessReplacing(ins, outs, frames);
        host->ClearReceived();
        position += frames;
        blocks->fetch_add(1);
        due += std::chrono::microseconds(static_cast<int64_t>(frames * 1e6 / rate));
        std::this_thread::sleep_until(due);
    }
}

// The rectangle of a window on the screen; false when it is not viewable.
bool ScreenRect(Display* d, Window w, int& x, int& y, int& width, int& height)
{
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a) || a.map_state != IsViewable) return false;
    Window child;
    XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    width = a.width;
    height = a.height;
    return true;
}

// The editor window and the plug-in's own top-level windows that are showing
// (its dialogs, which sit on the root window beside the editor), as one PNG.
bool Screenshot(Display* d, Window editor, const std::string& path, std::string& error)
{
    int left, top, w, h;
    if (!ScreenRect(d, editor, left, top, w, h)) {
        error = "the editor window is not on the screen";
        return false;
    }
    int right = left + w, bottom = top + h;
    Atom marker = XInternAtom(d, "_QUORWND", True);
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (marker && XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            int x, y, cw, ch;
            Atom type;
            int format;
            unsigned long items, after;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(d, children[i], marker, 0, 1, False, AnyPropertyType, &type, &format, &items,
                                   &after, &data) != Success)
                continue;
            if (data) XFree(data);
            if (items != 1 || !ScreenRect(d, children[i], x, y, cw, ch) || cw < 40 || ch < 40) continue;
            left = std::min(left, x);
            top = std::min(top, y);
            right = std::max(right, x + cw);
            bottom = std::max(bottom, y + ch);
        }
        if (children) XFree(children);
    }
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, DisplayWidth(d, DefaultScreen(d)));
    bottom = std::min(bottom, DisplayHeight(d, DefaultScreen(d)));
    const int W = right - left, H = bottom - top;
    XImage* image = XGetImage(d, DefaultRootWindow(d), left, top, static_cast<unsigned>(W), static_cast<unsigned>(H),
                              AllPlanes, ZPixmap);
    if (!image) {
        error = "the screen could not be read";
        return false;
    }
    std::vector<png_byte> rgb;
    rgb.reserve(static_cast<size_t>(W * H * 3));
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            rgb.insert(rgb.end(), {png_byte(p >> 16), png_byte(p >> 8), png_byte(p)});
        }
    XDestroyImage(image);
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(W);
    png.height = static_cast<png_uint_32>(H);
    png.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&png, path.c_str(), 0, rgb.data(), 0, nullptr)) {
        error = path + ": cannot be written";
        return false;
    }
    return true;
}

bool Click(Display* d, Window editor, int x, int y)
{
    int event, errorBase, major, minor;
    if (!XTestQueryExtension(d, &event, &errorBase, &major, &minor)) return false;
    int rx, ry;
    Window child;
    XTranslateCoordinates(d, editor, DefaultRootWindow(d), x, y, &rx, &ry, &child);
    XTestFakeMotionEvent(d, -1, rx, ry, 0);
    XTestFakeButtonEvent(d, 1, True, 0);
    XTestFakeButtonEvent(d, 1, False, 0);
    XSync(d, False);
    return true;
}

void IdleEditor(void* context) { static_cast<Host*>(context)->Dispatch(effEditIdle); }

}  // namespace

int Editor(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    Arguments a = Parse(args, 1, {"--convention", "--wav", "--midi", "--seconds", "--screenshot", "--click",
                                  "--position", "--scale"},
                        {"--quiet"});
    if (a.help) {
        out << EditorHelp;
        return ExitOk;
    }
    if (!a.error.empty()) return Usage(err, a.error, EditorHelp);
    if (a.positional.size() != 1) return Usage(err, "editor needs one plug-in", EditorHelp);
    const std::string convention = a.Value("--convention", "forward");
    if (convention != "forward" && convention != "idle" && convention != "none")
        return Usage(err, "--convention takes forward, idle or none", EditorHelp);
    long long seconds = 5;
    if (a.values.count("--seconds") && !ParseInt(a.Value("--seconds"), 0, 3600, seconds))
        return Usage(err, "--seconds needs a whole number from 0 to 3600", EditorHelp);
    std::vector<Timed> shots, clicks;
    if (a.values.count("--screenshot") && !ParseTimes(a.Value("--screenshot"), ',', false, shots))
        return Usage(err, "--screenshot takes FILE.png@SECONDS, several separated by commas", EditorHelp);
    if (a.values.count("--click") && !ParseTimes(a.Value("--click"), ';', true, clicks))
        return Usage(err, "--click takes X,Y@SECONDS, several separated by semicolons", EditorHelp);
    int px = 560, py = 400;
    if (a.values.count("--position") && sscanf(a.Value("--position").c_str(), "%d,%d", &px, &py) != 2)
        return Usage(err, "--position takes X,Y", EditorHelp);
    long long scale = 0;
    if (a.values.count("--scale") && !ParseInt(a.Value("--scale"), 1, 4, scale))
        return Usage(err, "--scale needs a whole number from 1 to 4", EditorHelp);
    const bool quiet = a.Has("--quiet");

    Programme programme;
    std::string error;
    if (a.values.count("--wav")) {
        if (!ReadWav(a.Value("--wav"), programme.audio, error) || programme.audio.Frames() == 0) {
            err << "vsthost: " << (error.empty() ? a.Value("--wav") + ": no audio" : error) << "\n";
            return ExitFile;
        }
    }
    if (a.values.count("--midi")) {
        if (!ReadMidiFile(a.Value("--midi"), programme.midi, error)) {
            err << "vsthost: " << error << "\n";
            return ExitFile;
        }
        programme.generatedMidi = false;
        for (const TimedMessage& m : programme.midi) programme.midiLength = std::max(programme.midiLength, m.seconds + 0.5);
    }

    // Read by the plug-in when its editor opens.
    if (scale > 0) setenv("BLINKWATCHER_SCALE", std::to_string(scale).c_str(), 1);

    // Thread support before any connection, the plug-in's included.
    XSession::InitThreads();
    Display* display = XSession::Get();
    if (!display) {
        err << "vsthost: no X display: set DISPLAY (or run under Xvfb)\n";
        return ExitNoDisplay;
    }
    HostIdentity identity;
    if (!HostIdentityFrom(a, identity, error)) return Usage(err, error, EditorHelp);
    Host host(identity);
    int loaded = LoadPlugin(host, a.positional[0], err);
    if (loaded != ExitOk) return loaded;
    if (!(host.Effect()->flags & effFlagsHasEditor)) {
        err << "vsthost: " << a.positional[0] << " has no editor\n";
        return ExitNoEditor;
    }
    if (host.Effect()->numInputs > 2 || host.Effect()->numOutputs > 2) {
        err << "vsthost: the editor command plays two channels; the plug-in has " << host.Effect()->numInputs
            << " inputs and " << host.Effect()->numOutputs << " outputs\n";
        return ExitChannels;
    }
    ERect* rect = nullptr;
    host.Dispatch(effEditGetRect, 0, 0, &rect);
    int width = rect ? rect->right - rect->left : 0, height = rect ? rect->bottom - rect->top : 0;
    if (width <= 0 || height <= 0) {
        err << "vsthost: the plug-in gives no editor size\n";
        return ExitNoEditor;
    }
    EditorWindow window;
    window.Create(display, width, height, "vsthost: " + host.GetString(effGetEffectName), px, py);
    host.Start(44100.0f, 512);
    host.Dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(display),
                  reinterpret_cast<void*>(static_cast<uintptr_t>(window.Id())));
    // The size may have changed on opening.
    host.Dispatch(effEditGetRect, 0, 0, &rect);
    if (rect && rect->right - rect->left > 0 && rect->bottom - rect->top > 0 &&
        (rect->right - rect->left != width || rect->bottom - rect->top != height))
        window.Resize(rect->right - rect->left, rect->bottom - rect->top);
    if (!quiet)
        out << "editor " << width << "x" << height << " open (" << convention << "), playing "
            << (programme.audio.samples.empty() ? "generated audio" : a.Value("--wav")) << " and "
            << (programme.generatedMidi ? "generated MIDI" : a.Value("--midi")) << " for " << seconds << " s\n";

    std::atomic<bool> stop{false};
    std::atomic<int64_t> blocks{0};
    std::thread audio(PlayLoop, &host, &programme, &stop, &blocks);
    const auto start = Clock::now();
    int result = ExitOk;
    while (true) {
        const double now = std::chrono::duration<double>(Clock::now() - start).count();
        for (Timed& c : clicks) {
            if (c.done || now < c.at) continue;
            c.done = true;
            if (!Click(display, window.Id(), c.x, c.y)) {
                err << "vsthost: no XTest extension on this X server: cannot click\n";
                result = ExitFile;
            }
        }
        for (Timed& s : shots) {
            if (s.done || now < s.at) continue;
            s.done = true;
            SyncDisplay(display);
            if (Screenshot(display, window.Id(), s.path, error)) {
                if (!quiet) out << "screenshot " << s.path << " at " << s.at << " s\n";
            } else {
                err << "vsthost: " << error << "\n";
                result = ExitFile;
            }
        }
        if (now >= static_cast<double>(seconds)) {
            bool pending = false;
            for (const Timed& t : shots) pending = pending || !t.done;
            for (const Timed& t : clicks) pending = pending || !t.done;
            if (!pending) break;
        }
        if (convention == "forward")
            PumpEvents(display, 10, nullptr, nullptr, true);
        else if (convention == "idle")
            PumpEvents(display, 10, IdleEditor, &host, false);
        else
            PumpEvents(display, 10, nullptr, nullptr, false);
    }
    stop = true;
    audio.join();
    host.Dispatch(effEditClose);
    SyncDisplay(display);
    window.Destroy();
    host.Close();
    if (!quiet)
        out << blocks.load() << " blocks played; " << XSession::Errors() << " X errors"
            << (XSession::Errors() ? ": " + XSession::FirstError() : std::string()) << "\n";
    if (XSession::Errors() && result == ExitOk) result = ExitXErrors;
    return result;
}

}  // namespace vsthost
