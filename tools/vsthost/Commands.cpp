#include "tools/vsthost/Commands.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "tools/vsthost/AudioFile.h"
#include "tools/vsthost/CommandLine.h"
#include "tools/vsthost/EditorCommand.h"
#include "tools/vsthost/MidiFile.h"
#include "tools/vsthost/Validate.h"
#include "tools/vsthost/VstHost.h"

namespace vsthost {

namespace {

const char* const ExitCodesHelp =
    "Exit codes: 0 success, 1 bad command line, 2 missing or unreadable input / unwritable output,\n"
    "            3 not a VST 2.x plug-in, 4 the plug-in refused to load, 5 wrong channel count,\n"
    "            6 the plug-in refused the chunk, 7 a check of validate failed, 8 no editor,\n"
    "            9 no X display, 10 the editor caused X errors.\n";

const char* const HostOptionsHelp =
    "Host options (how vsthost presents itself to the plug-in):\n"
    "  --host-product TEXT     product string (default \"vsthost\")\n"
    "  --host-vendor TEXT      vendor string (default \"Blinkwatcher project\")\n"
    "  --host-version N        vendor version (default 100)\n"
    "  --size-window yes|no|unknown   answer to canDo \"sizeWindow\" (default yes)\n"
    "  --vst-version N         answer to audioMasterVersion (default 2400; 0 = no version)\n";

const char* const MainHelp =
    "usage: vsthost COMMAND [ARGS]   (vsthost COMMAND --help for details)\n"
    "A VST 2.x host for Linux plug-ins.\n"
    "Commands:\n"
    "  info PLUGIN.so [--json]            identity, flags, capabilities, programs, chunk size\n"
    "  process PLUGIN.so --in IN.wav --out OUT.wav [...]   run audio and MIDI through the plug-in\n"
    "  chunk save|load PLUGIN.so FILE     store or restore the plug-in's state chunk\n"
    "  editor PLUGIN.so [...]             show the plug-in's editor while audio and MIDI play through it\n"
    "  validate PLUGIN.so [...]           a battery of checks for any VST 2.x plug-in (--list names them)\n"
    "  gen-wav OUT.wav                    write a stereo test signal (quiet parts and bursts)\n"
    "  gen-midi OUT.mid                   write a test MIDI file (notes, a CC, system messages)\n";

const char* const InfoHelp =
    "usage: vsthost info PLUGIN.so [--json] [host options]\n"
    "Loads the plug-in and prints its name, vendor, product, versions, unique ID, inputs and outputs,\n"
    "flags, canDo answers, program names, chunk sizes and editor size. --json prints one JSON object.\n";

const char* const ProcessHelp =
    "usage: vsthost process PLUGIN.so --in IN.wav --out OUT.wav [--midi IN.mid] [--midi-out OUT.txt]\n"
    "                       [--block N] [--chunk STATE.bin] [--accumulate] [host options]\n"
    "Runs IN.wav (as many channels as the plug-in has inputs) block by block through the plug-in and\n"
    "writes its outputs to OUT.wav (32-bit float). MIDI events of IN.mid are delivered before the block\n"
    "they fall in, with their sample offset as delta frames; system exclusive messages go as sysex\n"
    "events. --midi-out writes the events the plug-in sent back, one per line: frame, delta frames,\n"
    "bytes in hex. --block sets the block size (default 512, 1 to 65536). --chunk restores a bank chunk\n"
    "first. --accumulate uses the accumulating process call onto silent outputs.\n";

const char* const ChunkHelp =
    "usage: vsthost chunk save PLUGIN.so FILE [--program] [host options]\n"
    "       vsthost chunk load PLUGIN.so FILE [--program] [host options]\n"
    "save writes the plug-in's bank chunk (program chunk with --program) of a fresh instance to FILE;\n"
    "load hands FILE to the plug-in and reports whether it took it, then prints the chunk it holds.\n";

const char* const GenWavHelp =
    "usage: vsthost gen-wav OUT.wav [--seconds S] [--rate R]\n"
    "Writes a stereo 32-bit float WAV: a 440/660 Hz tone at -70 dB with bursts at -20 dB\n"
    "(the second quarter of every second). Defaults: 2 seconds at 44100 Hz.\n";

const char* const GenMidiHelp =
    "usage: vsthost gen-midi OUT.mid\n"
    "Writes a one-track MIDI file at 120 bpm: two notes (one ended by a note on with velocity 0),\n"
    "a control change, a pitch bend, a MIDI clock tick and song position (system messages), and\n"
    "a system exclusive message.\n";

std::string FourCC(int32_t id)
{
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = static_cast<char>((static_cast<uint32_t>(id) >> shift) & 0xFF);
        s += (c >= 32 && c < 127) ? c : '?';
    }
    return s;
}

std::string JsonString(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buffer[8];
            snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Hex(const uint8_t* bytes, size_t n)
{
    std::string s;
    char buffer[4];
    for (size_t i = 0; i < n; ++i) {
        snprintf(buffer, sizeof buffer, i ? " %02x" : "%02x", bytes[i]);
        s += buffer;
    }
    return s;
}

const char* const CanDoQueries[] = {"sendVstEvents",    "sendVstMidiEvent", "receiveVstEvents",
                                    "receiveVstMidiEvent", "receiveVstTimeInfo", "offline",
                                    "midiProgramNames", "bypass"};

const struct {
    int32_t bit;
    const char* name;
} FlagNames[] = {{effFlagsHasEditor, "hasEditor"},         {effFlagsHasClip, "hasClip"},
                 {effFlagsHasVu, "hasVu"},                 {effFlagsCanMono, "canMono"},
                 {effFlagsCanReplacing, "canReplacing"},   {effFlagsProgramChunks, "programChunks"},
                 {effFlagsIsSynth, "isSynth"},             {effFlagsNoSoundInStop, "noSoundInStop"},
                 {effFlagsExtIsAsync, "extIsAsync"},       {effFlagsExtHasBuffer, "extHasBuffer"},
                 {effFlagsCanDoubleReplacing, "canDoubleReplacing"}};

int Info(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    Arguments a = Parse(args, 1, {}, {"--json"});
    if (a.help) {
        out << InfoHelp << HostOptionsHelp << ExitCodesHelp;
        return ExitOk;
    }
    if (!a.error.empty()) return Usage(err, a.error, InfoHelp);
    if (a.positional.size() != 1) return Usage(err, "info takes one plug-in", InfoHelp);
    HostIdentity id;
    std::string problem;
    if (!HostIdentityFrom(a, id, problem)) return Usage(err, problem, HostOptionsHelp);
    Host host(id);
    int code = LoadPlugin(host, a.positional[0], err);
    if (code != ExitOk) return code;

    AEffect* e = host.Effect();
    const std::string name = host.GetString(effGetEffectName);
    const std::string vendor = host.GetString(effGetVendorString);
    const std::string product = host.GetString(effGetProductString);
    const VstIntPtr vendorVersion = host.Dispatch(effGetVendorVersion);
    const VstIntPtr vstVersion = host.Dispatch(effGetVstVersion);
    const VstIntPtr category = host.Dispatch(effGetPlugCategory);
    const VstIntPtr identify = host.Dispatch(effIdentify);
    std::vector<std::string> flagNames;
    for (const auto& f : FlagNames)
        if (e->flags & f.bit) flagNames.push_back(f.name);
    std::vector<std::pair<std::string, VstIntPtr>> canDo;
    for (const char* q : CanDoQueries) canDo.emplace_back(q, host.CanDo(q));
    std::vector<std::string> programs;
    for (int32_t i = 0; i < e->numPrograms && i < 1024; ++i) {
        char buffer[256] = {};
        if (!host.Dispatch(effGetProgramNameIndexed, i, -1, buffer)) {
            if (i == host.Dispatch(effGetProgram)) host.Dispatch(effGetProgramName, 0, 0, buffer);
        }
        buffer[sizeof buffer - 1] = 0;
        programs.push_back(buffer);
    }
    size_t bankChunk = 0, programChunk = 0;
    if (e->flags & effFlagsProgramChunks) {
        bankChunk = host.GetChunk(false).size();
        programChunk = host.GetChunk(true).size();
    }
    ERect* rect = nullptr;
    host.Dispatch(effEditGetRect, 0, 0, &rect);
    int width = rect ? rect->right - rect->left : 0, height = rect ? rect->bottom - rect->top : 0;

    auto canDoText = [](VstIntPtr v) { return v > 0 ? "yes" : v < 0 ? "no" : "unknown"; };
    if (a.Has("--json")) {
        out << "{\"file\": " << JsonString(host.Path()) << ", \"name\": " << JsonString(name)
            << ", \"vendor\": " << JsonString(vendor) << ", \"product\": " << JsonString(product)
            << ", \"vendorVersion\": " << vendorVersion << ", \"version\": " << e->version
            << ", \"uniqueID\": " << JsonString(FourCC(e->uniqueID)) << ", \"uniqueIDValue\": " << e->uniqueID
            << ", \"vstVersion\": " << vstVersion << ", \"category\": " << category
            << ", \"identify\": " << JsonString(FourCC(static_cast<int32_t>(identify)))
            << ", \"inputs\": " << e->numInputs << ", \"outputs\": " << e->numOutputs
            << ", \"parameters\": " << e->numParams << ", \"initialDelay\": " << e->initialDelay
            << ", \"flags\": " << e->flags << ", \"flagNames\": [";
        for (size_t i = 0; i < flagNames.size(); ++i) out << (i ? ", " : "") << JsonString(flagNames[i]);
        out << "], \"canDo\": {";
        for (size_t i = 0; i < canDo.size(); ++i) out << (i ? ", " : "") << JsonString(canDo[i].first) << ": " << canDo[i].second;
        out << "}, \"programs\": [";
        for (size_t i = 0; i < programs.size(); ++i) out << (i ? ", " : "") << JsonString(programs[i]);
        out << "], \"bankChunkSize\": " << bankChunk << ", \"programChunkSize\": " << programChunk
            << ", \"editorWidth\": " << width << ", \"editorHeight\": " << height << "}\n";
    } else {
        char version[32];
        snprintf(version, sizeof version, "%ld (%.2f)", static_cast<long>(vendorVersion), vendorVersion * 0.01);
        out << "file:            " << host.Path() << "\n"
            << "name:            " << name << "\n"
            << "vendor:          " << vendor << "\n"
            << "product:         " << product << "\n"
            << "vendor version:  " << version << "\n"
            << "version:         " << e->version << "\n"
            << "unique ID:       " << FourCC(e->uniqueID) << " (" << e->uniqueID << ")\n"
            << "VST version:     " << vstVersion << "\n"
            << "category:        " << category << "\n"
            << "identify:        " << FourCC(static_cast<int32_t>(identify)) << "\n"
            << "inputs/outputs:  " << e->numInputs << "/" << e->numOutputs << "\n"
            << "parameters:      " << e->numParams << "\n"
            << "initial delay:   " << e->initialDelay << "\n"
            << "flags:           " << e->flags << " (";
        for (size_t i = 0; i < flagNames.size(); ++i) out << (i ? " " : "") << flagNames[i];
        out << ")\n";
        for (const auto& c : canDo)
            out << "canDo " << c.first << ": " << std::string(c.first.size() < 20 ? 20 - c.first.size() : 0, ' ')
                << canDoText(c.second) << " (" << c.second << ")\n";
        out << "programs:        " << programs.size() << "\n";
        for (size_t i = 0; i < programs.size(); ++i) out << "  " << i << ": \"" << programs[i] << "\"\n";
        out << "chunk size:      bank " << bankChunk << ", program " << programChunk << "\n"
            << "editor size:     " << width << "x" << height << "\n";
    }
    host.Close();
    return ExitOk;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool FileExists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

struct ScheduledEvent {
    int64_t frame;
    std::vector<uint8_t> bytes;
    bool sysex;
};

int Process(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    Arguments a = Parse(args, 1, {"--in", "--out", "--midi", "--midi-out", "--block", "--chunk"}, {"--accumulate"});
    if (a.help) {
        out << ProcessHelp << HostOptionsHelp << ExitCodesHelp;
        return ExitOk;
    }
    if (!a.error.empty()) return Usage(err, a.error, ProcessHelp);
    if (a.positional.size() != 1) return Usage(err, "process takes one plug-in", ProcessHelp);
    const std::string inPath = a.Value("--in"), outPath = a.Value("--out");
    if (inPath.empty() || outPath.empty()) return Usage(err, "process needs --in and --out", ProcessHelp);
    long long blockSize = 512;
    if (a.values.count("--block") && !ParseInt(a.Value("--block"), 1, 65536, blockSize))
        return Usage(err, "--block takes a number from 1 to 65536", ProcessHelp);
    HostIdentity id;
    std::string problem;
    if (!HostIdentityFrom(a, id, problem)) return Usage(err, problem, HostOptionsHelp);
    const bool accumulate = a.Has("--accumulate");

    for (const char* key : {"--in", "--midi", "--chunk"}) {
        const std::string p = a.Value(key);
        if (!p.empty() && !FileExists(p)) {
            err << "vsthost: " << p << ": no such file\n";
            return ExitFile;
        }
    }

    SF_INFO inInfo{};
    SNDFILE* inFile = sf_open(inPath.c_str(), SFM_READ, &inInfo);
    if (!inFile) {
        err << "vsthost: " << inPath << ": cannot read audio (" << sf_strerror(nullptr) << ")\n";
        return ExitFile;
    }
    struct Closer {
        SNDFILE*& f;
        ~Closer()
        {
            if (f) sf_close(f);
        }
    } closeIn{inFile};

    std::vector<ScheduledEvent> schedule;
    if (!a.Value("--midi").empty()) {
        std::vector<TimedMessage> messages;
        std::string error;
        if (!ReadMidiFile(a.Value("--midi"), messages, error)) {
            err << "vsthost: " << error << "\n";
            return ExitFile;
        }
        for (TimedMessage& m : messages)
            schedule.push_back(ScheduledEvent{static_cast<int64_t>(std::llround(m.seconds * inInfo.samplerate)),
                                              std::move(m.bytes), m.sysex});
    }
    std::vector<uint8_t> chunk;
    if (!a.Value("--chunk").empty() && !ReadFileBytes(a.Value("--chunk"), chunk)) {
        err << "vsthost: " << a.Value("--chunk") << ": cannot read\n";
        return ExitFile;
    }

    Host host(id);
    int code = LoadPlugin(host, a.positional[0], err);
    if (code != ExitOk) return code;
    AEffect* e = host.Effect();
    if (inInfo.channels != e->numInputs) {
        err << "vsthost: " << inPath << " has " << inInfo.channels << " channel(s); the plug-in takes "
            << e->numInputs << " input(s)\n";
        return ExitChannels;
    }
    if (e->numOutputs < 1 || e->numOutputs > 1024) {
        err << "vsthost: the plug-in announces " << e->numOutputs << " outputs\n";
        return ExitChannels;
    }
    if (!chunk.empty() || !a.Value("--chunk").empty()) {
        if (host.SetChunk(chunk, false) != 1) {
            err << "vsthost: the plug-in refused the chunk " << a.Value("--chunk") << " (" << chunk.size()
                << " bytes)\n";
            return ExitChunkRefused;
        }
    }

    SF_INFO outInfo{};
    outInfo.channels = e->numOutputs;
    outInfo.samplerate = inInfo.samplerate;
    outInfo.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* outFile = sf_open(outPath.c_str(), SFM_WRITE, &outInfo);
    if (!outFile) {
        err << "vsthost: " << outPath << ": cannot write (" << sf_strerror(nullptr) << ")\n";
        return ExitFile;
    }
    Closer closeOut{outFile};

    const int ins = e->numInputs, outs = e->numOutputs;
    const int32_t n = static_cast<int32_t>(blockSize);
    std::vector<float> interleavedIn(static_cast<size_t>(n) * ins), interleavedOut(static_cast<size_t>(n) * outs);
    std::vector<std::vector<float>> inBuffers(ins, std::vector<float>(n)), outBuffers(outs, std::vector<float>(n));
    std::vector<float*> inPointers(ins), outPointers(outs);
    for (int c = 0; c < ins; ++c) inPointers[c] = inBuffers[c].data();
    for (int c = 0; c < outs; ++c) outPointers[c] = outBuffers[c].data();

    host.Start(static_cast<float>(inInfo.samplerate), n);
    const bool replacing = !accumulate && (e->flags & effFlagsCanReplacing);
    const int64_t lastEvent = schedule.empty() ? -1 : schedule.back().frame;
    int64_t position = 0, frames = 0, blocks = 0, sent = 0, sentSysex = 0;
    bool identical = ins == outs, inputDone = false;
    size_t next = 0;
    std::vector<uint8_t> sysexBytes;  // keeps sysex data alive for one block
    while (true) {
        int32_t got = 0;
        if (!inputDone) {
            got = static_cast<int32_t>(sf_readf_float(inFile, interleavedIn.data(), n));
            if (got < n) inputDone = true;
        }
        // Past the audio's end, silent blocks carry the remaining MIDI events.
        if (got == 0) {
            if (next >= schedule.size()) break;
            got = static_cast<int32_t>(std::min<int64_t>(n, lastEvent - position + 1));
            std::fill(interleavedIn.begin(), interleavedIn.end(), 0.0f);
        }
        for (int32_t i = 0; i < got; ++i)
            for (int c = 0; c < ins; ++c) inBuffers[c][i] = interleavedIn[static_cast<size_t>(i) * ins + c];
        for (int c = 0; c < outs; ++c) std::fill(outBuffers[c].begin(), outBuffers[c].end(), 0.0f);

        std::vector<VstMidiEvent> midi;
        std::vector<VstMidiSysexEvent> sysex;
        std::vector<std::vector<uint8_t>> sysexData;
        while (next < schedule.size() && schedule[next].frame < position + got) {
            ScheduledEvent& s = schedule[next++];
            const int32_t delta = static_cast<int32_t>(std::max<int64_t>(0, s.frame - position));
            if (s.sysex) {
                sysexData.push_back(s.bytes);
            } else {
                VstMidiEvent m{};
                m.type = kVstMidiType;
                m.byteSize = sizeof(VstMidiEvent) - 2 * sizeof(VstInt32);
                m.deltaFrames = delta;
                for (size_t b = 0; b < s.bytes.size() && b < 3; ++b) m.midiData[b] = static_cast<char>(s.bytes[b]);
                midi.push_back(m);
            }
            if (s.sysex) {
                VstMidiSysexEvent x{};
                x.type = kVstSysExType;
                x.byteSize = sizeof(VstMidiSysexEvent) - 2 * sizeof(VstInt32);
                x.deltaFrames = delta;
                sysex.push_back(x);
            }
        }
        for (size_t i = 0; i < sysex.size(); ++i) {
            sysex[i].dumpBytes = static_cast<VstInt32>(sysexData[i].size());
            sysex[i].sysexDump = reinterpret_cast<char*>(sysexData[i].data());
        }
        if (!midi.empty() || !sysex.empty()) {
            host.SendEvents(midi, sysex);
            sent += static_cast<int64_t>(midi.size());
            sentSysex += static_cast<int64_t>(sysex.size());
        }
        if (replacing)
            host.ProcessReplacing(inPointers.data(), outPointers.data(), got);
        else
            host.ProcessAccumulating(inPointers.data(), outPointers.data(), got);

        for (int32_t i = 0; i < got; ++i)
            for (int c = 0; c < outs; ++c) interleavedOut[static_cast<size_t>(i) * outs + c] = outBuffers[c][i];
        if (identical)
            for (int c = 0; c < outs && identical; ++c)
                identical = memcmp(inBuffers[c].data(), outBuffers[c].data(), sizeof(float) * got) == 0;
        if (sf_writef_float(outFile, interleavedOut.data(), got) != got) {
            err << "vsthost: " << outPath << ": write failed\n";
            return ExitFile;
        }
        position += got;
        frames += got;
        ++blocks;
    }
    host.Stop();

    const std::vector<ReceivedEvent>& back = host.Received();
    if (!a.Value("--midi-out").empty()) {
        std::ofstream text(a.Value("--midi-out"));
        if (!text) {
            err << "vsthost: " << a.Value("--midi-out") << ": cannot write\n";
            return ExitFile;
        }
        text << "# frame delta bytes (events the plug-in sent back)\n";
        for (const ReceivedEvent& r : back) {
            if (r.midi.type != kVstMidiType) {
                text << r.frame << " " << r.midi.deltaFrames << " (event type " << r.midi.type << ")\n";
                continue;
            }
            const uint8_t* bytes = reinterpret_cast<const uint8_t*>(r.midi.midiData);
            const unsigned status = bytes[0];
            size_t length = 3;
            if ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 || status == 0xF1 || status == 0xF3)
                length = 2;
            else if (status >= 0xF4 || status == 0xF0)
                length = 1;
            text << r.frame << " " << r.midi.deltaFrames << " " << Hex(bytes, length) << "\n";
        }
    }
    out << "plug-in:         " << host.GetString(effGetEffectName) << " (" << host.Path() << ")\n"
        << "audio:           " << frames << " frames, " << ins << " in / " << outs << " out, " << inInfo.samplerate
        << " Hz, " << blocks << " blocks of up to " << n << " (" << (replacing ? "processReplacing" : "process")
        << ")\n"
        << "MIDI sent:       " << sent << " events" << (sentSysex ? ", " + std::to_string(sentSysex) + " sysex" : "")
        << "\n"
        << "MIDI back:       " << back.size() << " events\n";
    if (ins == outs) out << "output = input:  " << (identical ? "yes, bit for bit" : "no") << "\n";
    host.Close();
    return ExitOk;
}

int Chunk(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    Arguments a = Parse(args, 1, {}, {"--program"});
    if (a.help) {
        out << ChunkHelp << HostOptionsHelp << ExitCodesHelp;
        return ExitOk;
    }
    if (!a.error.empty()) return Usage(err, a.error, ChunkHelp);
    if (a.positional.size() != 3 || (a.positional[0] != "save" && a.positional[0] != "load"))
        return Usage(err, "chunk takes save or load, a plug-in and a file", ChunkHelp);
    HostIdentity id;
    std::string problem;
    if (!HostIdentityFrom(a, id, problem)) return Usage(err, problem, HostOptionsHelp);
    const bool preset = a.Has("--program");
    const std::string& file = a.positional[2];
    std::vector<uint8_t> bytes;
    if (a.positional[0] == "load") {
        if (!FileExists(file)) {
            err << "vsthost: " << file << ": no such file\n";
            return ExitFile;
        }
        if (!ReadFileBytes(file, bytes)) {
            err << "vsthost: " << file << ": cannot read\n";
            return ExitFile;
        }
    }
    Host host(id);
    int code = LoadPlugin(host, a.positional[1], err);
    if (code != ExitOk) return code;
    if (!(host.Effect()->flags & effFlagsProgramChunks)) {
        err << "vsthost: the plug-in does not keep its programs as chunks\n";
        return ExitChunkRefused;
    }
    if (a.positional[0] == "save") {
        bytes = host.GetChunk(preset);
        std::ofstream o(file, std::ios::binary);
        if (!o || !o.write(reinterpret_cast<const char*>(bytes.data()), bytes.size())) {
            err << "vsthost: " << file << ": cannot write\n";
            return ExitFile;
        }
        out << "saved " << bytes.size() << " bytes (" << (preset ? "program" : "bank") << " chunk) to " << file << "\n";
    } else {
        if (host.SetChunk(bytes, preset) != 1) {
            err << "vsthost: the plug-in refused " << file << " (" << bytes.size() << " bytes)\n";
            return ExitChunkRefused;
        }
        std::vector<uint8_t> now = host.GetChunk(preset);
        out << "loaded " << bytes.size() << " bytes (" << (preset ? "program" : "bank") << " chunk) from " << file
            << "\nthe plug-in now holds " << now.size() << " bytes: " << Hex(now.data(), now.size()) << "\n";
    }
    host.Close();
    return ExitOk;
}

int GenWav(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    Arguments a = Parse(args, 1, {"--seconds", "--rate"}, {});
    if (a.help) {
        out << GenWavHelp << ExitCodesHelp;
        return ExitOk;
    }
    if (!a.error.empty()) return Usage(err, a.error, GenWavHelp);
    if (a.positional.size() != 1) return Usage(err, "gen-wav takes one output file", GenWavHelp);
    long long seconds = 2, rate = 44100;
    if (a.values.count("--seconds") && !ParseInt(a.Value("--seconds"), 1, 600, seconds))
        return Usage(err, "--seconds takes 1 to 600", GenWavHelp);
    if (a.values.count("--rate") && !ParseInt(a.Value("--rate"), 8000, 192000, rate))
        return Usage(err, "--rate takes 8000 to 192000", GenWavHelp);
    AudioData audio;
    audio.channels = 2;
    audio.sampleRate = static_cast<int>(rate);
    const int64_t frames = seconds * rate;
    audio.samples.resize(static_cast<size_t>(frames) * 2);
    const double quiet = std::pow(10.0, -70.0 / 20.0), loud = std::pow(10.0, -20.0 / 20.0);
    for (int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double phase = t - std::floor(t);
        const double gain = phase >= 0.25 && phase < 0.5 ? loud : quiet;
        audio.samples[2 * i] = static_cast<float>(gain * std::sin(2.0 * M_PI * 440.0 * t));
        audio.samples[2 * i + 1] = static_cast<float>(gain * std::sin(2.0 * M_PI * 660.0 * t));
    }
    std::string error;
    if (!WriteWav(a.positional[0], audio, error)) {
        err << "vsthost: " << error << "\n";
        return ExitFile;
    }
    out << "wrote " << a.positional[0] << ": " << frames << " frames, 2 channels, " << rate
        << " Hz; -70 dB tone with -20 dB bursts at 0.25-0.5 s of every second\n";
    return ExitOk;
}

int GenMidi(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    Arguments a = Parse(args, 1, {}, {});
    if (a.help) {
        out << GenMidiHelp << ExitCodesHelp;
        return ExitOk;
    }
    if (!a.error.empty()) return Usage(err, a.error, GenMidiHelp);
    if (a.positional.size() != 1) return Usage(err, "gen-midi takes one output file", GenMidiHelp);
    // 480 ticks per quarter at 120 bpm: 960 ticks per second.
    std::vector<SmfEvent> track = {
        {0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}},          // tempo 500000 us per quarter
        {96, {0x90, 60, 100}},                             // 0.1 s note on C4
        {288, {0x80, 60, 64}},                             // 0.3 s note off
        {384, {0x91, 64, 90}},                             // 0.4 s note on E4, channel 2
        {480, {0xB0, 7, 100}},                             // 0.5 s control change: volume
        {576, {0x91, 64, 0}},                              // 0.6 s note on velocity 0 (a note off)
        {672, {0xE0, 0x00, 0x50}},                         // 0.7 s pitch bend
        {768, {0xF7, 0x01, 0xF8}},                         // 0.8 s MIDI clock (system real time)
        {816, {0xF7, 0x03, 0xF2, 0x10, 0x00}},             // 0.85 s song position (system common)
        {864, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}}, // 0.9 s system exclusive: GM on
    };
    std::string error;
    if (!WriteMidiFile(a.positional[0], 480, {track}, error)) {
        err << "vsthost: " << error << "\n";
        return ExitFile;
    }
    out << "wrote " << a.positional[0]
        << ": note on/off, note on with velocity 0, control change, pitch bend, clock, song position, sysex\n";
    return ExitOk;
}

}  // namespace

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.empty()) {
        err << MainHelp << ExitCodesHelp;
        return ExitUsage;
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        out << MainHelp << ExitCodesHelp;
        return ExitOk;
    }
    if (command == "info") return Info(args, out, err);
    if (command == "process") return Process(args, out, err);
    if (command == "chunk") return Chunk(args, out, err);
    if (command == "validate") return Validate(args, out, err);
    if (command == "editor") return Editor(args, out, err);
    if (command == "gen-wav") return GenWav(args, out, err);
    if (command == "gen-midi") return GenMidi(args, out, err);
    err << "vsthost: unknown command " << command << "\n" << MainHelp;
    return ExitUsage;
}

}  // namespace vsthost
