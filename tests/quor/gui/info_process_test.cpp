// The message box where only a process of its own shows the behaviour: no X
// server at all (DISPLAY unset, or a display that refuses), and the end of
// the process with the box still on screen.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "plugin/resources/spawn.h"

namespace {

TEST(InfoProcess, WithoutAnXServerTheMessageIsOneLineOnStandardErrorAndNothingElse)
{
    struct stat st;
    ASSERT_NE(stat("/tmp/.X11-unix/X987", &st), 0) << "something listens on :987";
    std::vector<std::vector<std::string>> unsets = {{}};
    std::vector<std::vector<std::string>> sets = {{"DISPLAY=:987"}};
    if (stat("/tmp/.X11-unix/X0", &st) != 0) {
        unsets.push_back({"DISPLAY"});
        sets.push_back({});
    }
    for (size_t i = 0; i < sets.size(); ++i) {
        bwtest::ChildResult child = bwtest::RunChild(BW_CHILD, "InfoChild.WithoutADisplayOnlyTheLine", unsets[i], sets[i]);
        EXPECT_TRUE(child.finished) << child.output;
        EXPECT_EQ(child.status, 0) << child.output;
        EXPECT_NE(child.output.find("\nBlinkwatcher: Failed to load plugin\\n(Reason: System not supported)\n: \n"),
                  std::string::npos)
            << child.output;
        EXPECT_EQ(bwtest::Occurrences(child.output, "Error: XOpenDisplay failed.\n"), 1u) << child.output;
        EXPECT_EQ(child.output.find("Sanitizer"), std::string::npos) << child.output;
    }
}

TEST(InfoProcess, AtTheEndTheBoxGoesBeforeItsConnectionWithoutAnXError)
{
    bwtest::ChildResult child = bwtest::RunChild(BW_CHILD, "InfoChild.TheBoxGoesBeforeItsConnection", {}, {});
    EXPECT_TRUE(child.finished) << child.output;
    EXPECT_EQ(child.status, 0) << child.output;
    EXPECT_NE(child.output.find("[  PASSED  ] 1 test."), std::string::npos) << child.output;
    EXPECT_NE(child.output.find("closing the toolkit's connection: box destroyed before, 0 X errors\n"),
              std::string::npos)
        << child.output;
    EXPECT_EQ(child.output.find("XError"), std::string::npos) << child.output;
}

}  // namespace
