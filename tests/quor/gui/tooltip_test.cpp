// Tooltips: text laid out in bands from the font's real metrics, the tip
// drawn with its marker, placement and flipping at the screen's edges with
// the pointer moved by XTest, switching on and off. Pixels read back.

#include "GuiFixture.h"  // first: gtest before Xlib

#include "PngShot.h"
#include "ProbeControl.h"
#include "quor/gui/STextObject.h"
#include "quor/gui/SToolTip.h"
#include "quor/gui/context/SDrawFont.h"

using namespace quor::gui;
using bwtest::Locked;
using bwtest::Probe;

namespace {

const unsigned long orange = 0xFF8000, red = 0xFF0000, green = 0x00FF00;

class Tooltips : public bwtest::GuiTest {
protected:
    void SetUp() override
    {
        bwtest::GuiTest::SetUp();
        panel = bwtest::MakeOwned<Probe>(&globals, nullptr, 1, 0, 300, 300, 40, 40, Rgb(77, 81, 84));
        tip = Locked([&] { return new SToolTip(panel.get(), false); });
        ASSERT_NE(tip->Font()->Info(), nullptr) << "core fonts missing";
        lineHeight = tip->Font()->Ascent() + tip->Font()->Descent();
        XTestFakeMotionEvent(test, -1, 1270, 1010, 0);  // away from every window below
        XSync(test, False);
        WaitForPointer(1270, 1010, 0, 0);
        Settle();
    }
    void TearDown() override
    {
        controls.clear();
        panel.reset();
        bwtest::GuiTest::TearDown();
    }

    // A control at (x, y) of the screen with a tip on `side`, tips on.
    Probe* Control(int x, int y, int side)
    {
        controls.push_back(bwtest::MakeOwned<Probe>(&globals, nullptr, 10, 0, x, y, 40, 20, Rgb(0, 0, 255)));
        Probe* c = controls.back().get();
        Locked([&] {
            c->Show();
            c->SetTooltip(tip, "Display:\nAudio", side);
            tip->EnableTooltips(true);
        });
        return c;
    }
    // Where the tip opens when the pointer enters c; (-1, -1) when it does not.
    Point Enter(Probe* c)
    {
        MoveTo(c, 20, 10);
        Settle();
        Point at = Locked([&] { return tip->IsOpen() ? tip->GetScreenPosition() : Point(-1, -1); });
        MoveTo(c, 20, 300);
        Settle();
        EXPECT_FALSE(Locked([&] { return tip->IsOpen(); })) << "leaving closes the tip";
        return at;
    }
    bool Flipped() { return Locked([&] { return tip->flipped; }); }

    bwtest::Owned<Probe> panel;
    std::vector<bwtest::Owned<Probe>> controls;
    SToolTip* tip = nullptr;
    int lineHeight = 0;
};

TEST_F(Tooltips, TextIsLaidOutInBandsCentredInABoxFortyEightWiderAndTwentyHigher)
{
    // A font 100 wide with ascent 10 and descent 2 would give 148 x 32 and
    // the block (24, 6)-(124, 22).
    const int width = tip->Font()->TextWidth("Threshold");
    SToolTipData one(tip, nullptr, TIP_BELOW), right(tip, nullptr, TIP_RIGHT), three(tip, nullptr, TIP_ABOVE);
    Locked([&] {
        one.AddLabel("Threshold", 0);
        right.AddLabel("Threshold", 0);
        tip->SetBoldSecondLine(true);
        three.AddLabel("Threshold\n\nAudio", 0);
        tip->Open(&one, Point(50, 50));
    });
    EXPECT_EQ(one.width, width + 48);
    EXPECT_EQ(one.height, lineHeight + 20);
    ASSERT_EQ(one.lineRects.size(), 1u);
    EXPECT_EQ(one.lineRects[0], Rectangle(24, 6, 24 + width, 6 + lineHeight + 4));
    EXPECT_EQ(one.bounds, one.lineRects[0]);
    EXPECT_EQ(Locked([&] { return Point(tip->Width(), tip->Height()); }), Point(width + 48, lineHeight + 20));
    EXPECT_EQ(right.bounds.left, 28);  // room for the marker on the left edge

    // An empty line adds height but no line; two equal bands share the block.
    const int block = 3 * lineHeight + 4;
    ASSERT_EQ(three.lines.size(), 2u);
    ASSERT_EQ(three.lineRects.size(), 2u);
    EXPECT_EQ(three.lineRects[0], Rectangle(24, 6, 24 + width, 6 + block / 2));
    EXPECT_EQ(three.lineRects[1], Rectangle(24, 6 + block / 2, 24 + width, 6 + block));
    auto* first = dynamic_cast<STextObjectX*>(three.objects[0].get());
    auto* second = dynamic_cast<STextObjectX*>(three.objects[1].get());
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->textColour, tip->HighlightColour());
    EXPECT_EQ(second->textColour, tip->TextColour());
    EXPECT_EQ(first->font, tip->Font());
    EXPECT_EQ(second->font, tip->BoldFont());

    // Nothing but separators: no line, no band, no object, no division by
    // zero, and an empty box; a new text replaces the old objects.
    Locked([&] {
        three.AddLabel("\n\t\r\n", 0);
        EXPECT_TRUE(three.lines.empty() && three.lineRects.empty() && three.objects.empty());
        tip->Open(&three, Point(50, 50));
        EXPECT_EQ(tip->Width(), 48);
        three.AddLabel("x\ny\nz", 0);
        EXPECT_EQ(three.objects.size(), 3u);
        tip->Close();
    });
}

TEST_F(Tooltips, TheTipIsRoundedWithItsLinesInColourAndTheMarkerOnTheControlsSide)
{
    // Styled as the panel styles its tip.
    Backdrop(480, 280, 260, 100, green);
    const uint32_t slate = statdata.Colour(24), white = statdata.Colour(0);
    SToolTipData data(tip, nullptr, TIP_BELOW);
    Locked([&] {
        tip->SetColours(slate, slate, slate, white, white, white, white);
        tip->SetTipTextColour(white);
        tip->SetHighlightColour(statdata.Colour(2));
        tip->SetMarkerColour(statdata.Colour(4));
        tip->SetRounded(true);
        tip->SetBoldSecondLine(true);
        data.AddLabel("Display:\nAudio Event Indicator", 0);
        tip->Open(&data, Point(500, 300));
    });
    const int w = data.bounds.Width() + 48, h = data.bounds.Height() + 16;
    // Below the control: the marker on the top edge, pointing up.
    ASSERT_TRUE(WaitFor([&] { return ScreenPixel(500 + (w >> 1), 303) == red; }));
    EXPECT_EQ(ScreenPixel(500 + (w >> 1), 300 + h - 3), Rgb(77, 81, 84));
    // A shaped window: the corners show what lies behind; a black frame.
    EXPECT_EQ(ScreenPixel(500, 300), green);
    EXPECT_EQ(ScreenPixel(500 + w - 1, 300 + h - 1), green);
    EXPECT_EQ(ScreenPixel(510, 300), Rgb(0, 0, 0));
    int ink[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const Rectangle& band = data.lineRects[static_cast<size_t>(i)];
        for (int y = band.top; y < band.bottom; ++y)
            for (int x = band.left; x < band.right; ++x)
                ink[i] += ScreenPixel(500 + x, 300 + y) == (i == 0 ? orange : Rgb(255, 255, 255));
    }
    EXPECT_GT(ink[0], 20);
    EXPECT_GT(ink[1], 40);
    const std::string shot = bwtest::BinaryDir() + "/tooltip.png";
    EXPECT_TRUE(bwtest::WriteScreenPng(test, 492, 292, w + 16, h + 16, shot)) << shot;
    Locked([&] { tip->Close(); });
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(510, 301) == green; }));
}

TEST_F(Tooltips, PlacedBesideTheControlAndFlippedWhereTheWholeTipWouldLeaveTheScreen)
{
    // At the very top: asked above, shown below with the marker on its top
    // edge pointing up.
    Probe* top = Control(100, 0, TIP_ABOVE);
    const Rectangle b = top->GetTooltipData()->bounds;
    const int w = b.Width() + 48, h = b.Height() + 16, x = 100 + ((40 - w) >> 1);
    MoveTo(top, 20, 10);
    Settle();
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(x + (w >> 1), 20 + 3 + 3) == orange; }));
    EXPECT_EQ(Enter(top), Point(x, 20 + 3));
    EXPECT_TRUE(Flipped());
    // With room above it stays there, the marker on its bottom edge.
    Probe* lower = Control(100, 400, TIP_ABOVE);
    MoveTo(lower, 20, 10);
    Settle();
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(x + (w >> 1), 400 - 3 - 3) == orange; }));
    EXPECT_EQ(Enter(lower), Point(x, 400 - h - 3));
    EXPECT_FALSE(Flipped());
    // On the right the whole tip must fit, not only its text.
    const int right = DisplayWidth(test, DefaultScreen(test)) - 40 - 3 - b.Width() - 10;
    EXPECT_EQ(Enter(Control(right, 500, TIP_RIGHT)).x, right - 3 - w);
    EXPECT_TRUE(Flipped());
    // Switched off: entering shows nothing.
    Locked([&] { tip->EnableTooltips(false); });
    EXPECT_EQ(Enter(lower), Point(-1, -1));
}

// A tip wider than its control, of a control at the screen's edge, used to
// open partly off screen (at x = -42 in a host). At every factor the tip is
// moved sideways into the monitor, and only as far as that.
TEST_F(Tooltips, MovedSidewaysIntoTheMonitorAtEveryFactor)
{
    const int W = DisplayWidth(test, DefaultScreen(test));
    for (int f : {1, 2}) {
        Locked([&] { tip->SetScale(f); });
        // Low enough for Enter to leave them downwards on the screen.
        Probe* left = Control(0, 300, TIP_ABOVE);
        Probe* right = Control(W - 40 * f, 200, TIP_BELOW);
        Probe* middle = Control(600, 150, TIP_ABOVE);
        Locked([&] {
            for (Probe* c : {left, right, middle}) c->SetScale(f);
        });
        const Rectangle b = left->GetTooltipData()->bounds;
        const int w = (b.Width() + 48) * f, h = (b.Height() + 16) * f;
        // The marker still points at the control's middle.
        MoveTo(left, 20, 10);
        Settle();
        EXPECT_TRUE(WaitFor([&] { return ScreenPixel(20 * f, 300 - 3 * f - 3 * f) == orange; })) << f;
        EXPECT_EQ(Enter(left), Point(0, 300 - h - 3 * f)) << f;
        EXPECT_EQ(Enter(right), Point(W - w, 200 + 23 * f)) << f;
        EXPECT_EQ(Enter(middle), Point(600 + (((40 - b.Width() - 48) >> 1) * f), 150 - h - 3 * f)) << f;
        Locked([&] {
            EXPECT_EQ(tip->Width() * tip->Scale(), w);
            EXPECT_FALSE(tip->flipped);
        });
    }
}

// The indicator square of a tooltip, painted where a panel would paint it.
class TipSquare : public Probe {
public:
    TipSquare(SGlobals* g, SToolTip* t) : Probe(g, nullptr, 77, 0, 40, 40, 20, 20, 0x4D5154), tip(t) {}
    void Draw(const Rectangle& r) override
    {
        Probe::Draw(r);
        tip->DrawTiprect(drawing);
    }
    SToolTip* tip;
};

TEST_F(Tooltips, ToggledTwiceTheFlagAndTheIndicatorComeBack)
{
    Probe* c = Control(100, 100, TIP_BELOW);
    auto square = bwtest::MakeOwned<TipSquare>(&globals, tip);
    Locked([&] {
        tip->EnableTooltips(false);
        square->Show();
    });
    for (bool on : {false, true, false}) {
        EXPECT_EQ(tip->TooltipsEnabled(), on);
        EXPECT_EQ(tip->IndicatorColour(), statdata.Colour(on ? 4 : 10));
        EXPECT_EQ(Locked([&] { return (c->Flags() & SCF_TOOLTIP) != 0; }), on);
        EXPECT_TRUE(WaitFor([&] { return PixelAt(square.get(), 5, 5) == (on ? red : Rgb(0, 0, 255)); }));
        EXPECT_TRUE(WaitFor([&] { return PixelAt(square.get(), 12, 12) == Rgb(77, 81, 84); }));  // outside (1, 1)-(10, 10)
        Locked([&] {
            tip->ToggleTooltips();
            square->Refresh();
        });
    }
}

TEST_F(Tooltips, ControlsAndTipsMayGoInEitherOrder)
{
    Control(100, 100, TIP_BELOW);
    Probe* b = Control(200, 100, TIP_BELOW);
    MoveTo(controls[0].get(), 10, 10);
    Settle();
    ASSERT_TRUE(WaitFor([&] { return Locked([&] { return tip->IsOpen(); }); }));
    // The control goes while its text is shown: the tip closes and forgets it.
    controls.front().reset();
    EXPECT_FALSE(Locked([&] { return tip->IsOpen() || tip->Data(); }));
    EXPECT_EQ(tip->Controls(), std::vector<SControl*>{b});
    Locked([&] { b->SetTooltip(tip, "again", TIP_BELOW); });
    EXPECT_EQ(tip->Controls().size(), 1u);
    // The tip goes first: the control keeps its text and shows nothing.
    Locked([&] { panel->Remove(tip, true); });
    EXPECT_EQ(Locked([&] { return b->GetTooltipData()->tooltip; }), nullptr);
    MoveTo(b, 10, 10);
    Settle();
}

}  // namespace
