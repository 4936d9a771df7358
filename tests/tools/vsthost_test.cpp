// The vsthost command line and host library: the answers a plug-in gets,
// the errors a user gets, and audio and MIDI through a real plug-in.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "plugin/PluginTestSupport.h"
#include "tools/vsthost/AudioFile.h"
#include "tools/vsthost/Commands.h"
#include "tools/vsthost/VstHost.h"

using bwtest::PluginPath;
using bwtest::StderrCapture;

namespace {

struct Result {
    int code;
    std::string out, err;
};

Result Vsthost(std::vector<std::string> args)
{
    std::ostringstream out, err;
    int code = vsthost::RunCommand(args, out, err);
    return {code, out.str(), err.str()};
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/bw-vsthost-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        for (const std::string& f : made) unlink(f.c_str());
        rmdir(dir.c_str());
    }
    std::string File(const std::string& name)
    {
        made.push_back(dir + "/" + name);
        return made.back();
    }
    std::vector<uint8_t> Bytes(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void Write(const std::string& path, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    std::string dir;
    std::vector<std::string> made;
};

}  // namespace

TEST(VsthostCommandLine, HelpAndUsageErrors)
{
    for (const char* command : {"info", "process", "chunk", "gen-wav", "gen-midi"}) {
        Result r = Vsthost({command, "--help"});
        EXPECT_EQ(r.code, 0) << command;
        EXPECT_TRUE(Contains(r.out, "usage: vsthost")) << command;
        EXPECT_TRUE(Contains(r.out, "Exit codes")) << command;
    }
    EXPECT_EQ(Vsthost({}).code, vsthost::ExitUsage);
    EXPECT_EQ(Vsthost({"--help"}).code, 0);
    EXPECT_EQ(Vsthost({"frobnicate"}).code, vsthost::ExitUsage);
    EXPECT_EQ(Vsthost({"info", PluginPath(), "--bogus"}).code, vsthost::ExitUsage);
    EXPECT_EQ(Vsthost({"info"}).code, vsthost::ExitUsage);
    EXPECT_EQ(Vsthost({"info", PluginPath(), "--size-window", "maybe"}).code, vsthost::ExitUsage);
    EXPECT_EQ(Vsthost({"info", PluginPath(), "--host-version", "x"}).code, vsthost::ExitUsage);
    EXPECT_EQ(Vsthost({"info", PluginPath(), "--host-product"}).code, vsthost::ExitUsage);
    EXPECT_EQ(Vsthost({"process", PluginPath(), "--in", "a.wav"}).code, vsthost::ExitUsage);
    EXPECT_EQ(Vsthost({"process", PluginPath(), "--in", "a", "--out", "b", "--block", "0"}).code, vsthost::ExitUsage);
    EXPECT_EQ(Vsthost({"chunk", "store", PluginPath(), "x"}).code, vsthost::ExitUsage);
}

TEST_F(Files, LoadErrorsAreToldApart)
{
    Result missing = Vsthost({"info", dir + "/nothing.so"});
    EXPECT_EQ(missing.code, vsthost::ExitFile);
    EXPECT_TRUE(Contains(missing.err, "no such file")) << missing.err;

    const std::string text = File("text.so");
    Write(text, {'h', 'e', 'l', 'l', 'o'});
    Result notElf = Vsthost({"info", text});
    EXPECT_EQ(notElf.code, vsthost::ExitNotPlugin);
    EXPECT_TRUE(Contains(notElf.err, "not a loadable shared object")) << notElf.err;

    Result noEntry = Vsthost({"info", NOENTRY_PLUGIN});
    EXPECT_EQ(noEntry.code, vsthost::ExitNotPlugin);
    EXPECT_TRUE(Contains(noEntry.err, "no VSTPluginMain or main")) << noEntry.err;

    Result badMagic = Vsthost({"info", PROBE_PLUGIN, "--host-product", "badmagic"});
    EXPECT_EQ(badMagic.code, vsthost::ExitNotPlugin);
    EXPECT_TRUE(Contains(badMagic.err, "bad magic")) << badMagic.err;

    Result refused = Vsthost({"info", PROBE_PLUGIN, "--host-product", "refuse"});
    EXPECT_EQ(refused.code, vsthost::ExitRefused);
    EXPECT_TRUE(Contains(refused.err, "the plug-in said: probe: refusing to load")) << refused.err;

    Result silent = Vsthost({"info", PluginPath(), "--vst-version", "0"});
    EXPECT_EQ(silent.code, vsthost::ExitRefused);
    EXPECT_TRUE(Contains(silent.err, "gave no message")) << silent.err;
}

TEST(VsthostHost, AnswersThePluginWithTheChosenIdentity)
{
    struct Case {
        std::vector<std::string> options;
        std::string expected;
    } cases[] = {
        {{}, "vsthost|Blinkwatcher project|100|1|1|"},
        {{"--host-product", "Usine Hollyhock", "--host-vendor", "Sensomusic", "--host-version", "5003",
          "--size-window", "no"},
         "Usine Hollyhock|Sensomusic|5003|-1|1|"},
        {{"--size-window", "unknown"}, "vsthost|Blinkwatcher project|100|0|1|"},
    };
    for (const char* probe : {PROBE_PLUGIN, PROBE_LEGACY_PLUGIN}) {
        for (const Case& c : cases) {
            std::vector<std::string> args{"info", probe, "--json"};
            args.insert(args.end(), c.options.begin(), c.options.end());
            Result r = Vsthost(args);
            ASSERT_EQ(r.code, 0) << r.err;
            char resolved[4096];
            ASSERT_NE(realpath(probe, resolved), nullptr);
            EXPECT_TRUE(Contains(r.out, "\"name\": \"" + c.expected + resolved + "\"")) << r.out;
            EXPECT_TRUE(Contains(r.out, "\"uniqueID\": \"Prbe\"")) << r.out;
        }
    }
}

TEST(VsthostHost, TwoHostsKeepTheirOwnPlugins)
{
    vsthost::HostIdentity a, b;
    a.product = "first";
    b.product = "second";
    vsthost::Host one(a), two(b), three;
    ASSERT_TRUE(one.Load(PROBE_PLUGIN));
    ASSERT_TRUE(two.Load(PROBE_PLUGIN));
    ASSERT_TRUE(three.Load(PluginPath()));
    EXPECT_EQ(one.GetString(effGetEffectName).rfind("first|", 0), 0u);
    EXPECT_EQ(two.GetString(effGetEffectName).rfind("second|", 0), 0u);
    EXPECT_EQ(one.LastSizeWindowWidth(), 120);
    EXPECT_EQ(one.LastSizeWindowHeight(), 80);
    EXPECT_EQ(three.LastSizeWindowWidth(), 0);
    three.Start(44100.0f, 64);
    EXPECT_EQ(three.Requests(audioMasterWantMidi), 1);
    EXPECT_EQ(one.Requests(audioMasterWantMidi), 0);
    EXPECT_FALSE(one.Load(PROBE_PLUGIN)) << "one plug-in per host";
    EXPECT_EQ(one.Error(), vsthost::LoadError::AlreadyLoaded);
}

TEST(VsthostInfo, PrintsTheIdentity)
{
    Result r = Vsthost({"info", PluginPath()});
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* line : {"name:            Blinkwatcher\n", "product:         Blinkwatcher\n",
                             "vendor version:  100 (1.00)\n", "unique ID:       Bkwr (1114339186)\n",
                             "VST version:     2300\n", "identify:        NvEf\n", "inputs/outputs:  2/2\n",
                             "canDo receiveVstTimeInfo:   yes (1)\n", "canDo offline:              no (-1)\n",
                             "  0: \"(default)\"\n", "chunk size:      bank 56, program 56\n",
                             "editor size:     100x75\n"})
        EXPECT_TRUE(Contains(r.out, line)) << line << r.out;
    Result json = Vsthost({"info", PluginPath(), "--json"});
    ASSERT_EQ(json.code, 0);
    for (const char* part : {"\"uniqueID\": \"Bkwr\"", "\"inputs\": 2", "\"outputs\": 2", "\"programs\": [\"(default)\"]",
                             "\"bankChunkSize\": 56", "\"canDo\": {\"sendVstEvents\": 1,"})
        EXPECT_TRUE(Contains(json.out, part)) << part << json.out;
    EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), 1) << "one line of JSON";
}

TEST_F(Files, ProcessPassesAudioAndMidiThrough)
{
    const std::string in = File("in.wav"), mid = File("in.mid"), out = File("out.wav"), back = File("back.txt");
    ASSERT_EQ(Vsthost({"gen-wav", in, "--seconds", "1"}).code, 0);
    ASSERT_EQ(Vsthost({"gen-midi", mid}).code, 0);
    for (const char* block : {"64", "1000"}) {
        for (bool accumulate : {false, true}) {
            std::vector<std::string> args{"process", PluginPath(), "--in", in, "--out", out, "--midi", mid,
                                          "--midi-out", back, "--block", block};
            if (accumulate) args.push_back("--accumulate");
            Result r = Vsthost(args);
            ASSERT_EQ(r.code, 0) << r.err;
            EXPECT_TRUE(Contains(r.out, "MIDI sent:       8 events, 1 sysex")) << r.out;
            EXPECT_TRUE(Contains(r.out, "MIDI back:       8 events")) << r.out;
            EXPECT_TRUE(Contains(r.out, "output = input:  yes, bit for bit")) << r.out;
            vsthost::AudioData a, b;
            std::string error;
            ASSERT_TRUE(vsthost::ReadWav(in, a, error)) << error;
            ASSERT_TRUE(vsthost::ReadWav(out, b, error)) << error;
            EXPECT_EQ(b.channels, 2);
            EXPECT_EQ(b.sampleRate, 44100);
            ASSERT_EQ(a.samples.size(), b.samples.size());
            EXPECT_EQ(memcmp(a.samples.data(), b.samples.data(), a.samples.size() * sizeof(float)), 0);
            std::ifstream text(back);
            std::string all((std::istreambuf_iterator<char>(text)), std::istreambuf_iterator<char>());
            const int n = atoi(block);
            auto line = [n](long frame, const char* bytes) {
                return std::to_string(frame) + " " + std::to_string(frame % n) + " " + bytes + "\n";
            };
            const std::string expected = "# frame delta bytes (events the plug-in sent back)\n" +
                                         line(4410, "90 3c 64") + line(13230, "80 3c 40") + line(17640, "91 40 5a") +
                                         line(22050, "b0 07 64") + line(26460, "91 40 00") +
                                         line(30870, "e0 00 50") + line(35280, "f8") + line(37485, "f2 10 00");
            EXPECT_EQ(all, expected);
        }
    }
}

TEST_F(Files, MidiBeyondTheAudioIsStillDelivered)
{
    const std::string in = File("short.wav"), mid = File("in.mid"), out = File("out.wav"), back = File("b.txt");
    vsthost::AudioData audio;
    audio.channels = 2;
    audio.sampleRate = 44100;
    audio.samples.assign(2 * 100, 0.0f);
    std::string error;
    ASSERT_TRUE(vsthost::WriteWav(in, audio, error));
    ASSERT_EQ(Vsthost({"gen-midi", mid}).code, 0);
    Result r = Vsthost({"process", PluginPath(), "--in", in, "--out", out, "--midi", mid, "--midi-out", back});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "MIDI back:       8 events")) << r.out;
    vsthost::AudioData result;
    ASSERT_TRUE(vsthost::ReadWav(out, result, error));
    EXPECT_EQ(result.Frames(), 39690 + 1) << "silence carries the events, up to the sysex at 0.9 s";
}

TEST_F(Files, ProcessErrors)
{
    const std::string mono = File("mono.wav"), out = File("out.wav"), chunk = File("c.bin"), in = File("in.wav");
    vsthost::AudioData audio;
    audio.channels = 1;
    audio.sampleRate = 48000;
    audio.samples.assign(64, 0.1f);
    std::string error;
    ASSERT_TRUE(vsthost::WriteWav(mono, audio, error));
    Result channels = Vsthost({"process", PluginPath(), "--in", mono, "--out", out});
    EXPECT_EQ(channels.code, vsthost::ExitChannels);
    EXPECT_TRUE(Contains(channels.err, "has 1 channel(s); the plug-in takes 2 input(s)")) << channels.err;

    ASSERT_EQ(Vsthost({"gen-wav", in, "--seconds", "1"}).code, 0);
    EXPECT_EQ(Vsthost({"process", PROBE_PLUGIN, "--in", in, "--out", out}).code, vsthost::ExitChannels);
    EXPECT_EQ(Vsthost({"process", PluginPath(), "--in", dir + "/none.wav", "--out", out}).code, vsthost::ExitFile);
    EXPECT_EQ(Vsthost({"process", PluginPath(), "--in", in, "--out", out, "--midi", dir + "/none.mid"}).code,
              vsthost::ExitFile);
    EXPECT_EQ(Vsthost({"process", PluginPath(), "--in", in, "--out", dir + "/no/such/dir.wav"}).code,
              vsthost::ExitFile);
    Write(chunk, std::vector<uint8_t>(55, 0));
    Result refused = Vsthost({"process", PluginPath(), "--in", in, "--out", out, "--chunk", chunk});
    EXPECT_EQ(refused.code, vsthost::ExitChunkRefused);
    EXPECT_TRUE(Contains(refused.err, "refused the chunk")) << refused.err;
    Write(in, {'R', 'I', 'F', 'F', 0, 0});
    EXPECT_EQ(Vsthost({"process", PluginPath(), "--in", in, "--out", out}).code, vsthost::ExitFile);
}

TEST_F(Files, ChunkSaveAndLoad)
{
    const std::string saved = File("state.bin"), longer = File("long.bin"), shorter = File("short.bin");
    Result save = Vsthost({"chunk", "save", PluginPath(), saved});
    ASSERT_EQ(save.code, 0) << save.err;
    std::vector<uint8_t> bytes = Bytes(saved);
    ASSERT_EQ(bytes.size(), 56u);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data()), "(default)");
    EXPECT_EQ(Bytes(saved), bytes);

    Result load = Vsthost({"chunk", "load", PluginPath(), saved});
    EXPECT_EQ(load.code, 0) << load.err;
    EXPECT_TRUE(Contains(load.out, "the plug-in now holds 56 bytes: 28 64 65 66")) << load.out;

    bytes.resize(60, 0xAB);
    Write(longer, bytes);
    StderrCapture capture;
    Result newer = Vsthost({"chunk", "load", PluginPath(), longer, "--program"});
    EXPECT_EQ(newer.code, 0);
    EXPECT_TRUE(Contains(capture.Text(), "Failed to load program\\n(Reason: Saved with newer version")) << capture.Text();

    bytes.resize(55);
    Write(shorter, bytes);
    Result refused = Vsthost({"chunk", "load", PluginPath(), shorter});
    EXPECT_EQ(refused.code, vsthost::ExitChunkRefused);
    EXPECT_EQ(Vsthost({"chunk", "load", PluginPath(), dir + "/none.bin"}).code, vsthost::ExitFile);
}
