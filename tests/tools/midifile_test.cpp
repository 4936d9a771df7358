// Reading standard MIDI files into timed messages.

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "tools/vsthost/MidiFile.h"

using vsthost::ReadMidiFile;
using vsthost::SmfEvent;
using vsthost::TimedMessage;
using vsthost::WriteMidiFile;

namespace {

class MidiFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/bw-midi-XXXXXX";
        int fd = mkstemp(pattern);
        ASSERT_GE(fd, 0);
        close(fd);
        path = pattern;
        // A malformed file must not hang the parser.
        signal(SIGALRM, [](int) {
            static const char text[] = "MIDI parser watchdog expired\n";
            (void)!write(2, text, sizeof text - 1);
            _exit(3);
        });
        alarm(60);
    }
    void TearDown() override
    {
        alarm(0);
        unlink(path.c_str());
    }
    std::string path;
};

}  // namespace

TEST_F(MidiFiles, MessagesComeInTimeOrderWithTheirKinds)
{
    std::string error;
    ASSERT_TRUE(WriteMidiFile(path, 480,
                              {{{960, {0x90, 60, 100}},
                                {0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}},
                                {480, {0xF7, 0x01, 0xF8}},
                                {480, {0xB2, 7, 1}},
                                {1440, {0xF0, 0x03, 0x43, 0x10, 0xF7}},
                                {1920, {0x90, 60, 0}}}},
                              error))
        << error;
    std::vector<TimedMessage> m;
    ASSERT_TRUE(ReadMidiFile(path, m, error)) << error;
    ASSERT_EQ(m.size(), 5u);
    EXPECT_DOUBLE_EQ(m[0].seconds, 0.5);
    EXPECT_EQ(m[0].bytes, (std::vector<uint8_t>{0xF8}));
    EXPECT_FALSE(m[0].sysex);
    EXPECT_EQ(m[1].bytes, (std::vector<uint8_t>{0xB2, 7, 1})) << "file order at a tie";
    EXPECT_DOUBLE_EQ(m[2].seconds, 1.0);
    EXPECT_DOUBLE_EQ(m[3].seconds, 1.5);
    EXPECT_TRUE(m[3].sysex);
    EXPECT_EQ(m[3].bytes.front(), 0xF0);
    EXPECT_EQ(m[3].bytes.back(), 0xF7);
    EXPECT_EQ(m[4].bytes, (std::vector<uint8_t>{0x90, 60, 0})) << "a note on with velocity 0 stays as it was";
}

TEST_F(MidiFiles, TempoChangesAndTracksMerge)
{
    std::string error;
    // Track 0: 120 bpm, then 60 bpm from beat 2. Track 1: notes on beats 1 and 3.
    ASSERT_TRUE(WriteMidiFile(path, 100,
                              {{{0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}}, {200, {0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}}},
                               {{100, {0x91, 1, 1}}, {300, {0x81, 1, 1}}}},
                              error));
    std::vector<TimedMessage> m;
    ASSERT_TRUE(ReadMidiFile(path, m, error)) << error;
    ASSERT_EQ(m.size(), 2u);
    EXPECT_DOUBLE_EQ(m[0].seconds, 0.5);
    EXPECT_DOUBLE_EQ(m[1].seconds, 2.0);
    EXPECT_EQ(m[1].track, 1);
}

TEST_F(MidiFiles, SmpteDivision)
{
    std::string error;
    // 25 frames per second, 40 ticks per frame: 1000 ticks per second.
    ASSERT_TRUE(WriteMidiFile(path, static_cast<uint16_t>((256 - 25) << 8 | 40), {{{250, {0xC0, 5}}}}, error));
    std::vector<TimedMessage> m;
    ASSERT_TRUE(ReadMidiFile(path, m, error)) << error;
    ASSERT_EQ(m.size(), 1u);
    EXPECT_DOUBLE_EQ(m[0].seconds, 0.25);
}

TEST_F(MidiFiles, BrokenFilesAreErrorsNotHangs)
{
    std::string error;
    std::vector<TimedMessage> m;
    EXPECT_FALSE(ReadMidiFile(path + ".missing", m, error));
    std::ofstream(path) << "RIFF not midi at all";
    EXPECT_FALSE(ReadMidiFile(path, m, error));
    EXPECT_NE(error.find("not a standard MIDI file"), std::string::npos);

    ASSERT_TRUE(WriteMidiFile(path, 480, {{{0, {0x90, 60, 100}}, {100, {0x80, 60, 0}}}}, error));
    std::ifstream in(path, std::ios::binary);
    std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (size_t cut : {14u, 20u, 25u, static_cast<unsigned>(whole.size() - 3)}) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << whole.substr(0, cut);
        error.clear();
        EXPECT_FALSE(ReadMidiFile(path, m, error)) << "cut at " << cut;
        EXPECT_FALSE(error.empty());
    }
}
