// A headless plug-in scanner or render farm loads the plug-in with no X
// server: it must load, pass audio and MIDI, keep its chunk and unload, and
// never call Xlib on a null display (which would end the child).

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "plugin/resources/spawn.h"

namespace {

const char* const BoundaryCases =
    "Boundary.RecordIdentity:Boundary.EditorOpcodesWithoutAnEditorTouchNothing:"
    "Boundary.ReplacingPassThroughIsBitExact:Boundary.AccumulatingProcessAddsExactly:"
    "Boundary.MidiThruKeepsOrderDeltasAndWholeRecords:Boundary.ChunkRoundTripAndFormat:"
    "BoundaryLoad.CloseDeletesTheInstanceAndTheModuleUnloads";

void ExpectHeadlessPass(const bwtest::ChildResult& child)
{
    EXPECT_TRUE(child.finished) << child.output;
    EXPECT_EQ(child.status, 0) << child.output;
    EXPECT_NE(child.output.find("[  PASSED  ] 7 tests."), std::string::npos) << child.output;
    EXPECT_NE(child.output.find("Error: XOpenDisplay failed."), std::string::npos) << child.output;
    EXPECT_EQ(child.output.find("Sanitizer"), std::string::npos) << child.output;
}

TEST(HeadlessPlugin, LoadsAndProcessesWithDisplayUnset)
{
    struct stat st;
    if (stat("/tmp/.X11-unix/X0", &st) == 0) GTEST_SKIP() << "an X server listens on :0 here, the default display";
    ExpectHeadlessPass(bwtest::RunChild(BW_CHILD, BoundaryCases, {"DISPLAY"}, {}, 120));
}

TEST(HeadlessPlugin, LoadsAndProcessesWhenTheDisplayRefuses)
{
    struct stat st;
    ASSERT_NE(stat("/tmp/.X11-unix/X987", &st), 0) << "something listens on :987";
    ExpectHeadlessPass(bwtest::RunChild(BW_CHILD, BoundaryCases, {}, {"DISPLAY=:987"}, 120));
}

}  // namespace
