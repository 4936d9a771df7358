// The indicator engine in-process, with a recording editor: the update
// requests it posts, the parameters, the activity answers and the programs.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "plugin/PluginDoubles.h"
#include "plugin/PluginTestSupport.h"

using bwtest::EnginePlugin;
using Requests = std::vector<long>;

namespace {

VstMidiEvent Midi(unsigned char status, unsigned char data1 = 0, unsigned char data2 = 0, int delta = 0)
{
    VstMidiEvent e{};
    e.type = kVstMidiType;
    e.byteSize = 24;
    e.deltaFrames = delta;
    e.midiData[0] = static_cast<char>(status);
    e.midiData[1] = static_cast<char>(data1);
    e.midiData[2] = static_cast<char>(data2);
    return e;
}

struct EventList {
    explicit EventList(std::vector<VstMidiEvent> e) : events(std::move(e)), storage(sizeof(VstEvents) + sizeof(VstEvent*) * events.size())
    {
        list = reinterpret_cast<VstEvents*>(storage.data());
        list->numEvents = static_cast<VstInt32>(events.size());
        for (size_t i = 0; i < events.size(); ++i) list->events[i] = reinterpret_cast<VstEvent*>(&events[i]);
    }
    std::vector<VstMidiEvent> events;
    std::vector<uint8_t> storage;
    VstEvents* list;
};

class Engine : public ::testing::Test {
protected:
    void SetUp() override
    {
        plugin.resume();
        plugin.SetEditorClosed(false);
        plugin.Editor().Take();
    }
    // One stereo block; returns the requests it posted.
    Requests Block(std::vector<float> left, std::vector<float> right = {}, bool accumulate = false)
    {
        if (right.empty()) right.assign(left.size(), 0.0f);
        outL.assign(left.size(), 0.0f);
        outR.assign(left.size(), 0.0f);
        float* in[2] = {left.data(), right.data()};
        float* out[2] = {outL.data(), outR.data()};
        if (accumulate)
            plugin.process(in, out, static_cast<VstInt32>(left.size()));
        else
            plugin.processReplacing(in, out, static_cast<VstInt32>(left.size()));
        return plugin.Editor().Take();
    }
    Requests MidiBlock(std::vector<VstMidiEvent> events)
    {
        EventList list(std::move(events));
        plugin.processEvents(list.list);
        return Block(std::vector<float>(8, 0.0f));
    }
    EnginePlugin plugin;
    std::vector<float> outL, outR;
};

}  // namespace

TEST_F(Engine, EveryBlockPostsMidiQuietThenTheAudioAnswer)
{
    EXPECT_EQ(Block(std::vector<float>(64, 0.0f)), (Requests{12, 14, 8}));
    std::vector<float> loud(64, 0.0f);
    loud[40] = 0.5f;
    EXPECT_EQ(Block(loud), (Requests{12, 14, 9}));
    EXPECT_EQ(Block({}), (Requests{12, 14, 8})) << "an empty block is quiet";
    std::vector<float> right(64, 0.0f);
    right[63] = 0.01f;
    EXPECT_EQ(Block(std::vector<float>(64, 0.0f), right), (Requests{12, 14, 9})) << "the right channel counts";
}

TEST_F(Engine, MonitoredMidiMakesTheBlockActive)
{
    EXPECT_EQ(MidiBlock({Midi(0x90, 60, 100)}), (Requests{12, 14, 13, 15, 8}));
    EXPECT_EQ(MidiBlock({Midi(0xF8), Midi(0xF2, 1, 2), Midi(0xFE)}), (Requests{12, 14, 12, 14, 8}))
        << "system messages pass but are not counted";
    for (unsigned status : {0x80u, 0xB5u, 0xA0u, 0xD1u, 0xC2u, 0xEFu})
        EXPECT_EQ(MidiBlock({Midi(status, 1, 1)}), (Requests{12, 14, 13, 15, 8})) << std::hex << status;
}

TEST_F(Engine, OnlyTheSelectedKindsCount)
{
    for (int kind = 1; kind <= 7; ++kind) plugin.setParameter(kind, 0.0f);
    plugin.setParameter(2, 1.0f);  // note off only
    plugin.Editor().Take();
    EXPECT_EQ(MidiBlock({Midi(0x90, 60, 100)}), (Requests{12, 14, 12, 14, 8})) << "note on is not selected";
    EXPECT_EQ(MidiBlock({Midi(0x93, 60, 0)}), (Requests{12, 14, 13, 15, 8})) << "velocity 0 is a note off";
    EXPECT_EQ(MidiBlock({Midi(0x93, 60, 0x80)}), (Requests{12, 14, 13, 15, 8})) << "velocity is 7 bits";
    EXPECT_EQ(MidiBlock({Midi(0xB0, 7, 1), Midi(0xE0, 0, 0)}), (Requests{12, 14, 12, 14, 8}));
    EXPECT_EQ(MidiBlock({Midi(0xB0, 7, 1), Midi(0x81, 0, 0)}), (Requests{12, 14, 13, 15, 8}));
}

TEST_F(Engine, EveryStatusVelocityAndKindSetGivesTheKindsAnswer)
{
    // The kind each status nibble 0x8 to 0xF stands for, 1 note on ... 7
    // pitch bend, 0 none; a note on with velocity 0 (in 7 bits) is a note off.
    const int kindOf[8] = {2, 1, 4, 3, 6, 5, 7, 0};
    std::vector<int> expected, actual;
    for (int kinds = 0; kinds < 128; ++kinds) {
        for (int k = 1; k <= 7; ++k) plugin.setParameter(k, (kinds >> (k - 1)) & 1 ? 1.0f : 0.0f);
        plugin.Editor().Take();
        for (unsigned status = 0x80; status <= 0xF0; status += 0x10)
            for (unsigned velocity : {0u, 1u, 0x7Fu, 0x80u}) {
                int kind = kindOf[(status >> 4) - 8];
                if (kind == 1 && (velocity & 0x7F) == 0) kind = 2;
                expected.push_back(kind != 0 && ((kinds >> (kind - 1)) & 1));
                const Requests r = MidiBlock({Midi(status | (kinds & 15), 60, velocity)});
                actual.push_back(r == Requests{12, 14, 13, 15, 8} ? 1 : r == Requests{12, 14, 12, 14, 8} ? 0 : -1);
            }
    }
    EXPECT_EQ(actual, expected);
}

TEST_F(Engine, NothingIsPostedWhileTheEditorIsClosed)
{
    plugin.SetEditorClosed(true);
    EXPECT_EQ(MidiBlock({Midi(0x90, 60, 100)}), Requests{});
    plugin.setParameter(0, 0.3f);
    plugin.setBypass(true);
    plugin.suspend();
    plugin.resume();
    plugin.setProgram(0);
    EXPECT_EQ(plugin.Editor().Take(), Requests{});
    EXPECT_FLOAT_EQ(plugin.getParameter(0), 0.3f) << "settings still change";
}

TEST_F(Engine, BypassTurnsEveryIndicatorOffAndKeepsProcessing)
{
    EXPECT_TRUE(plugin.setBypass(true));
    EXPECT_EQ(plugin.Editor().Take(), (Requests{8, 10, 12, 14}));
    EXPECT_TRUE(plugin.setBypass(false));
    EXPECT_EQ(plugin.Editor().Take(), (Requests{8, 10, 12, 14}));
    std::vector<float> loud(16, 0.25f);
    EXPECT_EQ(Block(loud), (Requests{12, 14, 9}));
    EXPECT_EQ(outL, loud);
}

TEST_F(Engine, FullRefreshAfterStateChanges)
{
    plugin.suspend();
    EXPECT_EQ(plugin.Editor().Take(), (Requests{-1}));
    std::vector<float> loud(16, 0.25f), out(16, -3.0f);
    float* in[2] = {loud.data(), loud.data()};
    float* outs[2] = {out.data(), out.data()};
    plugin.processReplacing(in, outs, 16);
    EXPECT_EQ(plugin.Editor().Take(), Requests{}) << "a suspended block posts nothing";
    EXPECT_EQ(out[0], -3.0f);
    plugin.resume();
    EXPECT_EQ(plugin.Editor().Take(), (Requests{-1}));
    plugin.setProgram(0);
    EXPECT_EQ(plugin.Editor().Take(), (Requests{-1}));
    plugin.setProgram(1);
    EXPECT_EQ(plugin.Editor().Take(), Requests{});
    char name[] = "Live";
    plugin.setProgramName(name);
    EXPECT_EQ(plugin.Editor().Take(), (Requests{-1}));
    void* chunk = nullptr;
    ASSERT_EQ(plugin.getChunk(&chunk, false), 56);
    std::vector<uint8_t> bytes(static_cast<uint8_t*>(chunk), static_cast<uint8_t*>(chunk) + 56);
    EXPECT_EQ(plugin.setChunk(bytes.data(), 56, true), 1);
    EXPECT_EQ(plugin.Editor().Take(), (Requests{-1}));
    EXPECT_EQ(plugin.setChunk(bytes.data(), 55, false), 0);
    EXPECT_EQ(plugin.Editor().Take(), Requests{}) << "a refused chunk changes nothing";
}

TEST_F(Engine, KeyModifiersOutsideAByteReachTheEditorAsNone)
{
    const auto modifierFor = [this](float opt) {
        plugin.Editor().lastKey = VstKeyCode{0, 0, 0x55};
        EXPECT_EQ(plugin.dispatcher(effEditKeyDown, 'k', 3, nullptr, opt), 1);
        EXPECT_EQ(plugin.Editor().lastKey.character, 'k');
        EXPECT_EQ(plugin.Editor().lastKey.virt, 3);
        return plugin.Editor().lastKey.modifier;
    };
    EXPECT_EQ(modifierFor(4.0f), 4);
    EXPECT_EQ(modifierFor(255.0f), 255);
    EXPECT_EQ(modifierFor(-1.0f), 0);
    EXPECT_EQ(modifierFor(256.0f), 0);
    EXPECT_EQ(modifierFor(1e9f), 0);
    EXPECT_EQ(modifierFor(std::nanf("")), 0);
}

TEST_F(Engine, ParameterWritesPostTheirIndexAndOnlyInRange)
{
    plugin.setParameter(0, 0.0f);
    EXPECT_EQ(plugin.getParameter(0), 0.0f);
    plugin.setParameter(0, 1.0f);
    EXPECT_FLOAT_EQ(plugin.getParameter(0), 1.0f);
    plugin.setParameter(0, 0.125f);  // -12.5 dB: the half rounds toward 0 dB
    EXPECT_FLOAT_EQ(plugin.getParameter(0), 0.12f);
    plugin.setParameter(0, 0.444f);
    EXPECT_FLOAT_EQ(plugin.getParameter(0), 0.44f);
    EXPECT_EQ(plugin.Editor().Take(), (Requests{0, 0, 0, 0}));

    for (float bad : {1.5f, -0.1f, std::nanf(""), -std::nanf(""), INFINITY}) {
        plugin.setParameter(0, bad);
        plugin.setParameter(3, bad);
        plugin.setParameter(9, bad);
    }
    EXPECT_EQ(plugin.Editor().Take(), Requests{});
    EXPECT_FLOAT_EQ(plugin.getParameter(0), 0.44f);
    EXPECT_EQ(plugin.getParameter(3), 1.0f);

    plugin.setParameter(3, 0.0f);
    EXPECT_EQ(plugin.getParameter(3), 0.0f);
    plugin.setParameter(3, 0.5f);
    EXPECT_EQ(plugin.getParameter(3), 1.0f);
    plugin.setParameter(3, 1e-11f);
    EXPECT_EQ(plugin.getParameter(3), 0.0f);
    plugin.setParameter(3, 1e-10f);
    EXPECT_EQ(plugin.getParameter(3), 1.0f);
    EXPECT_EQ(plugin.Editor().Take(), (Requests{3, 3, 3, 3}));
    for (int kind = 1; kind <= 7; ++kind)
        if (kind != 3) {
            EXPECT_EQ(plugin.getParameter(kind), 1.0f) << "other kinds untouched";
        }

    for (int index = 8; index <= 15; ++index) plugin.setParameter(index, 0.7f);
    plugin.setParameter(16, 0.5f);
    plugin.setParameter(-1, 0.5f);
    EXPECT_EQ(plugin.Editor().Take(), (Requests{8, 9, 10, 11, 12, 13, 14, 15}));
    EXPECT_EQ(plugin.getParameter(8), 0.0f);
    EXPECT_EQ(plugin.getParameter(16), 0.0f);
}

TEST_F(Engine, ThresholdComparesSignedSamplesStrictly)
{
    plugin.setParameter(0, 0.4f);  // -40 dB: 0.01
    plugin.Editor().Take();
    const float threshold = 0.01f;
    using Variant = quor::audio::analysis::SActivityBlockChecker<float>::Variant;
    for (Variant v : {Variant::Plain, Variant::SSE2, Variant::AVX, Variant::AVX512}) {
        plugin.Detector().SelectVariant(v);
        std::vector<float> block(37, 0.0f);
        block[36] = threshold;
        EXPECT_EQ(Block(block).back(), 8) << "equal to the threshold is not above it";
        block[36] = std::nextafter(threshold, 1.0f);
        EXPECT_EQ(Block(block).back(), 9);
        block[36] = 0.02f;
        EXPECT_EQ(Block(block).back(), 9);
        std::vector<float> negative(37, -0.9f);
        EXPECT_EQ(Block(negative, negative).back(), 8) << "only positive excursions count";
        std::vector<float> nan(37, std::nanf(""));
        EXPECT_EQ(Block(nan).back(), 8);
    }
    // The default -50 dB.
    plugin.setParameter(0, 0.5f);
    plugin.Editor().Take();
    std::vector<float> block(8, 0.0f);
    block[2] = 0.0032f;
    EXPECT_EQ(Block(block).back(), 9);
    block[2] = 0.0031f;
    EXPECT_EQ(Block(block).back(), 8);
}

TEST_F(Engine, BothLoopVariantsGiveTheSameBlocks)
{
    using Variant = quor::audio::analysis::SActivityBlockChecker<float>::Variant;
    std::vector<float> left(1031), right(1031);
    for (size_t i = 0; i < left.size(); ++i) {
        left[i] = std::sin(0.01f * i) * 0.002f;
        right[i] = std::cos(0.02f * i) * 0.001f;
    }
    std::vector<Requests> answers;
    std::vector<std::vector<float>> outputs;
    for (Variant v : {Variant::Plain, Variant::SSE2, Variant::AVX, Variant::AVX512}) {
        plugin.Detector().SelectVariant(v);
        answers.push_back(Block(left, right));
        outputs.push_back(outL);
        outputs.push_back(outR);
    }
    for (size_t v = 1; v < answers.size(); ++v) {
        EXPECT_EQ(answers[0], answers[v]);
        EXPECT_EQ(outputs[0], outputs[2 * v]);
        EXPECT_EQ(outputs[1], outputs[2 * v + 1]);
    }
    EXPECT_EQ(outputs[0], left);
}

TEST_F(Engine, InPlaceBlocksKeepTheirSamplesAndAnswerAsOutOfPlace)
{
    using Variant = quor::audio::analysis::SActivityBlockChecker<float>::Variant;
    std::vector<float> left(517), right(517);
    for (size_t i = 0; i < left.size(); ++i) {
        left[i] = std::sin(0.03f * i) * 0.002f;
        right[i] = -std::cos(0.05f * i) * 0.002f;
    }
    for (Variant v : {Variant::Plain, Variant::SSE2, Variant::AVX, Variant::AVX512}) {
        plugin.Detector().SelectVariant(v);
        for (float loud : {0.0f, 0.5f}) {
            std::vector<float> l = left, r = right;
            r[516] = loud;
            const Requests expected = Block(l, r);
            // Both channels in place, then only the right one.
            std::vector<float> ioL = l, ioR = r, outL2(l.size());
            float* both[2] = {ioL.data(), ioR.data()};
            plugin.processReplacing(both, both, static_cast<VstInt32>(l.size()));
            EXPECT_EQ(plugin.Editor().Take(), expected);
            EXPECT_EQ(ioL, l);
            EXPECT_EQ(ioR, r);
            float* in[2] = {l.data(), ioR.data()};
            float* out[2] = {outL2.data(), ioR.data()};
            plugin.processReplacing(in, out, static_cast<VstInt32>(l.size()));
            EXPECT_EQ(plugin.Editor().Take(), expected);
            EXPECT_EQ(outL2, l);
            EXPECT_EQ(ioR, r);
        }
    }
}

TEST_F(Engine, EventsArrivingWhileSuspendedAreMonitoredAfterResume)
{
    plugin.suspend();
    EventList list({Midi(0x90, 1, 1)});
    plugin.processEvents(list.list);
    std::vector<float> silent(4, 0.0f);
    float* io[2] = {silent.data(), silent.data()};
    plugin.processReplacing(io, io, 4);
    plugin.resume();
    plugin.Editor().Take();
    EXPECT_EQ(Block(silent), (Requests{12, 14, 13, 15, 8}));
}

TEST_F(Engine, ParameterWritesFromAnotherThreadDuringProcessing)
{
    std::thread writer([this] {
        for (int i = 0; i < 2000; ++i) {
            plugin.setParameter(0, (i % 101) / 100.0f);
            plugin.setParameter(1 + i % 7, static_cast<float>(i & 1));
        }
    });
    std::vector<float> block(64, 0.001f);
    for (int i = 0; i < 200; ++i) {
        EventList list({Midi(0x90, 1, 1)});
        plugin.processEvents(list.list);
        Block(block);
    }
    writer.join();
    const float threshold = plugin.getParameter(0);
    EXPECT_GE(threshold, 0.0f);
    EXPECT_LE(threshold, 1.0f);
}

TEST_F(Engine, ChunkLoadsFromAnotherThreadDuringProcessing)
{
    std::vector<uint8_t> chunk(56, 0);
    const int32_t threshold = -20, kinds = 1;
    memcpy(&chunk[48], &threshold, 4);
    memcpy(&chunk[52], &kinds, 4);
    std::thread loader([&] {
        for (int i = 0; i < 500; ++i) {
            EXPECT_EQ(plugin.setChunk(chunk.data(), 56, (i & 1) != 0), 1);
            plugin.setProgram(0);
        }
    });
    std::vector<float> block(64, 0.001f);
    for (int i = 0; i < 200; ++i) Block(block);
    loader.join();
    EXPECT_EQ(plugin.getProgram(), 0);
    EXPECT_FLOAT_EQ(plugin.getParameter(0), 0.2f);
    EXPECT_EQ(plugin.getParameter(1), 1.0f);
    EXPECT_EQ(plugin.getParameter(2), 0.0f);
}

TEST(EngineDirectory, DirectoryPartOfThePluginPath)
{
    EXPECT_STREQ(SPlugin::DirectoryOf("/usr/lib/vst/plugin.so").Text(), "/usr/lib/vst/");
    EXPECT_STREQ(SPlugin::DirectoryOf("C:\\vst\\plugin.dll").Text(), "C:\\vst\\");
    EXPECT_STREQ(SPlugin::DirectoryOf("/usr/lib/vst/").Text(), "/usr/lib/vst/");
    EXPECT_STREQ(SPlugin::DirectoryOf("/usr/lib.d/plugin").Text(), "/usr/lib.d/");
    EXPECT_STREQ(SPlugin::DirectoryOf("plugin.so").Text(), "");
    EXPECT_STREQ(SPlugin::DirectoryOf("").Text(), "");
    EXPECT_STREQ(SPlugin::DirectoryOf("/a").Text(), "/");
    std::string longName = "/dir/" + std::string(127, 'p') + ".so";
    EXPECT_STREQ(SPlugin::DirectoryOf(longName.c_str()).Text(), "/dir/");
    longName = "/dir/" + std::string(128, 'p') + ".so";
    EXPECT_STREQ(SPlugin::DirectoryOf(longName.c_str()).Text(), "");
    std::string deep = "/" + std::string(506, 'd') + "/x.so";  // 512 characters
    EXPECT_STREQ(SPlugin::DirectoryOf(deep.c_str()).Text(), "") << "beyond the work buffer: empty, no overflow";
    deep = "/" + std::string(505, 'd') + "/x.so";  // 511 characters
    EXPECT_EQ(std::string(SPlugin::DirectoryOf(deep.c_str()).Text()), deep.substr(0, 507));
}

namespace {

const char* hostPath = nullptr;

VstIntPtr PathHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (opcode == audioMasterGetDirectory) return reinterpret_cast<VstIntPtr>(hostPath);
    return opcode == audioMasterVersion ? 2400 : 0;
}

}  // namespace

TEST(EngineDirectory, FirstResumeKeepsTheNameAndDirectory)
{
    std::string longPath = "/" + std::string(700, 'l') + "/p.so";
    for (const char* path : {"/opt/vst/Blinkwatcher.so", longPath.c_str(), static_cast<const char*>(nullptr)}) {
        hostPath = path;
        EnginePlugin plugin(PathHost);
        EXPECT_EQ(plugin.EffectName(), nullptr);
        plugin.resume();
        ASSERT_NE(plugin.EffectName(), nullptr);
        EXPECT_STREQ(plugin.EffectName()->Text(), "Blinkwatcher");
        ASSERT_NE(plugin.PluginDirectory(), nullptr);
        EXPECT_STREQ(plugin.PluginDirectory()->Text(), path == longPath.c_str() || !path ? "" : "/opt/vst/");
    }
}

namespace {

// Writes a load result while it is constructed, as host recognition does.
class ReportingPlugin : public VSTPlugin {
public:
    ReportingPlugin(audioMasterCallback host, int& result) : VSTPlugin(host, result) { result = 3; }
};

}  // namespace

TEST(EngineDoubles, AResultWrittenDuringConstructionStays)
{
    bwtest::EnginePluginOf<ReportingPlugin> plugin;
    EXPECT_EQ(plugin.result, 3);
}
