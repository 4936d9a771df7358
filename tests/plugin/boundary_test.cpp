// The plug-in as a host sees it: loaded with dlopen through the project's
// host, driven only through its entry point and the AEffect record.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "plugin/PluginTestSupport.h"
#include "tools/vsthost/VstHost.h"  // before Xlib, whose macros clash with it

#include <X11/Xlib.h>

using bwtest::PluginPath;
using bwtest::StderrCapture;
using vsthost::Host;

namespace {

VstMidiEvent Midi(int delta, unsigned char status, unsigned char data1 = 0, unsigned char data2 = 0)
{
    VstMidiEvent e{};
    e.type = kVstMidiType;
    e.byteSize = sizeof(VstMidiEvent) - 8;
    e.deltaFrames = delta;
    e.midiData[0] = static_cast<char>(status);
    e.midiData[1] = static_cast<char>(data1);
    e.midiData[2] = static_cast<char>(data2);
    e.noteLength = 1000 + delta;  // must survive the trip unchanged
    return e;
}

struct Buffers {
    explicit Buffers(int frames) : data(4, std::vector<float>(frames)) {}
    float* in[2];
    float* out[2];
    std::vector<std::vector<float>> data;
    float** Inputs()
    {
        in[0] = data[0].data();
        in[1] = data[1].data();
        return in;
    }
    float** Outputs()
    {
        out[0] = data[2].data();
        out[1] = data[3].data();
        return out;
    }
};

// Any 32-bit pattern, NaNs with payloads and denormals included.
void FillBits(std::vector<float>& v, uint32_t seed)
{
    std::mt19937 random(seed);
    for (float& f : v) {
        uint32_t bits = random();
        memcpy(&f, &bits, sizeof bits);
    }
}

class Boundary : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.Load(PluginPath(), true)) << host.ErrorText();
        effect = host.Effect();
    }
    void Resume(int block = 512)
    {
        host.Start(44100.0f, block);
    }
    Host host;
    AEffect* effect = nullptr;
};

}  // namespace

TEST(BoundaryExports, OnlyTheTwoEntryNamesAreVisibleAndTheyAreOneFunction)
{
    void* module = dlopen(PluginPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    void* vstMain = dlsym(module, "VSTPluginMain");
    void* legacy = dlsym(module, "main");
    EXPECT_NE(vstMain, nullptr);
    EXPECT_EQ(vstMain, legacy);
    for (const char* hidden : {"dispatchEffectClass", "processClassReplacing", "PluginEntry", "sd"})
        EXPECT_EQ(dlsym(module, hidden), nullptr) << hidden;
    dlclose(module);
}

TEST_F(Boundary, RecordIdentity)
{
    EXPECT_EQ(effect->magic, VstFourCC('V', 's', 't', 'P'));
    EXPECT_EQ(effect->uniqueID, 0x426B7772);  // "Bkwr", first letter most significant
    EXPECT_EQ(effect->version, 1);
    EXPECT_EQ(effect->numPrograms, 1);
    EXPECT_EQ(effect->numParams, 0);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(effect->resvd2, 0);
    EXPECT_EQ(effect->processDoubleReplacing, nullptr);
    for (char c : effect->future) EXPECT_EQ(c, 0);
    // can mono, can replacing, programs are chunks; clip, VU and synth clear.
    // The has-editor bit follows whether an editor opens: 57 with one, 56 without.
    EXPECT_EQ(effect->flags & ~effFlagsHasEditor, 56);
    // A real window where there is a server: the editor opens in no other.
    Display* d = XOpenDisplay(nullptr);
    Window parent = d ? XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 100, 75, 0, 0, 0) : 0x400001;
    if (d) XSync(d, False);
    const bool editorOpens =
        host.Dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(d), reinterpret_cast<void*>(parent)) != 0;
    if (editorOpens) host.Dispatch(effEditClose);
    if (d) XCloseDisplay(d);
    EXPECT_EQ((effect->flags & effFlagsHasEditor) != 0, editorOpens);
}

TEST_F(Boundary, NamesVersionsAndIdentify)
{
    EXPECT_EQ(host.GetString(effGetEffectName), "Blinkwatcher");
    EXPECT_EQ(host.GetString(effGetProductString), "Blinkwatcher");
    EXPECT_FALSE(host.GetString(effGetVendorString).empty());
    EXPECT_EQ(host.Dispatch(effGetVendorVersion), 100);
    EXPECT_EQ(host.Dispatch(effGetVstVersion), 2300);
    EXPECT_EQ(host.Dispatch(effIdentify), VstFourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(host.Dispatch(effGetPlugCategory), 0);
    EXPECT_EQ(host.Dispatch(effGetInputProperties, 0), 0);
    EXPECT_EQ(host.Dispatch(effGetOutputProperties, 1), 0);
    EXPECT_EQ(host.GetString(effGetParamName, 3), "empty");
    EXPECT_EQ(host.GetString(effGetParamDisplay, 0), "");
    // The version request comes first, with no record.
    EXPECT_GE(host.Requests(audioMasterVersion), 1);
}

TEST_F(Boundary, CanDoIsExactAndNeverUnknown)
{
    for (const char* yes : {"sendVstMidiEvent", "sendVstEvents", "receiveVstEvents", "receiveVstMidiEvent",
                            "receiveVstTimeInfo"})
        EXPECT_EQ(host.CanDo(yes), 1) << yes;
    for (const char* no : {"receiveVstTimeinfo", "ReceiveVstTimeInfo", "", "bypass", "sendVstEvents "})
        EXPECT_EQ(host.CanDo(no), -1) << '"' << no << '"';
    EXPECT_EQ(host.Dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST_F(Boundary, EditorOpcodesWithoutAnEditorTouchNothing)
{
    ERect* rect = nullptr;
    EXPECT_NE(host.Dispatch(effEditGetRect, 0, 0, &rect), 0);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 75);
    EXPECT_EQ(rect->right, 100);
    EXPECT_EQ(host.Dispatch(effEditGetRect, 0, 0, nullptr), 0);
    EXPECT_EQ(host.Dispatch(effEditIdle), 0);
    EXPECT_EQ(host.Dispatch(effEditOpen, 0, 0, nullptr), 0);
    if (!(effect->flags & effFlagsHasEditor)) {
        int parent = 0;
        EXPECT_EQ(host.Dispatch(effEditOpen, 0, 0x1234, &parent), 0);
        EXPECT_EQ(host.Dispatch(effEditClose), 0);
    }
    EXPECT_EQ(rect->bottom, 75);
    EXPECT_EQ(rect->right, 100);
}

TEST_F(Boundary, ResumeAsksForMidiAndTheDirectory)
{
    EXPECT_EQ(host.Requests(audioMasterWantMidi), 0);
    Resume();
    EXPECT_EQ(host.Requests(audioMasterWantMidi), 1);
    EXPECT_EQ(host.Requests(audioMasterGetDirectory), 1);
    host.Stop();
    Resume();
    EXPECT_EQ(host.Requests(audioMasterWantMidi), 2);
    EXPECT_EQ(host.Requests(audioMasterGetDirectory), 1);  // kept from the first resume
}

TEST_F(Boundary, ReplacingPassThroughIsBitExact)
{
    Resume();
    for (int frames : {0, 1, 3, 7, 8, 64, 511, 4096}) {
        Buffers b(frames + 1);  // never empty, so memcmp gets real addresses
        FillBits(b.data[0], 1 + frames);
        FillBits(b.data[1], 2 + frames);
        FillBits(b.data[2], 3 + frames);
        host.ProcessReplacing(b.Inputs(), b.Outputs(), frames);
        EXPECT_EQ(memcmp(b.data[0].data(), b.data[2].data(), frames * sizeof(float)), 0) << frames;
        EXPECT_EQ(memcmp(b.data[1].data(), b.data[3].data(), frames * sizeof(float)), 0) << frames;
    }
    // In place, as many hosts call it.
    Buffers b(300);
    FillBits(b.data[0], 9);
    FillBits(b.data[1], 10);
    std::vector<float> left = b.data[0], right = b.data[1];
    float** io = b.Inputs();
    host.ProcessReplacing(io, io, 300);
    EXPECT_EQ(memcmp(left.data(), b.data[0].data(), 300 * sizeof(float)), 0);
    EXPECT_EQ(memcmp(right.data(), b.data[1].data(), 300 * sizeof(float)), 0);
}

TEST_F(Boundary, AccumulatingProcessAddsExactly)
{
    Resume();
    std::mt19937 random(5);
    std::uniform_real_distribution<float> sample(-2.0f, 2.0f);
    for (int frames : {1, 5, 8, 513}) {
        Buffers b(frames);
        for (auto& channel : b.data)
            for (float& s : channel) s = sample(random);
        std::vector<float> expected[2];
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < frames; ++i) {
                volatile float sum = b.data[2 + c][i] + b.data[c][i];
                expected[c].push_back(static_cast<float>(sum));
            }
        host.ProcessAccumulating(b.Inputs(), b.Outputs(), frames);
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(memcmp(expected[c].data(), b.data[2 + c].data(), frames * sizeof(float)), 0) << frames;
    }
}

TEST_F(Boundary, SuspendedBlocksLeaveOutputsAloneAndKeepTheirEvents)
{
    Buffers b(16);
    std::fill(b.data[0].begin(), b.data[0].end(), 0.5f);
    std::fill(b.data[2].begin(), b.data[2].end(), -7.0f);
    host.SendEvents({Midi(3, 0x90, 60, 100)});
    host.ProcessReplacing(b.Inputs(), b.Outputs(), 16);  // never resumed
    EXPECT_EQ(b.data[2][0], -7.0f);
    EXPECT_TRUE(host.Received().empty());
    Resume();
    host.ProcessReplacing(b.Inputs(), b.Outputs(), 16);
    EXPECT_EQ(b.data[2][0], 0.5f);
    ASSERT_EQ(host.Received().size(), 1u);
    EXPECT_EQ(host.Received()[0].midi.deltaFrames, 3);
}

TEST_F(Boundary, MidiThruKeepsOrderDeltasAndWholeRecords)
{
    Resume();
    std::vector<VstMidiEvent> events = {Midi(0, 0x90, 60, 100), Midi(5, 0xF8), Midi(5, 0xB3, 7, 90),
                                        Midi(17, 0x80, 60, 0), Midi(31, 0xF2, 1, 2), Midi(2, 0xE0, 0, 64)};
    events[2].detune = 12;
    events[2].noteOffVelocity = 33;
    VstMidiSysexEvent sysex{};
    sysex.type = kVstSysExType;
    sysex.byteSize = sizeof sysex - 8;
    sysex.deltaFrames = 9;
    char dump[] = {char(0xF0), 0x7E, 0x7F, 0x09, 0x01, char(0xF7)};
    sysex.dumpBytes = sizeof dump;
    sysex.sysexDump = dump;
    host.SendEvents(events, {sysex});
    Buffers b(64);
    host.ProcessReplacing(b.Inputs(), b.Outputs(), 64);
    // The host's list is ordered by delta; the plug-in keeps the delivery order.
    const auto& back = host.Received();
    ASSERT_EQ(back.size(), events.size()) << "system exclusive is not passed on";
    size_t delivered = 0;
    for (const auto& r : back) {
        EXPECT_EQ(r.block, 0);
        EXPECT_EQ(r.midi.type, kVstMidiType);
        EXPECT_EQ(r.midi.byteSize, 24);
        ++delivered;
    }
    EXPECT_EQ(delivered, events.size());
    std::vector<int> deltas;
    for (const auto& r : back) deltas.push_back(r.midi.deltaFrames);
    EXPECT_EQ(deltas, (std::vector<int>{0, 5, 5, 17, 31, 2}));
    EXPECT_EQ(static_cast<unsigned char>(back[1].midi.midiData[0]), 0xF8);
    EXPECT_EQ(static_cast<unsigned char>(back[4].midi.midiData[0]), 0xF2);
    EXPECT_EQ(memcmp(&back[2].midi, &events[2], sizeof(VstMidiEvent)), 0);
    // A block without events sends nothing back.
    host.ProcessReplacing(b.Inputs(), b.Outputs(), 64);
    EXPECT_EQ(host.Received().size(), events.size());
}

TEST_F(Boundary, ThreeHundredEventsBeforeOneBlockPassTheFirst256)
{
    Resume();
    std::vector<VstMidiEvent> events;
    for (int i = 0; i < 300; ++i) events.push_back(Midi(i, 0x90 | (i % 16), i % 128, 1 + i % 127));
    host.SendEvents(events);
    Buffers b(512);
    host.ProcessReplacing(b.Inputs(), b.Outputs(), 512);
    const auto& back = host.Received();
    ASSERT_EQ(back.size(), 256u);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(back[i].midi.deltaFrames, i);
    // The ring is free again for the next block.
    host.ClearReceived();
    host.SendEvents({Midi(1, 0x80, 1, 1)});
    host.ProcessReplacing(b.Inputs(), b.Outputs(), 512);
    ASSERT_EQ(host.Received().size(), 1u);
}

TEST_F(Boundary, AFullBlockAfterAFewEventsComesBackWholeAndInOrder)
{
    // The second block's records wrap around the end of the plug-in's rings.
    Resume();
    Buffers b(64);
    host.SendEvents({Midi(0, 0xB0, 1, 2), Midi(1, 0xB0, 3, 4), Midi(2, 0xF8)});
    host.ProcessReplacing(b.Inputs(), b.Outputs(), 64);
    host.ClearReceived();
    std::vector<VstMidiEvent> events;
    for (int i = 0; i < 256; ++i) events.push_back(Midi(i / 4, 0x80 | (i % 16), i % 128, i % 128));
    host.SendEvents(events);
    host.ProcessReplacing(b.Inputs(), b.Outputs(), 64);
    std::vector<VstMidiEvent> back;
    for (const auto& r : host.Received()) back.push_back(r.midi);
    ASSERT_EQ(back.size(), events.size());
    EXPECT_EQ(memcmp(back.data(), events.data(), sizeof(VstMidiEvent) * events.size()), 0);
}

TEST_F(Boundary, ChunkRoundTripAndFormat)
{
    std::vector<uint8_t> fresh = host.GetChunk(false);
    ASSERT_EQ(fresh.size(), 56u);
    EXPECT_EQ(host.GetChunk(true), fresh);
    EXPECT_STREQ(reinterpret_cast<const char*>(fresh.data()), "(default)");
    int32_t threshold, kinds;
    memcpy(&threshold, &fresh[48], 4);
    memcpy(&kinds, &fresh[52], 4);
    EXPECT_EQ(threshold, -50);
    EXPECT_EQ(kinds, 127);

    // Settings through the parameter calls show up in the chunk.
    effect->setParameter(effect, 0, 0.25f);
    effect->setParameter(effect, 3, 0.0f);
    std::vector<uint8_t> changed = host.GetChunk(false);
    memcpy(&threshold, &changed[48], 4);
    memcpy(&kinds, &changed[52], 4);
    EXPECT_EQ(threshold, -25);
    EXPECT_EQ(kinds, 127 & ~4);

    Host other;
    ASSERT_TRUE(other.Load(PluginPath())) << other.ErrorText();
    EXPECT_EQ(other.GetChunk(false), fresh) << "instances share no state";
    EXPECT_EQ(other.SetChunk(changed, false), 1);
    EXPECT_EQ(other.GetChunk(false), changed);
    EXPECT_EQ(other.Effect()->getParameter(other.Effect(), 0), 0.25f);
    EXPECT_EQ(other.Effect()->getParameter(other.Effect(), 3), 0.0f);
    EXPECT_EQ(other.SetChunk(fresh, true), 1);
    EXPECT_EQ(other.GetChunk(true), fresh);
}

TEST_F(Boundary, ShortChunksAreRefusedLongOnesTakenWithAMessage)
{
    std::vector<uint8_t> before = host.GetChunk(false);
    std::vector<uint8_t> chunk(60, 0xEE);
    memcpy(chunk.data(), "Newer\0", 6);
    const int32_t threshold = -12, kinds = 5;
    memcpy(&chunk[48], &threshold, 4);
    memcpy(&chunk[52], &kinds, 4);

    {
        StderrCapture capture;
        EXPECT_EQ(host.SetChunk(std::vector<uint8_t>(chunk.begin(), chunk.begin() + 55), false), 0);
        EXPECT_EQ(host.SetChunk({}, true), 0);
        EXPECT_EQ(capture.Text(), "");
    }
    EXPECT_EQ(host.GetChunk(false), before);

    StderrCapture bank;
    EXPECT_EQ(host.SetChunk(chunk, false), 1);
    EXPECT_EQ(bank.Text(), bwtest::InfoLine("Blinkwatcher", "Failed to load bank\n(Reason: Saved with newer version\n"
                                                            "This version = 1.00\nSome settings will be lost !)"));
    EXPECT_EQ(host.GetChunk(false), std::vector<uint8_t>(chunk.begin(), chunk.begin() + 56));
    StderrCapture program;
    EXPECT_EQ(host.SetChunk(chunk, true), 1);
    EXPECT_EQ(program.Text().rfind("Blinkwatcher: Failed to load program\\n(Reason: Saved with newer version", 0), 0u);
}

TEST_F(Boundary, ProgramNamesStayWithinTheirBuffers)
{
    char name[61];
    memset(name, 'n', 60);
    name[60] = 0;
    const std::string original = name;
    host.Dispatch(effSetProgramName, 0, 0, name);
    EXPECT_EQ(std::string(name), original) << "the host's text is not written";
    std::vector<uint8_t> chunk = host.GetChunk(false);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(chunk.data())), std::string(47, 'n'));

    char buffer[64];
    memset(buffer, 'x', sizeof buffer);
    host.Dispatch(effGetProgramName, 0, 0, buffer);
    EXPECT_EQ(std::string(buffer), std::string(23, 'n'));
    EXPECT_EQ(buffer[24], 'x') << "nothing beyond the interface's 24 bytes";
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(host.Dispatch(effGetProgramNameIndexed, 0, -1, buffer), 1);
    EXPECT_EQ(std::string(buffer), std::string(23, 'n'));
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(host.Dispatch(effGetProgramNameIndexed, 1, -1, buffer), 0);
    EXPECT_EQ(buffer[0], 'x');

    // A chunk whose name has no terminator is read within its 48 bytes.
    std::vector<uint8_t> unterminated(56, 'u');
    EXPECT_EQ(host.SetChunk(unterminated, false), 1);
    memset(buffer, 'x', sizeof buffer);
    host.Dispatch(effGetProgramName, 0, 0, buffer);
    EXPECT_EQ(std::string(buffer), std::string(23, 'u'));
}

TEST_F(Boundary, ParametersAreReachableButOnlyInRange)
{
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 0.5f);
    for (int i = 1; i <= 7; ++i) EXPECT_EQ(effect->getParameter(effect, i), 1.0f) << i;
    EXPECT_EQ(effect->getParameter(effect, 8), 0.0f);
    effect->setParameter(effect, 0, std::nanf(""));
    effect->setParameter(effect, 2, std::nanf(""));
    effect->setParameter(effect, 0, 1.5f);
    effect->setParameter(effect, 0, -0.1f);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 0.5f);
    EXPECT_EQ(effect->getParameter(effect, 2), 1.0f);
    effect->setParameter(effect, 0, 0.0f);
    EXPECT_EQ(effect->getParameter(effect, 0), 0.0f);
    effect->setParameter(effect, 0, 1.0f);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 1.0f);
    EXPECT_EQ(host.Dispatch(effSetBypass, 0, 1), 1);
    EXPECT_EQ(host.Dispatch(effSetBypass, 0, 0), 1);
}

TEST_F(Boundary, SetProgramOnlyTakesExistingPrograms)
{
    host.Dispatch(effSetProgram, 0, 1);
    host.Dispatch(effSetProgram, 0, -1);
    EXPECT_EQ(host.Dispatch(effGetProgram), 0);
    host.Dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(host.Dispatch(effGetProgram), 0);
}

TEST(BoundaryLoad, AHostWithoutAVersionGetsNullAndNoMessage)
{
    vsthost::HostIdentity id;
    id.masterVersion = 0;
    Host host(id);
    StderrCapture capture;
    EXPECT_FALSE(host.Load(PluginPath(), true));
    EXPECT_EQ(host.Error(), vsthost::LoadError::Refused);
    EXPECT_EQ(host.PluginMessage(), "");
    EXPECT_EQ(host.Requests(audioMasterVersion), 1);
    std::string rest = capture.Text();
    EXPECT_EQ(rest.find("Blinkwatcher:"), std::string::npos) << rest;
}

TEST(BoundaryLoad, CloseDeletesTheInstanceAndTheModuleUnloads)
{
    for (int round = 0; round < 3; ++round) {
        Host host;
        ASSERT_TRUE(host.Load(PluginPath())) << host.ErrorText();
        host.Start(48000.0f, 256);
        Buffers b(256);
        host.ProcessReplacing(b.Inputs(), b.Outputs(), 256);
        host.Stop();
        host.Close();
        EXPECT_FALSE(host.Loaded());
    }
}
