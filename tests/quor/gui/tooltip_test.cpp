// Tooltips: text laid out in bands from the font's real metrics, the tip
// drawn with its marker, placement and flipping at the screen's edges with
// the pointer moved by XTest, and switching tooltips on and off. Pixels are
// read back from the server.

#include "GuiFixture.h"  // first: gtest before Xlib

#include <string>

#include "PngShot.h"
#include "ProbeControl.h"
#include "quor/gui/STextObject.h"
#include "quor/gui/SToolTip.h"
#include "quor/gui/context/SDrawFont.h"

using namespace quor::gui;
using bwtest::Locked;
using bwtest::Probe;

namespace {

// The indicator square of a tooltip, painted where a panel would paint it.
class TipSquare : public Probe {
public:
    TipSquare(SGlobals* g, int x, int y) : Probe(g, nullptr, 77, 0, x, y, 20, 20, 0x4D5154) {}
    void Draw(const Rectangle& r) override
    {
        Probe::Draw(r);
        if (tip) tip->DrawTiprect(drawing);
    }
    SToolTip* tip = nullptr;
};

class Tooltips : public bwtest::GuiTest {
protected:
    void SetUp() override
    {
        bwtest::GuiTest::SetUp();
        panel = bwtest::MakeOwned<Probe>(&globals, nullptr, 1, 0, 300, 300, 400, 200, Rgb(77, 81, 84));
        // Away from every window made below.
        XTestFakeMotionEvent(test, -1, 1270, 1010, 0);
        Settle();
        tip = Locked([&] { return new SToolTip(panel.get(), false); });
        font = tip->Font();
        ASSERT_NE(font->Info(), nullptr) << "core fonts missing";
        lineHeight = font->Ascent() + font->Descent();
    }
    void TearDown() override
    {
        controls.clear();
        panel.reset();
        bwtest::GuiTest::TearDown();
    }

    // A control at (x, y) of the screen.
    Probe* Control(int x, int y, int w, int h)
    {
        controls.push_back(bwtest::MakeOwned<Probe>(&globals, nullptr, 10 + static_cast<unsigned>(controls.size()), 0,
                                                    x, y, w, h, Rgb(0, 0, 255)));
        Probe* c = controls.back().get();
        Locked([&] { c->Show(); });
        return c;
    }

    Point TipPosition()
    {
        return Locked([&] { return tip->GetScreenPosition(); });
    }

    bwtest::Owned<Probe> panel;
    std::vector<bwtest::Owned<Probe>> controls;
    SToolTip* tip = nullptr;
    context::SDrawFont* font = nullptr;
    int lineHeight = 0;
};

TEST_F(Tooltips, OneLineIsCentredInABoxFortyEightWiderAndTwentyHigher)
{
    const char* text = "Option: threshold";
    const int width = font->TextWidth(text);
    SToolTipData data(tip, nullptr, TIP_BELOW);
    Locked([&] { data.AddLabel(text, 0); });
    // A font 100 wide with ascent 10 and descent 2 would give 148 x 32 and
    // the block (24, 6)-(124, 22).
    EXPECT_EQ(data.width, width + 48);
    EXPECT_EQ(data.height, lineHeight + 20);
    ASSERT_EQ(data.lineRects.size(), 1u);
    EXPECT_EQ(data.lineRects[0], Rectangle(24, 6, 24 + width, 6 + lineHeight + 4));
    EXPECT_EQ(data.bounds, data.lineRects[0]);
    ASSERT_EQ(data.objects.size(), 1u);
    auto* line = dynamic_cast<STextObjectX*>(data.objects[0].get());
    ASSERT_NE(line, nullptr);
    EXPECT_STREQ(line->text.Text(), text);
    EXPECT_EQ(line->font, font);
    EXPECT_EQ(line->textColour, tip->HighlightColour());

    // On the right the marker takes the left edge: the text moves right.
    SToolTipData right(tip, nullptr, TIP_RIGHT), left(tip, nullptr, TIP_LEFT);
    Locked([&] {
        right.AddLabel(text, 0);
        left.AddLabel(text, 0);
    });
    EXPECT_EQ(right.bounds.left, 28);
    EXPECT_EQ(left.bounds.left, 20);

    // The window takes the content's size; the empty text is a bare box.
    Locked([&] { tip->Open(&data, Point(50, 50)); });
    EXPECT_EQ(Locked([&] { return tip->Width(); }), width + 48);
    EXPECT_EQ(Locked([&] { return tip->Height(); }), lineHeight + 20);
    Locked([&] {
        data.AddLabel("", 0);
        EXPECT_EQ(data.bounds, Rectangle(24, 6, 24, 10));
        tip->Open(&data, Point(50, 50));
        EXPECT_EQ(tip->Width(), 48);
        EXPECT_EQ(tip->Height(), 20);
        tip->Close();
    });
}

TEST_F(Tooltips, LinesShareTheBlockInBandsAndEmptyLinesOnlyAddHeight)
{
    SToolTipData data(tip, nullptr, TIP_ABOVE);
    Locked([&] {
        tip->SetBoldSecondLine(true);
        data.AddLabel("Display:\n\nAudio Event Indicator", 0);
    });
    const int width = font->TextWidth("Audio Event Indicator");
    const int block = 3 * lineHeight + 4;
    ASSERT_EQ(data.lines.size(), 2u);
    EXPECT_STREQ(data.lines[1].Text(), "Audio Event Indicator");
    EXPECT_EQ(data.height, 3 * lineHeight + 20);
    ASSERT_EQ(data.lineRects.size(), 2u);
    EXPECT_EQ(data.lineRects[0], Rectangle(24, 6, 24 + width, 6 + block / 2));
    EXPECT_EQ(data.lineRects[1], Rectangle(24, 6 + block / 2, 24 + width, 6 + block));
    ASSERT_EQ(data.objects.size(), 2u);
    auto* first = dynamic_cast<STextObjectX*>(data.objects[0].get());
    auto* second = dynamic_cast<STextObjectX*>(data.objects[1].get());
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->textColour, tip->HighlightColour());
    EXPECT_EQ(second->textColour, tip->TextColour());
    EXPECT_EQ(first->font, tip->Font());
    EXPECT_EQ(second->font, tip->BoldFont());

    // A new text replaces the old objects instead of drawing over them.
    Locked([&] { data.AddLabel("x\ny\nz", 0); });
    EXPECT_EQ(data.objects.size(), 3u);
    EXPECT_EQ(data.lineRects.back().bottom, 6 + 3 * lineHeight + 4);

    // Nothing but separators: no line, no band, no object, no division by
    // zero; the tip still opens as an empty box.
    Locked([&] {
        data.AddLabel("\n\t\r\n", 0);
        EXPECT_TRUE(data.lines.empty());
        EXPECT_TRUE(data.lineRects.empty());
        EXPECT_TRUE(data.objects.empty());
        EXPECT_EQ(data.bounds, Rectangle());
        tip->Open(&data, Point(40, 40));
        EXPECT_EQ(tip->Width(), 48);
        tip->Close();
    });

    // Without a font of its tooltip nothing is laid out.
    SToolTipData orphan(nullptr, nullptr, TIP_ABOVE);
    orphan.AddLabel("text", 0);
    EXPECT_TRUE(orphan.lines.empty());
}

TEST_F(Tooltips, TheTipIsDrawnFramedWithRedFirstLineBlackTextAndItsMarker)
{
    SToolTipData data(tip, nullptr, TIP_BELOW);
    Locked([&] { data.AddLabel("HHHH HHHH\nMMMM MMMM", 0); });
    Locked([&] { tip->Open(&data, Point(500, 100)); });
    const int w = data.bounds.Width() + 48, h = data.bounds.Height() + 16;
    // Below the control: the marker sits on the top edge, pointing up.
    ASSERT_TRUE(WaitFor([&] { return ScreenPixel(500 + (w >> 1), 103) == Rgb(255, 128, 0); }));
    EXPECT_EQ(ScreenPixel(500, 100 + h / 2), Rgb(0, 0, 0));          // frame
    EXPECT_EQ(ScreenPixel(500 + 3, 100 + h / 2), Rgb(255, 255, 255)); // inside
    EXPECT_EQ(ScreenPixel(500 + (w >> 1), 100 + h - 4), Rgb(255, 255, 255));
    int red = 0, black = 0;
    for (int i = 0; i < 2; ++i) {
        const Rectangle& band = data.lineRects[static_cast<size_t>(i)];
        for (int y = band.top; y < band.bottom; ++y) {
            for (int x = band.left; x < band.right; ++x) {
                unsigned long p = ScreenPixel(500 + x, 100 + y);
                (i == 0 ? red : black) += p == (i == 0 ? Rgb(255, 0, 0) : Rgb(0, 0, 0));
            }
        }
    }
    EXPECT_GT(red, 20);
    EXPECT_GT(black, 20);

    // Styled as the panel styles its tip: slate, white text, the first line
    // orange, the second bold, a red marker, rounded (a shaped window whose
    // corners show what lies behind).
    Backdrop(480, 280, 260, 100, Rgb(0, 255, 0));
    const uint32_t slate = statdata.Colour(24), white = statdata.Colour(0), orange = statdata.Colour(2);
    SToolTipData styled(tip, nullptr, TIP_BELOW);
    Locked([&] {
        tip->SetColours(slate, slate, slate, white, white, white, white);
        tip->SetTipTextColour(white);
        tip->SetHighlightColour(orange);
        tip->SetMarkerColour(statdata.Colour(4));
        tip->SetRounded(true);
        tip->SetBoldSecondLine(true);
        styled.AddLabel("Display:\nAudio Event Indicator", 0);
        tip->Open(&styled, Point(500, 300));
    });
    const int sw = styled.bounds.Width() + 48, sh = styled.bounds.Height() + 16;
    ASSERT_TRUE(WaitFor([&] { return ScreenPixel(500 + (sw >> 1), 303) == Rgb(255, 0, 0); }));
    EXPECT_EQ(ScreenPixel(500, 300), Rgb(0, 255, 0));
    EXPECT_EQ(ScreenPixel(500 + sw - 1, 300 + sh - 1), Rgb(0, 255, 0));
    EXPECT_EQ(ScreenPixel(500 + 10, 300), Rgb(0, 0, 0));  // the rounded frame
    EXPECT_EQ(ScreenPixel(500 + 10, 301), Rgb(77, 81, 84));
    int inOrange = 0, inWhite = 0;
    for (int i = 0; i < 2; ++i) {
        const Rectangle& band = styled.lineRects[static_cast<size_t>(i)];
        for (int y = band.top; y < band.bottom; ++y)
            for (int x = band.left; x < band.right; ++x)
                (i == 0 ? inOrange : inWhite) +=
                    ScreenPixel(500 + x, 300 + y) == (i == 0 ? Rgb(255, 128, 0) : Rgb(255, 255, 255));
    }
    EXPECT_GT(inOrange, 20);
    EXPECT_GT(inWhite, 40);
    const std::string shot = bwtest::BinaryDir() + "/tooltip.png";
    EXPECT_TRUE(bwtest::WriteScreenPng(test, 492, 292, sw + 16, sh + 16, shot)) << shot;
    Locked([&] { tip->Close(); });
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(500 + 10, 300 + 1) == Rgb(0, 255, 0); }));
}

TEST_F(Tooltips, PlacedBesideTheControlAndFlippedWhereTheScreenEnds)
{
    const int screenW = DisplayWidth(test, DefaultScreen(test));
    // At the very top: asked above, shown below with the marker pointing up.
    Probe* top = Control(100, 0, 40, 20);
    Locked([&] {
        top->SetTooltip(tip, "Display:\nAudio", TIP_ABOVE);
        tip->EnableTooltips(true);
    });
    const Rectangle bounds = top->GetTooltipData()->bounds;
    const int w = bounds.Width() + 48, h = bounds.Height() + 16;
    MoveTo(top, 20, 10);
    Settle();
    ASSERT_TRUE(WaitFor([&] { return Locked([&] { return tip->IsOpen(); }); }));
    EXPECT_TRUE(Locked([&] { return tip->flipped; }));
    EXPECT_EQ(TipPosition(), Point(100 + ((40 - w) >> 1), 20 + 3));
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(100 + ((40 - w) >> 1) + (w >> 1), 23 + 3) == Rgb(255, 128, 0); }));
    // Leaving the control closes it.
    MoveTo(top, 20, 150);
    Settle();
    EXPECT_FALSE(Locked([&] { return tip->IsOpen(); }));

    // Room above: not flipped, the marker on the bottom edge.
    Probe* lower = Control(100, 400, 40, 20);
    Locked([&] {
        lower->SetTooltip(tip, "Display:\nAudio", TIP_ABOVE);
        tip->EnableTooltips(true);
    });
    MoveTo(lower, 20, 10);
    Settle();
    ASSERT_TRUE(WaitFor([&] { return Locked([&] { return tip->IsOpen(); }); }));
    EXPECT_FALSE(Locked([&] { return tip->flipped; }));
    EXPECT_EQ(TipPosition(), Point(100 + ((40 - w) >> 1), 400 - h - 3));
    EXPECT_TRUE(
        WaitFor([&] { return ScreenPixel(100 + ((40 - w) >> 1) + (w >> 1), 400 - 3 - 3) == Rgb(255, 128, 0); }));
    MoveTo(lower, 20, 150);
    Settle();

    // On the right, the whole tip must fit, not just its text: a control
    // whose tip would stick out by less than the margins still flips left.
    const int x = screenW - 40 - 3 - bounds.Width() - 10;
    Probe* edge = Control(x, 500, 40, 20);
    Locked([&] {
        edge->SetTooltip(tip, "Display:\nAudio", TIP_RIGHT);
        tip->EnableTooltips(true);
    });
    MoveTo(edge, 20, 10);
    Settle();
    ASSERT_TRUE(WaitFor([&] { return Locked([&] { return tip->IsOpen(); }); }));
    EXPECT_TRUE(Locked([&] { return tip->flipped; }));
    EXPECT_EQ(TipPosition().x, x - 3 - w);
    // Flipped to the left: the marker on the right edge, pointing right.
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(x - 3 - 3, TipPosition().y + (h >> 1)) == Rgb(255, 128, 0); }));
    MoveTo(edge, 20, 150);
    Settle();

    // Switched off: entering shows nothing.
    Locked([&] { tip->EnableTooltips(false); });
    MoveTo(lower, 20, 10);
    Settle();
    EXPECT_FALSE(Locked([&] { return tip->IsOpen(); }));
}

TEST_F(Tooltips, ToggledTwiceTheFlagAndTheIndicatorComeBack)
{
    auto square = bwtest::MakeOwned<TipSquare>(&globals, 40, 40);
    Probe* c = Control(100, 100, 20, 20);
    Locked([&] {
        c->SetTooltip(tip, "tip", TIP_BELOW);
        square->tip = tip;
        square->Show();
    });
    const uint32_t blue = statdata.Colour(10), red = statdata.Colour(4);
    EXPECT_FALSE(tip->TooltipsEnabled());
    EXPECT_EQ(tip->IndicatorColour(), blue);
    EXPECT_TRUE(WaitFor([&] { return PixelAt(square.get(), 5, 5) == Rgb(0, 0, 255); }));
    EXPECT_EQ(PixelAt(square.get(), 12, 12), Rgb(77, 81, 84));  // outside (1, 1)-(10, 10)
    Locked([&] {
        tip->ToggleTooltips();
        square->Refresh();
    });
    EXPECT_TRUE(tip->TooltipsEnabled());
    EXPECT_EQ(tip->IndicatorColour(), red);
    EXPECT_TRUE(Locked([&] { return (c->Flags() & SCF_TOOLTIP) != 0; }));
    EXPECT_TRUE(WaitFor([&] { return PixelAt(square.get(), 5, 5) == Rgb(255, 0, 0); }));
    Locked([&] {
        tip->ToggleTooltips();
        square->Refresh();
    });
    EXPECT_FALSE(tip->TooltipsEnabled());
    EXPECT_EQ(tip->IndicatorColour(), blue);
    EXPECT_FALSE(Locked([&] { return (c->Flags() & SCF_TOOLTIP) != 0; }));
    EXPECT_TRUE(WaitFor([&] { return PixelAt(square.get(), 5, 5) == Rgb(0, 0, 255); }));
}

TEST_F(Tooltips, ControlsAndTipsMayGoInEitherOrder)
{
    Probe* a = Control(100, 100, 30, 20);
    Probe* b = Control(200, 100, 30, 20);
    Locked([&] {
        a->SetTooltip(tip, "a", TIP_BELOW);
        b->SetTooltip(tip, "b", TIP_BELOW);
        tip->EnableTooltips(true);
    });
    EXPECT_EQ(tip->Controls().size(), 2u);
    MoveTo(a, 10, 10);
    Settle();
    ASSERT_TRUE(WaitFor([&] { return Locked([&] { return tip->IsOpen(); }); }));
    // The control goes while its text is shown: the tip closes and forgets it.
    controls.front().reset();
    Settle();
    EXPECT_FALSE(Locked([&] { return tip->IsOpen(); }));
    EXPECT_EQ(Locked([&] { return tip->Data(); }), nullptr);
    ASSERT_EQ(tip->Controls().size(), 1u);
    EXPECT_EQ(tip->Controls()[0], b);

    // A new text replaces the old data, and the control stays listed once.
    Locked([&] { b->SetTooltip(tip, "b again", TIP_BELOW); });
    EXPECT_EQ(tip->Controls().size(), 1u);

    // The tip goes first: the control keeps its text, entering shows nothing.
    Locked([&] { panel->Remove(tip, true); });
    EXPECT_EQ(Locked([&] { return b->GetTooltipData()->tooltip; }), nullptr);
    MoveTo(b, 10, 10);
    Settle();
    MoveTo(b, 10, 100);
    Settle();
}

}  // namespace
