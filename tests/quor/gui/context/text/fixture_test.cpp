// The text tests fail, rather than skip, where their X server is missing: a
// run against a broken test server must not look green.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "plugin/resources/spawn.h"

TEST(TextFixture, FailsWithoutAnXServer)
{
    struct stat st;
    ASSERT_NE(stat("/tmp/.X11-unix/X987", &st), 0) << "something listens on :987";
    const char* test = "Text.DrawTextPutsTheTopOfTheLineAtY";
    bwtest::ChildResult child = bwtest::RunChild(BW_TEXT_TESTS, test, {}, {"DISPLAY=:987"});
    EXPECT_TRUE(child.finished) << child.output;
    EXPECT_NE(child.status, 0) << child.output;
    EXPECT_NE(child.output.find(std::string("[  FAILED  ] ") + test), std::string::npos) << child.output;
    EXPECT_NE(child.output.find("need an X server"), std::string::npos) << child.output;
    EXPECT_EQ(child.output.find("SKIPPED"), std::string::npos) << child.output;
}
