// The first display of the process arrives late: loaded where no X server
// answered, the plug-in is handed the host's display at editor open (by
// several host threads at once here). Run in a child process, under
// ThreadSanitizer too.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "spawn.h"

namespace {

// Runs the child cases `filter` in a process that loaded without a display
// and gets the host's display later.
void RunLate(const char* filter)
{
    const char* real = getenv("DISPLAY");
    ASSERT_TRUE(real && *real) << "needs an X server (tools/with-xvfb.sh)";
    struct stat st;
    ASSERT_NE(stat("/tmp/.X11-unix/X987", &st), 0) << "something listens on :987";
    // DISPLAY unset makes the load try :0; where a server listens there, a
    // display that refuses connections gives the same headless load.
    std::vector<std::string> unset, set = {std::string("BW_REAL_DISPLAY=") + real};
    if (stat("/tmp/.X11-unix/X0", &st) != 0)
        unset.push_back("DISPLAY");
    else
        set.push_back("DISPLAY=:987");
    bwtest::ChildResult child = bwtest::RunChild(BW_CHILD, filter, unset, set);
    EXPECT_TRUE(child.finished) << child.output;
    EXPECT_EQ(child.status, 0) << child.output;
    EXPECT_NE(child.output.find("[  PASSED  ] 1 test."), std::string::npos) << child.output;
    EXPECT_EQ(bwtest::Occurrences(child.output, "Error: XOpenDisplay failed.\n"), 1u) << child.output;
    EXPECT_EQ(child.output.find("Sanitizer"), std::string::npos) << child.output;
}

TEST(LateDisplay, HostDisplayAdoptedAfterAHeadlessLoadFillsTheColourTable)
{
    RunLate("LateColoursChild.*");
}

TEST(LateDisplay, SharedFontsMadeBeforeTheFirstDisplayAreRenewed)
{
    RunLate("LateFontsChild.*");
}

}  // namespace
