// The LV2 edition through lilv, as hosts load it: the bundle's data, then the
// DSP object instantiated, connected and run at 0, 1 and 4096 frames. Audio
// must come out bit-exact (also in place), MIDI atoms in order with their
// frames, the activity outputs right and held. No X server is needed, and no
// X library may come into the process with the plug-in.

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <link.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "plugin/lv2/Lv2Support.h"

using bwtest::AtomEvent;
using bwtest::Sequence;

namespace {

const char* const PluginUri = "https://quor.audio/lv2/blinkwatcher";
constexpr double Rate = 48000.0;
enum { InL, InR, OutL, OutR, MidiIn, MidiOut, Threshold, NoteOnKind, PitchBendKind = NoteOnKind + 6, AudioAct, MidiAct };

std::string BundleDir()
{
    const char* dir = getenv("BW_BINARY_DIR");
    return std::string(dir ? dir : ".") + "/Blinkwatcher.lv2/";
}

int LoadedXLibraries(dl_phdr_info* info, size_t, void* count)
{
    if (info->dlpi_name && strstr(info->dlpi_name, "libX")) ++*static_cast<int*>(count);
    return 0;
}

class Lv2World : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        world = lilv_world_new();
        LilvNode* bundle = lilv_new_file_uri(world, nullptr, BundleDir().c_str());
        lilv_world_load_bundle(world, bundle);
        lilv_node_free(bundle);
        LilvNode* uri = lilv_new_uri(world, PluginUri);
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        lilv_node_free(uri);
    }
    static void TearDownTestSuite()
    {
        lilv_world_free(world);
        world = nullptr;
        plugin = nullptr;
    }
    static LilvWorld* world;
    static const LilvPlugin* plugin;
};
LilvWorld* Lv2World::world = nullptr;
const LilvPlugin* Lv2World::plugin = nullptr;

// One instance with every port connected to buffers of 4096 frames.
class Lv2Run : public Lv2World {
protected:
    static constexpr uint32_t MaxFrames = 4096;

    void SetUp() override
    {
        ASSERT_NE(plugin, nullptr);
        sequenceType = urids.Id(LV2_ATOM__Sequence);
        midiType = urids.Id(LV2_MIDI__MidiEvent);
        const LV2_Feature* features[] = {urids.Feature(), nullptr};
        instance = lilv_plugin_instantiate(plugin, Rate, features);
        ASSERT_NE(instance, nullptr);
        for (auto* b : {&inL, &inR, &outL, &outR}) b->assign(MaxFrames, 0.0f);
        controls[Threshold] = -50.0f;
        for (int k = NoteOnKind; k <= PitchBendKind; ++k) controls[k] = 1.0f;
        controls[AudioAct] = controls[MidiAct] = -1.0f;
        ConnectAudio(inL.data(), inR.data(), outL.data(), outR.data());
        lilv_instance_connect_port(instance, MidiIn, midiIn.Get());
        lilv_instance_connect_port(instance, MidiOut, midiOut.Get());
        for (auto& c : controls) lilv_instance_connect_port(instance, c.first, &c.second);
        midiIn.Fill(sequenceType, {});
        lilv_instance_activate(instance);
    }
    void TearDown() override
    {
        if (!instance) return;
        lilv_instance_deactivate(instance);
        lilv_instance_free(instance);
    }
    void ConnectAudio(float* l, float* r, float* ol, float* orr)
    {
        lilv_instance_connect_port(instance, InL, l);
        lilv_instance_connect_port(instance, InR, r);
        lilv_instance_connect_port(instance, OutL, ol);
        lilv_instance_connect_port(instance, OutR, orr);
    }
    // One run with these MIDI events; returns what came out of the MIDI port.
    std::vector<AtomEvent> Run(uint32_t frames, const std::vector<AtomEvent>& events = {})
    {
        midiIn.Fill(sequenceType, events);
        midiOut.Offer();
        lilv_instance_run(instance, frames);
        EXPECT_EQ(midiOut.Get()->atom.type, sequenceType);
        return midiOut.Events();
    }
    AtomEvent Midi(int64_t frame, std::vector<uint8_t> bytes) { return AtomEvent{frame, midiType, std::move(bytes)}; }

    bwtest::UridMap urids;
    LV2_URID sequenceType = 0, midiType = 0;
    LilvInstance* instance = nullptr;
    std::vector<float> inL, inR, outL, outR;
    std::map<uint32_t, float> controls;
    Sequence midiIn{65536}, midiOut{65536};
};

}  // namespace

TEST_F(Lv2World, BundleDescribesThePortsAndFeatures)
{
    ASSERT_NE(plugin, nullptr) << "no " << PluginUri << " in " << BundleDir();
    LilvNode* name = lilv_plugin_get_name(plugin);
    EXPECT_STREQ(lilv_node_as_string(name), "Blinkwatcher");
    lilv_node_free(name);

    // index: symbol, default, minimum, maximum (NaN where a port has none)
    std::vector<std::string> table;
    for (uint32_t i = 0; i < lilv_plugin_get_num_ports(plugin); ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
        lilv_port_get_range(plugin, port, &def, &min, &max);
        auto f = [](LilvNode* n) { return n ? std::to_string(static_cast<int>(lilv_node_as_float(n))) : "-"; };
        table.push_back(std::to_string(i) + " " + lilv_node_as_string(lilv_port_get_symbol(plugin, port)) + " " +
                        f(def) + " " + f(min) + " " + f(max));
        lilv_node_free(def);
        lilv_node_free(min);
        lilv_node_free(max);
    }
    EXPECT_EQ(table, (std::vector<std::string>{
                         "0 in_l - - -", "1 in_r - - -", "2 out_l - - -", "3 out_r - - -", "4 midi_in - - -",
                         "5 midi_out - - -", "6 threshold -50 -100 0", "7 note_on 1 0 1", "8 note_off 1 0 1",
                         "9 control_change 1 0 1", "10 poly_aftertouch 1 0 1", "11 channel_aftertouch 1 0 1",
                         "12 program_change 1 0 1", "13 pitch_bend 1 0 1", "14 audio_active 0 0 1",
                         "15 midi_active 0 0 1"}));

    std::vector<std::string> required, optional;
    LilvNodes* r = lilv_plugin_get_required_features(plugin);
    LILV_FOREACH (nodes, it, r) required.push_back(lilv_node_as_uri(lilv_nodes_get(r, it)));
    lilv_nodes_free(r);
    LilvNodes* o = lilv_plugin_get_optional_features(plugin);
    LILV_FOREACH (nodes, it, o) optional.push_back(lilv_node_as_uri(lilv_nodes_get(o, it)));
    lilv_nodes_free(o);
    std::sort(optional.begin(), optional.end());
    EXPECT_EQ(required, std::vector<std::string>{});
    EXPECT_EQ(optional, (std::vector<std::string>{LV2_URID__map, LV2_CORE__hardRTCapable}));
}

// lv2apply, for one, offers no features at all and leaves the MIDI ports
// unconnected: the audio still passes and the activity outputs still answer.
TEST_F(Lv2World, RunsWithoutAUridMapWithoutMidi)
{
    ASSERT_NE(plugin, nullptr);
    LilvInstance* instance = lilv_plugin_instantiate(plugin, Rate, nullptr);
    ASSERT_NE(instance, nullptr);
    std::vector<float> in(64, 0.0f), out(64, 1.0f);
    in[5] = 0.5f;
    float controls[16] = {0, 0, 0, 0, 0, 0, -50, 1, 1, 1, 1, 1, 1, 1, -1, -1};
    for (uint32_t p = 0; p < 16; ++p)
        lilv_instance_connect_port(instance, p, p < 2 ? in.data() : p < 4 ? out.data() : p < 6 ? nullptr : &controls[p]);
    Sequence midiOut(1024);
    lilv_instance_activate(instance);
    lilv_instance_run(instance, 64);
    EXPECT_EQ(out, in);
    EXPECT_EQ(controls[14], 1.0f);
    EXPECT_EQ(controls[15], 0.0f);
    // An output sequence connected all the same is left an empty atom.
    lilv_instance_connect_port(instance, 5, midiOut.Get());
    midiOut.Offer();
    lilv_instance_run(instance, 64);
    EXPECT_EQ(midiOut.Get()->atom.size, 0u);
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
}

TEST_F(Lv2World, LoadsWithoutX)
{
    ASSERT_NE(plugin, nullptr);
    const char* display = getenv("DISPLAY");
    std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    bwtest::UridMap urids;
    const LV2_Feature* features[] = {urids.Feature(), nullptr};
    LilvInstance* instance = lilv_plugin_instantiate(plugin, Rate, features);
    EXPECT_NE(instance, nullptr);
    int x = 0;
    dl_iterate_phdr(LoadedXLibraries, &x);
    EXPECT_EQ(x, 0) << "an X library came in with the DSP object";
    if (instance) lilv_instance_free(instance);
    if (display) setenv("DISPLAY", saved.c_str(), 1);
}

TEST_F(Lv2Run, AudioPassesBitExactAtZeroOneAndFullBlocks)
{
    std::mt19937 random(16);
    std::uniform_int_distribution<uint32_t> bits;
    for (auto* in : {&inL, &inR})
        for (float& s : *in) {
            const uint32_t b = bits(random);
            memcpy(&s, &b, sizeof s);  // every pattern: NaNs, denormals, infinities
        }
    for (uint32_t frames : {0u, 1u, 4096u, 7u, 4096u}) {
        SCOPED_TRACE(frames);
        std::fill(outL.begin(), outL.end(), 3.0f);
        std::fill(outR.begin(), outR.end(), 3.0f);
        Run(frames);
        EXPECT_EQ(memcmp(outL.data(), inL.data(), frames * sizeof(float)), 0);
        EXPECT_EQ(memcmp(outR.data(), inR.data(), frames * sizeof(float)), 0);
        // Nothing past the block.
        EXPECT_EQ(std::count(outL.begin() + frames, outL.end(), 3.0f), static_cast<long>(MaxFrames - frames));
    }
    // In place: one buffer on both sides of each channel.
    const std::vector<float> left = inL, right = inR;
    ConnectAudio(inL.data(), inR.data(), inL.data(), inR.data());
    Run(4096);
    EXPECT_EQ(memcmp(inL.data(), left.data(), 4096 * sizeof(float)), 0);
    EXPECT_EQ(memcmp(inR.data(), right.data(), 4096 * sizeof(float)), 0);
}

TEST_F(Lv2Run, MidiPassesInOrderWithFramesAndDropsWhatVstDrops)
{
    const LV2_URID floatType = urids.Id(LV2_ATOM__Float);
    const std::vector<AtomEvent> in = {
        Midi(0, {0x90, 60, 100}),
        Midi(0, {0xF8}),                                  // clock: passed, not monitored
        AtomEvent{1, floatType, {0, 0, 128, 63}},         // not MIDI: dropped
        Midi(2, {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}),    // system exclusive: dropped
        Midi(3, {0xB0, 7, 64}),
        Midi(4095, {0x80, 60, 0}),
    };
    const std::vector<AtomEvent> out = {in[0], in[1], in[4], in[5]};
    EXPECT_EQ(Run(4096, in), out);
    EXPECT_EQ(controls[MidiAct], 1.0f);
    // At one frame and at none: the events still pass.
    EXPECT_EQ(Run(1, {Midi(0, {0xE0, 0, 64})}), (std::vector<AtomEvent>{Midi(0, {0xE0, 0, 64})}));
    EXPECT_EQ(Run(0, {Midi(0, {0xC0, 5})}), (std::vector<AtomEvent>{Midi(0, {0xC0, 5})}));
    EXPECT_EQ(Run(64), std::vector<AtomEvent>{});

    // 300 events in one block: the first 256 pass, in order.
    std::vector<AtomEvent> many;
    for (int i = 0; i < 300; ++i) many.push_back(Midi(i, {0x90, static_cast<uint8_t>(i & 127), 1}));
    EXPECT_EQ(Run(4096, many), std::vector<AtomEvent>(many.begin(), many.begin() + 256));

    // An output buffer too small for all of them keeps the first that fit.
    Sequence small(sizeof(LV2_Atom_Sequence_Body) + 2 * 24);
    lilv_instance_connect_port(instance, MidiOut, small.Get());
    midiIn.Fill(sequenceType, {Midi(1, {0x90, 1, 1}), Midi(2, {0x90, 2, 2}), Midi(3, {0x90, 3, 3})});
    small.Offer();
    lilv_instance_run(instance, 64);
    EXPECT_EQ(small.Events(), (std::vector<AtomEvent>{Midi(1, {0x90, 1, 1}), Midi(2, {0x90, 2, 2})}));
}

TEST_F(Lv2Run, ActivityOutputsFollowTheSettings)
{
    struct Case {
        const char* what;
        float threshold;
        int kindsOn;  // bit per kind port; -1 all
        std::vector<float> left;
        std::vector<AtomEvent> midi;
        float audio, midiAnswer;
    };
    const float above40 = 0.02f, at40 = 0.01f;  // -40 dB is 0.01
    const std::vector<Case> cases = {
        {"silence", -50, -1, std::vector<float>(64, 0.0f), {}, 0, 0},
        {"one sample above -40 dB", -40, -1, {0, above40, 0}, {}, 1, 0},
        {"a sample at the threshold", -40, -1, {at40}, {}, 0, 0},
        {"negative samples do not count", -40, -1, {-1.0f, -0.5f}, {}, 0, 0},
        {"note on, all kinds", -50, -1, {0}, {Midi(0, {0x91, 1, 1})}, 0, 1},
        {"note on with velocity 0 counts as note off", -50, 2, {0}, {Midi(0, {0x90, 1, 0})}, 0, 1},
        {"note on not monitored", -50, 2, {0}, {Midi(0, {0x90, 1, 1})}, 0, 0},
        {"system messages only", -50, -1, {0}, {Midi(0, {0xF8}), Midi(0, {0xFE})}, 0, 0},
        {"pitch bend with only it on", 0, 64, {0.5f}, {Midi(0, {0xE0, 0, 64})}, 0, 1},
    };
    // Each case's outputs as a row; all rows compared at once.
    auto row = [](const char* what, float audio, float midi) {
        char text[160];
        snprintf(text, sizeof text, "%s: audio %.9g, MIDI %.9g\n", what, audio, midi);
        return std::string(text);
    };
    std::string expected, got;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Quiet long enough for any hold to end.
        controls[Threshold] = -50;
        for (int k = 0; k < 7; ++k) controls[NoteOnKind + k] = 1.0f;
        Run(4096);
        Run(4096);
        ASSERT_EQ(controls[AudioAct], 0.0f);
        ASSERT_EQ(controls[MidiAct], 0.0f);
        controls[Threshold] = c.threshold;
        for (int k = 0; k < 7; ++k) controls[NoteOnKind + k] = c.kindsOn < 0 || (c.kindsOn >> k) & 1 ? 1.0f : 0.0f;
        std::copy(c.left.begin(), c.left.end(), inL.begin());
        std::fill(inR.begin(), inR.end(), 0.0f);
        Run(static_cast<uint32_t>(c.left.size()), c.midi);
        expected += row(c.what, c.audio, c.midiAnswer);
        got += row(c.what, controls[AudioAct], controls[MidiAct]);
        std::fill(inL.begin(), inL.end(), 0.0f);
    }
    EXPECT_EQ(got, expected);
}

// A host reads a control output as a value at its GUI rate (25 times a
// second) and the UI sees only that: a burst one block long must still be on
// the output when the host next looks, whatever the phase of its timer and
// the block size.
TEST_F(Lv2Run, OneBlockBurstIsSeenByAHostReadingEveryFortyMilliseconds)
{
    const uint32_t hostPeriod = static_cast<uint32_t>(Rate * 0.040);
    for (uint32_t block : {16u, 64u, 256u, 1024u, 4096u}) {
        SCOPED_TRACE(block);
        Run(4096);
        Run(4096);
        // Frame positions at the end of each run, and the outputs then.
        std::vector<std::pair<uint64_t, float>> audio, midi;
        uint64_t at = 0;
        inL[0] = 1.0f;
        Run(block, {Midi(0, {0x90, 60, 1})});
        inL[0] = 0.0f;
        at += block;
        audio.emplace_back(at, controls[AudioAct]);
        midi.emplace_back(at, controls[MidiAct]);
        while (at < 2 * Rate / 10) {
            Run(block);
            at += block;
            audio.emplace_back(at, controls[AudioAct]);
            midi.emplace_back(at, controls[MidiAct]);
        }
        // The output of a run stands until the next run ends; a host timer
        // firing at frame t sees the output of the last run ended by t.
        auto seen = [&](const std::vector<std::pair<uint64_t, float>>& out, uint64_t t) {
            float v = 0.0f;
            for (const auto& o : out)
                if (o.first <= t) v = o.second;
            return v;
        };
        for (uint64_t phase = 0; phase < hostPeriod; phase += 8) {
            bool audioSeen = false, midiSeen = false;
            for (uint64_t t = block + phase; t < at; t += hostPeriod) {
                audioSeen |= seen(audio, t) == 1.0f;
                midiSeen |= seen(midi, t) == 1.0f;
            }
            EXPECT_TRUE(audioSeen && midiSeen) << "missed by a host reading at phase " << phase;
        }
        // And the hold ends: the lamps go dark within the hold and a block.
        EXPECT_EQ(audio.back().second, 0.0f);
        uint64_t lit = 0;
        for (const auto& o : audio) lit += o.second == 1.0f ? block : 0;
        EXPECT_GE(lit, static_cast<uint64_t>(Rate * 0.050));
        EXPECT_LT(lit, static_cast<uint64_t>(Rate * 0.050) + block + 1);
    }
}
