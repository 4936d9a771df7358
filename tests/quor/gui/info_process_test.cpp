// The message box where a process of its own is needed: no X server at all
// (DISPLAY unset, or a display that refuses), and the process ending with
// the box on screen.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "plugin/resources/spawn.h"

namespace {

TEST(InfoProcess, WithoutAnXServerTheMessageIsOneLineOnStandardErrorAndNoXCall)
{
    struct stat st;
    ASSERT_NE(stat("/tmp/.X11-unix/X987", &st), 0) << "something listens on :987";
    bool noDefault = stat("/tmp/.X11-unix/X0", &st) != 0;  // DISPLAY unset tries :0
    for (bool unset : {false, true}) {
        if (unset && !noDefault) continue;
        bwtest::ChildResult child = unset ? bwtest::RunChild(BW_CHILD, "InfoChild.WithoutADisplayOnlyTheLine", {"DISPLAY"}, {})
                                          : bwtest::RunChild(BW_CHILD, "InfoChild.WithoutADisplayOnlyTheLine", {}, {"DISPLAY=:987"});
        EXPECT_EQ(child.status, 0) << child.output;
        EXPECT_NE(child.output.find("\nBlinkwatcher: Failed to load plugin\\n(Reason: System not supported)\n: \n"),
                  std::string::npos) << child.output;
        EXPECT_EQ(child.output.find("Sanitizer"), std::string::npos) << child.output;
    }
}

TEST(InfoProcess, WithoutAnXServerTheEditorStillOpensAndCloses)
{
    struct stat st;
    ASSERT_NE(stat("/tmp/.X11-unix/X987", &st), 0) << "something listens on :987";
    bwtest::ChildResult child =
        bwtest::RunChild(BW_CHILD, "InfoChild.WithoutADisplayTheEditorOpensAndClosesWithoutAnXCall", {}, {"DISPLAY=:987"});
    EXPECT_TRUE(child.finished) << child.output;
    EXPECT_EQ(child.status, 0) << child.output;
    EXPECT_NE(child.output.find("[  PASSED  ] 1 test."), std::string::npos) << child.output;
    EXPECT_EQ(child.output.find("Sanitizer"), std::string::npos) << child.output;
}

TEST(InfoProcess, AtTheEndTheBoxGoesBeforeItsConnectionWithoutAnXError)
{
    bwtest::ChildResult child = bwtest::RunChild(BW_CHILD, "InfoChild.TheBoxGoesBeforeItsConnection", {}, {});
    EXPECT_EQ(child.status, 0) << child.output;
    EXPECT_NE(child.output.find("[  PASSED  ] 1 test."), std::string::npos) << child.output;
    EXPECT_NE(child.output.find("closing the toolkit's connection: box gone, 0 X errors\n"), std::string::npos)
        << child.output;
}

}  // namespace
