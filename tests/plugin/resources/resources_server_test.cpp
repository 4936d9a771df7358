// Shared resources against real servers, each case in a child process: a
// host display adopted after a headless load and closed before unload, and
// SCOL on an 8-bit server whose colour map runs full.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "spawn.h"

namespace {

bool Exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void ExpectCleanRun(const bwtest::ChildResult& child, const char* passed)
{
    EXPECT_TRUE(child.finished) << child.output;
    EXPECT_EQ(child.status, 0) << child.output;
    EXPECT_NE(child.output.find(passed), std::string::npos) << child.output;
    EXPECT_EQ(child.output.find("Sanitizer"), std::string::npos) << child.output;
}

// The static destructors run after the host closed its display: freeing the
// shared font and brush pixmap made on it would use the closed connection
// (AddressSanitizer reports it; elsewhere it may crash the host at exit).
TEST(ServerResources, HostDisplayAdoptedLateAndClosedBeforeUnload)
{
    const char* real = getenv("DISPLAY");
    ASSERT_TRUE(real && *real) << "needs an X server (tools/with-xvfb.sh)";
    ASSERT_FALSE(Exists("/tmp/.X11-unix/X987"));
    bwtest::ChildResult child = bwtest::RunChild(BW_CHILD, "UnloadChild.*", {},
                                                 {"DISPLAY=:987", std::string("BW_REAL_DISPLAY=") + real});
    ExpectCleanRun(child, "[  PASSED  ] 1 test.");
    EXPECT_EQ(bwtest::Occurrences(child.output, "Error: XOpenDisplay failed.\n"), 1u) << child.output;
}

// With its own connection open, the toolkit stays on it when the host hands
// over its display; the host's display is only remembered.
TEST(ServerResources, OwnConnectionWinsOverTheHostDisplay)
{
    const char* real = getenv("DISPLAY");
    ASSERT_TRUE(real && *real) << "needs an X server (tools/with-xvfb.sh)";
    bwtest::ChildResult child = bwtest::RunChild(BW_CHILD, "DisplayChoiceChild.*", {}, {});
    ExpectCleanRun(child, "[  PASSED  ] 1 test.");
    EXPECT_EQ(child.output.find("Error: XOpenDisplay failed."), std::string::npos) << child.output;
}

// A private 8-bit Xvfb: a colour map that can be exhausted, after which SCOL
// must still give a pixel to draw with.
TEST(ServerResources, ScolOnAnEightBitServer)
{
    int n = 150;
    while (Exists("/tmp/.X11-unix/X" + std::to_string(n)) || Exists("/tmp/.X" + std::to_string(n) + "-lock")) ++n;
    std::string name = ":" + std::to_string(n);
    std::vector<std::string> args = {"Xvfb", name, "-screen", "0", "64x64x8", "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t xvfb;
    int rc = posix_spawnp(&xvfb, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) GTEST_SKIP() << "Xvfb not available";
    for (int i = 0; i < 200 && !Exists("/tmp/.X11-unix/X" + std::to_string(n)); ++i) usleep(50 * 1000);
    bool up = Exists("/tmp/.X11-unix/X" + std::to_string(n));
    if (up) {
        bwtest::ChildResult child = bwtest::RunChild(BW_CHILD, "PseudoColourChild.*", {}, {"DISPLAY=" + name});
        ExpectCleanRun(child, "[  PASSED  ] 1 test.");
    }
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
    ASSERT_TRUE(up) << "the 8-bit Xvfb did not start";
}

}  // namespace
