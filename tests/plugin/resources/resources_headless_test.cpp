// The plug-in loaded where no X server answers (a headless plug-in scanner, a
// render farm): the shared resources and the drawing layer must load, work
// without making any X call and unload cleanly. Each case runs this binary
// again with DISPLAY unset or pointing at a display where nothing listens; a
// call on the null display would crash the child.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

#include "plugin/SGlobals.h"
#include "plugin/SStaticData.h"
#include "quor/gui/SCOL.h"
#include "quor/gui/context/SDisplayHandles.h"
#include "quor/gui/context/SDrawBitmap.h"
#include "quor/gui/context/SDrawBrush.h"
#include "quor/gui/context/SDrawFont.h"
#include "quor/gui/context/SDrawImage.h"
#include "quor/gui/context/SDrawMemoryDevice.h"
#include "quor/gui/context/SDrawPen.h"
#include "quor/gui/context/SDrawing.h"
#include "quor/system/SSystemData.h"
#include "spawn.h"

using namespace quor::gui::context;
typedef SDrawing::Point Point;
typedef SDrawing::Rectangle Rect;

namespace {

const char* const tinyXpm[] = {"2 1 1 1", "a c #FF0000", "aa"};

bool InChild()
{
    return getenv("BW_HEADLESS_CHILD") != nullptr;
}

// ---- run inside the child only (disabled in normal runs)

class HeadlessChild : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!InChild()) GTEST_SKIP() << "runs in the child process only";
    }
};

TEST_F(HeadlessChild, DISABLED_NoDisplayAndAnEmptyColourTable)
{
    EXPECT_EQ(dps, nullptr);
    EXPECT_EQ(CurrentDisplay(), nullptr);
    EXPECT_FALSE(statdata.coloursLoaded);
    EXPECT_EQ(statdata.colours.Count(), 0);
    for (int i = -1; i <= 29; ++i) EXPECT_EQ(statdata.Colour(i), 0u) << i;
    EXPECT_EQ(quor::gui::SCOL(255, 128, 0), 0u);
    EXPECT_EQ(sd.DisplayInfo(), nullptr);
    AdoptHostDisplay(nullptr);
    EXPECT_EQ(CurrentDisplay(), nullptr);
}

TEST_F(HeadlessChild, DISABLED_SharedListsAndGlobalsStillWork)
{
    int brushes = statdata.BrushCount();
    SDrawBrush* b = statdata.FindBrush(77);
    EXPECT_EQ(statdata.FindBrush(77), b);
    EXPECT_EQ(statdata.BrushCount(), brushes + 1);
    EXPECT_NE(statdata.FindPen(77), nullptr);
    SGlobals a, c;
    EXPECT_EQ(a.NextIdentifier(), 1u);
    EXPECT_EQ(c.NextIdentifier(), 1u);
}

TEST_F(HeadlessChild, DISABLED_DrawingDoesNothingAndCallsNoX)
{
    SGlobals globals;
    SDrawing surface(nullptr, &globals);
    EXPECT_EQ(surface.GetBackgroundColour(), 0);
    EXPECT_EQ(surface.GetForegroundColour(), 0);
    surface.InitDrawing(nullptr, nullptr);
    delete surface.GetDevice();
    surface.SetDevice(new SDrawDevice(12345));
    EXPECT_EQ(surface.GetDevice()->Get(), nullptr);

    SDrawPen pen(1, 1, true);
    SDrawBrush brush(2, -1, nullptr);
    SDrawFont font(10, true, false, false, nullptr);
    EXPECT_EQ(font.Id(), 0u);
    EXPECT_EQ(font.Info(), nullptr);
    surface.SetPen(&pen);
    surface.SetBrush(&brush);
    surface.SetFont(&font);
    surface.SetColours(1, 2, 3, 4, 5, 6, 7);
    surface.SetForegroundColour(true);
    surface.SetTextColour(9, false);
    surface.SetLogic(1);
    surface.SetFillMode(1);
    surface.SetFillStyle(2);
    surface.DrawBackground(Rect(0, 0, 5, 5), false);
    surface.DrawPoint(1, 1);
    surface.DrawLine(0, 0, 4, 4);
    surface.DrawRect(0, 0, 5, 5);
    surface.DrawRoundedRect(0, 0, 9, 9, 3, 3);
    surface.FillRect(0, 0, 5, 5);
    surface.FillRoundedRect(0, 0, 9, 9, 3, 3);
    surface.DrawEllipse(0, 0, 5, 5);
    surface.FillEllipse(0, 0, 5, 5);
    surface.DrawChord(0, 0, 5, 5, 0, 90);
    surface.FillChord(0, 0, 5, 5, 0, 90);
    surface.DrawPie(0, 0, 5, 5, 0, 90);
    surface.FillPie(0, 0, 5, 5, 0, 90);
    Point points[] = {Point(0, 0), Point(3, 0), Point(3, 3)};
    surface.DrawPoly(points, 3);
    surface.FillPoly(points, 3);
    surface.DrawText("Audio", 0, 0);
    surface.DrawLabel("Midi", Rect(0, 0, 40, 20), 0, Point(0, 0));
    surface.DrawLabelRect("Midi", Rect(0, 0, 40, 20), 3, Point(0, 0));
    surface.DrawRotatedText("Audio", Rect(0, 0, 40, 20), 90, 0, Point(0, 0));
    surface.DrawVerticalLabel("Audio", Rect(0, 0, 40, 20), 0, 0, Point(0, 0), false, false, nullptr);
    surface.DrawPixelNumber(0, 0, 8);
    int w = -1, h = -1;
    SDrawing::GetTextDimensions("Audio", &w, &h, &font);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);

    SDrawBitmap fromXpm(const_cast<char**>(tinyXpm), 4, 4, false);
    EXPECT_EQ(fromXpm.GetPixmap(), 0u);
    EXPECT_EQ(fromXpm.Width(), 0);
    SDrawBitmap empty(nullptr, 10, 10, false);
    EXPECT_EQ(empty.GetPixmap(), 0u);
    SDrawMemoryDevice memory(surface.GetDevice(), &empty);
    EXPECT_EQ(memory.Get(), nullptr);
    memory.Select(&fromXpm);
    surface.DrawMemory(&memory, 0, 0, 0, 0, 10, 10);
    surface.DrawMemory(&memory, Point(0, 0), Rect(0, 0, 10, 10));

    SDrawImage image(malloc(4 * 4 * 4), 4, 4, 16, 32);
    EXPECT_EQ(image.GetImage(), nullptr);
    surface.DrawImage(&image, Rect(0, 0, 4, 4), Rect(0, 0, 4, 4));
    surface.CleanDrawing();
    EXPECT_EQ(surface.GetDevice(), nullptr);
    surface.FillRect(0, 0, 5, 5);
}

// ---- the parent side

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
    ExpectCleanHeadlessRun(bwtest::RunChild("HeadlessChild.*", {"DISPLAY"}, {"BW_HEADLESS_CHILD=1"}));
}

TEST(Headless, DisplayThatRefusesConnections)
{
    struct stat st;
    ASSERT_NE(stat("/tmp/.X11-unix/X987", &st), 0) << "something listens on :987";
    ExpectCleanHeadlessRun(bwtest::RunChild("HeadlessChild.*", {}, {"BW_HEADLESS_CHILD=1", "DISPLAY=:987"}));
}

}  // namespace
