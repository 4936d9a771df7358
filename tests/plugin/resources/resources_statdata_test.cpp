// The shared GUI state after load: the colour table as the server sees it,
// SCOL, and the shared brush and pen lists.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "plugin/SStaticData.h"
#include "quor/gui/SCOL.h"
#include "quor/gui/context/SDisplayHandles.h"
#include "quor/gui/context/SDrawBrush.h"
#include "quor/gui/context/SDrawFont.h"
#include "quor/gui/context/SDrawPen.h"

using quor::gui::SCOL;
using quor::gui::context::CurrentDisplay;

namespace {

struct RGB8 {
    int r, g, b;
};

// The colour the server holds for a pixel, back in 8-bit components.
RGB8 QueryColour(unsigned long pixel)
{
    Display* d = CurrentDisplay();
    XColor c = {};
    c.pixel = pixel;
    XQueryColor(d, DefaultColormap(d, 0), &c);
    return RGB8{c.red >> 8, c.green >> 8, c.blue >> 8};
}

class Statdata : public ::testing::Test {
protected:
    void SetUp() override
    {
        alarm(60);
        ASSERT_NE(CurrentDisplay(), nullptr) << "needs an X server (tools/with-xvfb.sh)";
    }
    void TearDown() override { alarm(0); }
};

TEST_F(Statdata, ColourTableIsFullAfterLoad)
{
    EXPECT_TRUE(statdata.coloursLoaded);
    ASSERT_EQ(statdata.colours.Count(), 29);
    Display* d = CurrentDisplay();
    EXPECT_EQ(statdata.Colour(20), static_cast<uint32_t>(BlackPixel(d, 0)));
    EXPECT_EQ(statdata.Colour(0), static_cast<uint32_t>(WhitePixel(d, 0)));
    struct {
        int index;
        RGB8 rgb;
    } samples[] = {{0, {255, 255, 255}}, {2, {255, 128, 0}}, {4, {255, 0, 0}}, {13, {0, 255, 0}},
                   {20, {0, 0, 0}},      {23, {138, 145, 150}}, {24, {77, 81, 84}}, {26, {44, 44, 44}}};
    for (auto& s : samples) {
        RGB8 got = QueryColour(statdata.Colour(s.index));
        EXPECT_EQ(got.r, s.rgb.r) << "entry " << s.index;
        EXPECT_EQ(got.g, s.rgb.g) << "entry " << s.index;
        EXPECT_EQ(got.b, s.rgb.b) << "entry " << s.index;
    }
    // Every entry is a colour of its own but for none: 29 distinct pixels.
    for (int i = 0; i < 29; ++i)
        for (int j = i + 1; j < 29; ++j) EXPECT_NE(statdata.Colour(i), statdata.Colour(j)) << i << " " << j;
    // Outside the table: black, never memory beyond it.
    EXPECT_EQ(statdata.Colour(29), 0u);
    EXPECT_EQ(statdata.Colour(-1), 0u);
}

TEST_F(Statdata, TheRingTakesNoMoreThanItsCapacity)
{
    SColourRing ring;
    for (uint32_t i = 0; i < 29; ++i) EXPECT_TRUE(ring.Add(i + 100));
    EXPECT_FALSE(ring.Add(1));
    EXPECT_EQ(ring.Count(), 29);
    EXPECT_EQ(ring[0], 100u);
    EXPECT_EQ(ring[28], 128u);
}

TEST_F(Statdata, ScolAsksTheServerEachTime)
{
    RGB8 orange = QueryColour(SCOL(255, 128, 0));
    EXPECT_EQ(orange.r, 255);
    EXPECT_EQ(orange.g, 128);
    EXPECT_EQ(orange.b, 0);
    EXPECT_EQ(SCOL(44, 44, 44), statdata.Colour(26));
    // Components beyond 0..255 are held to the range.
    EXPECT_EQ(SCOL(300, -5, 255), SCOL(255, 0, 255));
}

TEST_F(Statdata, FindBrushAndFindPenMakeOneObjectPerColour)
{
    const quor::gui::context::SPixel colour = SCOL(1, 2, 3);
    int brushes = statdata.BrushCount();
    quor::gui::context::SDrawBrush* brush = statdata.FindBrush(colour);
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(statdata.FindBrush(colour), brush);
    EXPECT_EQ(statdata.BrushCount(), brushes + 1);
    EXPECT_EQ(brush->colour, colour);
    EXPECT_EQ(brush->style, -1);
    EXPECT_EQ(brush->bitmap, nullptr);
    EXPECT_NE(statdata.FindBrush(colour + 1), brush);
    EXPECT_EQ(statdata.BrushCount(), brushes + 2);

    int pens = statdata.PenCount();
    quor::gui::context::SDrawPen* pen = statdata.FindPen(colour);
    EXPECT_EQ(statdata.FindPen(colour), pen);
    EXPECT_EQ(statdata.PenCount(), pens + 1);
    EXPECT_EQ(pen->colour, colour);
    EXPECT_EQ(pen->width, 1);
    EXPECT_FALSE(pen->dashed);
}

// A brush with a style matches by its second colour.
TEST_F(Statdata, FindBrushMatchesTheEffectiveColour)
{
    const quor::gui::context::SPixel colour = 0x123456;
    auto* styled = new quor::gui::context::SDrawBrush(0x654321, 0, nullptr);
    styled->secondColour = colour;
    statdata.brushes.Add(styled);
    EXPECT_EQ(statdata.FindBrush(colour), styled);
    EXPECT_NE(statdata.FindBrush(0x654321), styled);
}

TEST_F(Statdata, FindFontMakesOneSharedFontPerSizeAndBoldness)
{
    using quor::gui::context::SDrawFont;
    // Italic and family fonts of the same size are not the shared font.
    statdata.AddFont(new SDrawFont(9, false, true, false, nullptr));
    statdata.AddFont(new SDrawFont(9, false, false, false, "adobe-helvetica"));
    const int fonts = statdata.FontCount();
    SDrawFont* font = statdata.FindFont(9, false);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(statdata.FindFont(9, false), font);
    EXPECT_EQ(statdata.FontCount(), fonts + 1);
    EXPECT_EQ(font->Size(), 9);
    EXPECT_FALSE(font->Bold());
    EXPECT_FALSE(font->Italic());
    EXPECT_FALSE(font->HasFamily());
    EXPECT_NE(font->Info(), nullptr) << font->Name().Text();
    EXPECT_EQ(std::string(font->Name().Text()), SDrawFont::FirstName(9, false, false, nullptr).Text());

    SDrawFont* bold = statdata.FindFont(9, true);
    EXPECT_NE(bold, font);
    EXPECT_TRUE(bold->Bold());
    EXPECT_EQ(statdata.FindFont(9, true), bold);
    EXPECT_EQ(statdata.FontCount(), fonts + 2);

    // Threads asking at once for a font nobody has made yet share one.
    SDrawFont* seen[4] = {};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) threads.emplace_back([&seen, i] { seen[i] = statdata.FindFont(11, true); });
    for (auto& t : threads) t.join();
    for (SDrawFont* f : seen) EXPECT_EQ(f, seen[0]);
    EXPECT_EQ(statdata.FontCount(), fonts + 3);
}

}  // namespace
