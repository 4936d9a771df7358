// The plug-in loaded where no X server answers (a headless plug-in scanner, a
// render farm): the shared resources and the drawing layer must load, work
// without making any X call and unload cleanly. Each case runs the child
// cases with DISPLAY unset or pointing at a display where nothing listens; a
// call on the null display would crash the child.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

#include "spawn.h"

namespace {

void ExpectCleanHeadlessRun(const bwtest::ChildResult& child)
{
    EXPECT_TRUE(child.finished) << child.output;
    EXPECT_EQ(child.status, 0) << child.output;
    EXPECT_EQ(bwtest::Occurrences(child.output, "Error: XOpenDisplay failed.\n"), 1u) << child.output;
    EXPECT_NE(child.output.find("[  PASSED  ] 3 tests."), std::string::npos) << child.output;
    EXPECT_EQ(child.output.find("SKIPPED"), std::string::npos) << child.output;
    EXPECT_EQ(child.output.find("Sanitizer"), std::string::npos) << child.output;
}

TEST(Headless, DisplayUnsetTriesTheDefaultDisplayAndLoadsWithoutIt)
{
    struct stat st;
    if (stat("/tmp/.X11-unix/X0", &st) == 0) GTEST_SKIP() << "an X server listens on :0 here";
    ExpectCleanHeadlessRun(bwtest::RunChild(BW_CHILD, "HeadlessChild.*", {"DISPLAY"}, {}));
}

TEST(Headless, DisplayThatRefusesConnections)
{
    struct stat st;
    ASSERT_NE(stat("/tmp/.X11-unix/X987", &st), 0) << "something listens on :987";
    ExpectCleanHeadlessRun(bwtest::RunChild(BW_CHILD, "HeadlessChild.*", {}, {"DISPLAY=:987"}));
}

}  // namespace
