// Shapes, colours, pens, brushes, logic and fill settings of the drawing
// surface, checked by reading the pixels back from the server.

#include <gtest/gtest.h>

#include <cmath>
#include <type_traits>

#include "plugin/SGlobals.h"
#include "plugin/SStaticData.h"
#include "quor/gui/SCOL.h"
#include "quor/gui/context/SDrawBrush.h"
#include "quor/gui/context/SDrawFont.h"
#include "quor/gui/context/SDrawPen.h"
#include "xfixture.h"

using quor::gui::SCOL;
using quor::gui::context::SDrawBrush;
using quor::gui::context::SDrawDevice;
using quor::gui::context::SDrawFont;
using quor::gui::context::SDrawing;
using quor::gui::context::SDrawPen;
using quor::gui::context::SPixel;
typedef SDrawing::Point Point;
typedef SDrawing::Rectangle Rect;

namespace {

const unsigned long black = 0;

class Shapes : public bwtest::XServerTest {
protected:
    void SetUp() override
    {
        bwtest::XServerTest::SetUp();
        if (HasFatalFailure()) return;
        white = SCOL(255, 255, 255);
        pixmap = NewPixmap(W, H, black);
        surface = SurfaceOn(pixmap);
        SDrawPen pen(static_cast<SPixel>(white), 1, false);
        surface->SetPen(&pen);
    }
    std::string Drawn() { return Read(pixmap, W, H).Map(white); }

    static constexpr int W = 24;
    static constexpr int H = 24;
    unsigned long white = 0;
    Pixmap pixmap = 0;
    std::unique_ptr<SDrawing> surface;
};

TEST_F(Shapes, RectOutlineAndFillCoverTheSameColumnsAndRows)
{
    surface->DrawRect(2, 3, 12, 13);
    EXPECT_EQ(Drawn(), bwtest::Expect(W, H, [](int x, int y) {
                  return x >= 2 && x <= 11 && y >= 3 && y <= 12 && (x == 2 || x == 11 || y == 3 || y == 12);
              }));
    Fill(pixmap, 0, 0, W, H, black);
    surface->FillRect(2, 3, 12, 13);
    EXPECT_EQ(Drawn(), bwtest::Expect(W, H, [](int x, int y) { return x >= 2 && x <= 11 && y >= 3 && y <= 12; }));
}

TEST_F(Shapes, ZeroOriginRectanglesOfTenCoverPixelsZeroToNine)
{
    surface->DrawRect(Rect(0, 0, 10, 10));
    EXPECT_EQ(Drawn(), bwtest::Expect(W, H, [](int x, int y) {
                  return x <= 9 && y <= 9 && (x == 0 || x == 9 || y == 0 || y == 9);
              }));
    surface->FillRect(Point(0, 0), Point(10, 10));
    EXPECT_EQ(Drawn(), bwtest::Expect(W, H, [](int x, int y) { return x <= 9 && y <= 9; }));
}

TEST_F(Shapes, EmptyAndInvertedRectanglesDrawNothing)
{
    surface->DrawRect(5, 5, 5, 5);
    surface->DrawRect(9, 9, 4, 20);
    surface->FillRect(5, 5, 5, 9);
    surface->FillRect(8, 8, 3, 3);
    surface->DrawRoundedRect(8, 8, 3, 3, 4, 4);
    surface->FillRoundedRect(8, 8, 8, 20, 4, 4);
    surface->DrawEllipse(8, 8, 3, 3);
    EXPECT_EQ(Drawn(), bwtest::Expect(W, H, [](int, int) { return false; }));
}

TEST_F(Shapes, RoundedRectanglesLeaveTheCornersOut)
{
    surface->FillRoundedRect(2, 2, 22, 22, 8, 8);
    bwtest::Grab filled = Read(pixmap, W, H);
    for (Point corner : {Point(2, 2), Point(21, 2), Point(2, 21), Point(21, 21)})
        EXPECT_NE(filled.At(corner.x, corner.y), white) << corner.x << "," << corner.y;
    for (Point edge : {Point(12, 2), Point(12, 21), Point(2, 12), Point(21, 12), Point(12, 12)})
        EXPECT_EQ(filled.At(edge.x, edge.y), white) << edge.x << "," << edge.y;
    for (int i = 0; i < W; ++i) {
        EXPECT_NE(filled.At(i, 22), white);
        EXPECT_NE(filled.At(22, i), white);
    }

    Fill(pixmap, 0, 0, W, H, black);
    surface->DrawRoundedRect(Rect(2, 2, 22, 22), 8, 8);
    bwtest::Grab outline = Read(pixmap, W, H);
    for (Point corner : {Point(2, 2), Point(21, 2), Point(2, 21), Point(21, 21)})
        EXPECT_NE(outline.At(corner.x, corner.y), white) << corner.x << "," << corner.y;
    for (Point edge : {Point(12, 2), Point(12, 21), Point(2, 12), Point(21, 12)})
        EXPECT_EQ(outline.At(edge.x, edge.y), white) << edge.x << "," << edge.y;
    EXPECT_NE(outline.At(12, 12), white);
    for (int i = 0; i < W; ++i) {
        EXPECT_NE(outline.At(i, 22), white);
        EXPECT_NE(outline.At(22, i), white);
    }
}

TEST_F(Shapes, PolylinesStayOpenAndNeedTwoPoints)
{
    Point one[] = {Point(3, 3)};
    surface->DrawPoly(one, 1);
    surface->DrawPoly(nullptr, 5);
    surface->FillPoly(one, 1);
    EXPECT_EQ(Drawn(), bwtest::Expect(W, H, [](int, int) { return false; }));

    Point corner[] = {Point(2, 2), Point(20, 2), Point(20, 20)};
    surface->DrawPoly(corner, 3);
    bwtest::Grab g = Read(pixmap, W, H);
    EXPECT_EQ(g.At(10, 2), white);
    EXPECT_EQ(g.At(20, 10), white);
    EXPECT_NE(g.At(11, 11), white) << "the figure must not be closed";
}

TEST_F(Shapes, FillModeDecidesTheInsideOfASelfCrossingPolygon)
{
    // A pentagram: its centre is inside by winding, outside by even-odd.
    Point star[5];
    for (int i = 0; i < 5; ++i) {
        double a = -M_PI / 2 + i * 4 * M_PI / 5;
        star[i] = Point(12 + static_cast<int>(std::lround(11 * std::cos(a))),
                        12 + static_cast<int>(std::lround(11 * std::sin(a))));
    }
    surface->SetFillMode(EvenOddRule);
    surface->FillPoly(star, 5);
    EXPECT_NE(Read(pixmap, W, H).At(12, 12), white);
    surface->SetFillMode(WindingRule);
    EXPECT_EQ(surface->GetFillMode(), WindingRule);
    EXPECT_EQ(surface->GetPreviousFillMode(), EvenOddRule);
    surface->FillPoly(star, 5);
    EXPECT_EQ(Read(pixmap, W, H).At(12, 12), white);
}

TEST_F(Shapes, PiesAndChordsCutTheirQuarterDifferently)
{
    // Quarter from 0 to 90 degrees (counter-clockwise from three o'clock) in
    // the circle of centre (10, 10): (17, 4) is in both; (12, 8) is between
    // the chord and the centre, so only in the pie.
    surface->FillPie(0, 0, 20, 20, 0, 90);
    bwtest::Grab pie = Read(pixmap, W, H);
    EXPECT_EQ(pie.At(17, 4), white);
    EXPECT_EQ(pie.At(12, 8), white);
    EXPECT_NE(pie.At(5, 14), white);

    Fill(pixmap, 0, 0, W, H, black);
    surface->FillChord(0, 0, 20, 20, 0, 90);
    bwtest::Grab chord = Read(pixmap, W, H);
    EXPECT_EQ(chord.At(17, 4), white);
    EXPECT_NE(chord.At(12, 8), white);

    Fill(pixmap, 0, 0, W, H, black);
    surface->FillEllipse(0, 0, 20, 20);
    bwtest::Grab ellipse = Read(pixmap, W, H);
    EXPECT_EQ(ellipse.At(10, 10), white);
    EXPECT_EQ(ellipse.At(5, 14), white);
    EXPECT_NE(ellipse.At(1, 1), white);

    Fill(pixmap, 0, 0, W, H, black);
    surface->DrawEllipse(0, 0, 20, 20);
    bwtest::Grab ring = Read(pixmap, W, H);
    EXPECT_NE(ring.At(10, 10), white);
    EXPECT_EQ(ring.At(10, 0), white);
}

TEST_F(Shapes, LinesAndPoints)
{
    surface->DrawPoint(Point(4, 5));
    surface->DrawLine(Point(2, 10), Point(12, 10));
    bwtest::Grab g = Read(pixmap, W, H);
    EXPECT_EQ(g.At(4, 5), white);
    for (int x = 3; x < 11; ++x) EXPECT_EQ(g.At(x, 10), white) << x;
    EXPECT_NE(g.At(12, 11), white);
}

TEST_F(Shapes, DashedPensLeaveGaps)
{
    SDrawPen dashed(static_cast<SPixel>(white), 1, true);
    surface->SetPen(&dashed);
    surface->DrawLine(0, 5, W, 5);
    std::string row = Read(pixmap, W, H).Map(white).substr(static_cast<size_t>(5 * (W + 1)), W);
    EXPECT_NE(row.find('#'), std::string::npos) << row;
    EXPECT_NE(row.find('.'), std::string::npos) << row;
}

// The GC foreground is shared: whichever of pen, brush and foreground colour
// was set last paints.
TEST_F(Shapes, PenBrushAndForegroundShareOneForeground)
{
    unsigned long red = SCOL(255, 0, 0);
    unsigned long green = SCOL(0, 255, 0);
    SDrawPen redPen(static_cast<int>(red), 1, false);
    SDrawBrush greenBrush(static_cast<SPixel>(green), -1, nullptr);
    surface->SetPen(&redPen);
    surface->SetBrush(&greenBrush);
    EXPECT_EQ(surface->GetBrush(), &greenBrush);
    surface->FillRect(0, 0, 4, 4);
    surface->SetPen(&redPen);
    surface->FillRect(4, 0, 8, 4);
    surface->SetPen(nullptr);
    surface->FillRect(8, 0, 12, 4);
    surface->SetColours(0, 0, 0, static_cast<SPixel>(white), static_cast<SPixel>(green), 0, 0);
    surface->SetForegroundColour(true);
    surface->FillRect(12, 0, 16, 4);
    surface->SetBrush(nullptr);
    EXPECT_EQ(surface->GetBrush(), nullptr);
    surface->FillRect(16, 0, 20, 4);
    bwtest::Grab g = Read(pixmap, W, H);
    EXPECT_EQ(g.At(1, 1), green);
    EXPECT_EQ(g.At(5, 1), red);
    EXPECT_EQ(g.At(9, 1), red);
    EXPECT_EQ(g.At(13, 1), green);
    EXPECT_EQ(g.At(17, 1), green);

    // A brush with a style paints its second colour.
    SDrawBrush styled(static_cast<int>(red), 0, nullptr);
    styled.secondColour = static_cast<SPixel>(white);
    EXPECT_EQ(styled.EffectiveColour(), static_cast<SPixel>(white));
    surface->SetBrush(&styled);
    surface->FillRect(0, 10, 4, 14);
    EXPECT_EQ(Read(pixmap, W, H).At(1, 11), white);
}

unsigned long Apply(int code, unsigned long s, unsigned long d)
{
    switch (code) {
    case 0: return 0;
    case 1: return s ^ d;
    case 2: return ~d;
    case 3: return s | ~d;
    case 4: return s & ~d;
    case 5: return s & d;
    case 6: return s | d;
    case 7: return ~s & d;
    case 8: return d;
    case 9: return ~(s | d);
    case 10: return ~s ^ d;
    case 11: return ~s;
    case 12: return ~s | d;
    case 13: return ~(s & d);
    case 14: return ~0ul;
    default: return s;
    }
}

TEST_F(Shapes, LogicCodesSelectTheRasterFunctions)
{
    const unsigned long d = 0x5A3C96, s = 0x33CC0F;
    for (int code : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, -1, 99}) {
        Fill(pixmap, 0, 0, W, H, d);
        surface->SetLogic(code);
        EXPECT_EQ(surface->GetLogic(), code);
        SDrawBrush brush(static_cast<int>(s), -1, nullptr);
        surface->SetBrush(&brush);
        surface->FillRect(0, 0, 2, 2);
        surface->SetBrush(nullptr);
        bwtest::Grab g = Read(pixmap, 3, 1);
        EXPECT_EQ(g.At(0, 0), Apply(code, s, d) & 0xFFFFFF) << "logic " << code;
        EXPECT_EQ(g.At(2, 0), d) << "logic " << code;
    }
    surface->SetLogic(15);
}

TEST_F(Shapes, FillStyleIsStoredAndSet)
{
    EXPECT_EQ(surface->GetFillStyle(), FillSolid);
    surface->SetFillStyle(FillStippled);
    EXPECT_EQ(surface->GetFillStyle(), FillStippled);
    // Without a stipple the server uses a solid one: the fill still paints.
    surface->SetFillStyle(FillSolid);
    surface->FillRect(0, 0, 2, 2);
    EXPECT_EQ(Read(pixmap, 1, 1).At(0, 0), white);
}

TEST_F(Shapes, AFontThatNeverLoadedLeavesTheContextAlone)
{
    SDrawFont missing(10, false, false, false, "no-such-foundry-no-such-family");
    EXPECT_EQ(missing.Id(), 0u);
    surface->SetFont(&missing);
    EXPECT_EQ(surface->GetFont(), &missing);
    surface->SetFont(nullptr);
    EXPECT_EQ(surface->GetFont(), nullptr);
}

// ---- forms, colours, background

// Records what reaches the integer forms.
class Recorder : public SDrawing {
public:
    Recorder() = default;
    explicit Recorder(SGlobals* g) : SDrawing(nullptr, g) {}
    void DrawPoint(int x, int y) override { calls.push_back(Call{'p', x, y, 0, 0, 0, 0}); }
    void DrawLine(int x1, int y1, int x2, int y2) override { calls.push_back(Call{'l', x1, y1, x2, y2, 0, 0}); }
    void DrawRect(int x1, int y1, int x2, int y2) override { calls.push_back(Call{'r', x1, y1, x2, y2, 0, 0}); }
    void FillRect(int x1, int y1, int x2, int y2) override { calls.push_back(Call{'f', x1, y1, x2, y2, 0, 0}); }
    void DrawRoundedRect(int x1, int y1, int x2, int y2, int ew, int eh) override
    {
        calls.push_back(Call{'o', x1, y1, x2, y2, ew, eh});
    }
    void FillRoundedRect(int x1, int y1, int x2, int y2, int ew, int eh) override
    {
        calls.push_back(Call{'F', x1, y1, x2, y2, ew, eh});
    }
    SPixel GetBackgroundColour() override { return 111; }
    SPixel GetParentBackgroundColour() override { return 222; }
    using SDrawing::DrawLine;
    using SDrawing::DrawPoint;
    using SDrawing::DrawRect;
    using SDrawing::DrawRoundedRect;
    using SDrawing::FillRect;
    using SDrawing::FillRoundedRect;

    struct Call {
        char what;
        int a, b, c, d, e, f;
        bool operator==(const Call& o) const
        {
            return what == o.what && a == o.a && b == o.b && c == o.c && d == o.d && e == o.e && f == o.f;
        }
    };
    std::vector<Call> calls;
};

TEST(DrawingForms, PointAndRectangleFormsReachTheIntegerForms)
{
    Recorder r;
    r.DrawPoint(Point(1, 2));
    r.DrawLine(Point(1, 2), Point(3, 4));
    r.DrawRect(Point(1, 2), Point(3, 4));
    r.DrawRect(Rect(5, 6, 7, 8));
    r.FillRect(Point(1, 2), Point(3, 4));
    r.FillRect(Rect(5, 6, 7, 8));
    r.DrawRoundedRect(Point(1, 2), Point(3, 4), 5, 6);
    r.DrawRoundedRect(Rect(5, 6, 7, 8), 9, 10);
    r.FillRoundedRect(Point(1, 2), Point(3, 4), 5, 6);
    r.FillRoundedRect(Rect(5, 6, 7, 8), 9, 10);
    std::vector<Recorder::Call> expected = {
        {'p', 1, 2, 0, 0, 0, 0}, {'l', 1, 2, 3, 4, 0, 0}, {'r', 1, 2, 3, 4, 0, 0},  {'r', 5, 6, 7, 8, 0, 0},
        {'f', 1, 2, 3, 4, 0, 0}, {'f', 5, 6, 7, 8, 0, 0}, {'o', 1, 2, 3, 4, 5, 6},  {'o', 5, 6, 7, 8, 9, 10},
        {'F', 1, 2, 3, 4, 5, 6}, {'F', 5, 6, 7, 8, 9, 10},
    };
    EXPECT_TRUE(r.calls == expected);
}

TEST(DrawingForms, BackgroundNeedsGlobalsAndFillsThroughTheVirtualTable)
{
    Recorder alone;
    alone.DrawBackground(Rect(1, 2, 3, 4), false);
    EXPECT_TRUE(alone.calls.empty());
    EXPECT_EQ(alone.GetBrush(), nullptr);

    SGlobals globals;
    struct WithGlobals : Recorder {
        explicit WithGlobals(SGlobals* g) : Recorder(g) {}
    } surface(&globals);
    surface.DrawBackground(Rect(1, 2, 3, 4), false);
    ASSERT_EQ(surface.calls.size(), 1u);
    EXPECT_TRUE(surface.calls[0] == (Recorder::Call{'f', 1, 2, 3, 4, 0, 0}));
    EXPECT_EQ(surface.GetBrush(), statdata.FindBrush(111));
    surface.DrawBackground(Rect(5, 6, 7, 8), true);
    EXPECT_EQ(surface.GetBrush(), statdata.FindBrush(222));
    EXPECT_EQ(surface.GetBrush()->colour, 222u);
}

TEST(DrawingColours, ConstructorDefaultsAndStores)
{
    SGlobals globals;
    SDrawing d(nullptr, &globals);
    SPixel black = SCOL(0, 0, 0);
    SPixel white = SCOL(255, 255, 255);
    SPixel grey = SCOL(138, 145, 150);
    EXPECT_EQ(d.GetBackgroundColour(), black);
    EXPECT_EQ(d.GetParentBackgroundColour(), black);
    EXPECT_EQ(d.GetForegroundColour(), white);
    EXPECT_EQ(d.GetTextColour(false), white);
    EXPECT_EQ(d.GetTextColour(true), white);
    EXPECT_EQ(d.GetFrameColour(true, false), black);
    EXPECT_EQ(d.GetFrameColour(true, true), black);
    EXPECT_EQ(d.GetFrameColour(false, true), grey);
    EXPECT_EQ(d.GetLogic(), 15u);

    d.SetColours(1, 2, 3, 4, 5, 6, 7);
    EXPECT_EQ(d.GetBackgroundColour(), 1u);
    EXPECT_EQ(d.GetParentBackgroundColour(), 3u);
    EXPECT_EQ(d.GetForegroundColour(), 4u);
    EXPECT_EQ(d.GetTextColour(false), 6u);
    EXPECT_EQ(d.GetTextColour(true), 7u);
    EXPECT_EQ(d.GetFrameColour(true, false), 1u);
    EXPECT_EQ(d.GetFrameColour(true, true), 1u);
    EXPECT_EQ(d.GetFrameColour(false, false), grey);
    d.SetBackgroundColour(true);
    EXPECT_EQ(d.GetBackgroundColour(), 2u);
    d.SetBackgroundColour(false);
    EXPECT_EQ(d.GetBackgroundColour(), 1u);
    d.SetBackgroundColour(SPixel(42));
    EXPECT_EQ(d.GetBackgroundColour(), 42u);
    d.SetBackground(9, true);
    EXPECT_EQ(d.GetBackgroundColour(), 9u);
    d.SetBackground(8, false);
    EXPECT_EQ(d.GetBackgroundColour(), 8u);
    d.SetBackgroundColour(true);
    EXPECT_EQ(d.GetBackgroundColour(), 9u);
    d.SetForegroundColour(true);
    EXPECT_EQ(d.GetForegroundColour(), 5u);
    d.SetForegroundColour(false);
    EXPECT_EQ(d.GetForegroundColour(), 4u);
    d.SetFrameColour(10, 30, 20);
    EXPECT_EQ(d.GetFrameColour(true, false), 10u);
    EXPECT_EQ(d.GetFrameColour(true, true), 30u);
    EXPECT_EQ(d.GetFrameColour(false, true), 20u);
    d.SetFillMode(0);
    d.SetFillMode(1);
    EXPECT_EQ(d.GetFillMode(), 1u);
    EXPECT_EQ(d.GetPreviousFillMode(), 0u);
}

class Background : public bwtest::XServerTest {};

TEST_F(Background, TwoCallsAddOnePenAndOneBrush)
{
    SGlobals globals;
    SDrawing surface(nullptr, &globals);
    Pixmap pixmap = NewPixmap(16, 16, black);
    surface.SetOwnedDevice(new SDrawDevice(static_cast<int>(pixmap)));
    // A colour no other test uses, so the lists really grow.
    SPixel odd = SCOL(3, 141, 59);
    SPixel parent = SCOL(59, 3, 141);
    surface.SetColours(odd, 0, parent, 0, 0, 0, 0);

    int pens = statdata.PenCount(), brushes = statdata.BrushCount();
    surface.DrawBackground(Rect(0, 0, 8, 8), false);
    surface.DrawBackground(Rect(8, 0, 16, 8), false);
    EXPECT_EQ(statdata.PenCount(), pens + 1);
    EXPECT_EQ(statdata.BrushCount(), brushes + 1);
    EXPECT_EQ(surface.GetBrush(), statdata.FindBrush(odd));
    surface.DrawBackground(Rect(0, 8, 16, 16), true);
    EXPECT_EQ(statdata.PenCount(), pens + 2);
    EXPECT_EQ(statdata.BrushCount(), brushes + 2);

    bwtest::Grab g = Read(pixmap, 16, 16);
    EXPECT_EQ(g.Map(static_cast<unsigned long>(odd)), bwtest::Expect(16, 16, [](int, int y) { return y < 8; }));
    EXPECT_EQ(g.Map(static_cast<unsigned long>(parent)), bwtest::Expect(16, 16, [](int, int y) { return y >= 8; }));
}

// Colours from the table and from SCOL are pixels, so they pick the pixel
// overload of SetBackgroundColour over the alternate/normal switch.
TEST_F(Background, TableColoursSelectThePixelOverload)
{
    static_assert(std::is_same<decltype(statdata.Colour(0)), SPixel>::value, "table entries are pixels");
    static_assert(std::is_same<decltype(SCOL(0, 0, 0)), SPixel>::value, "SCOL makes pixels");
    SGlobals globals;
    SDrawing surface(nullptr, &globals);
    Pixmap pixmap = NewPixmap(8, 4, black);
    surface.SetOwnedDevice(new SDrawDevice(static_cast<int>(pixmap)));
    surface.SetColours(statdata.Colour(24), statdata.Colour(25), statdata.Colour(26), statdata.Colour(0),
                       statdata.Colour(1), statdata.Colour(0), statdata.Colour(1));
    surface.SetBackgroundColour(statdata.Colour(4));
    EXPECT_EQ(surface.GetBackgroundColour(), statdata.Colour(4));
    surface.DrawBackground(Rect(0, 0, 4, 4), false);
    surface.SetBackgroundColour(true);
    surface.DrawBackground(Rect(4, 0, 8, 4), false);
    surface.SetBackgroundColour(false);
    EXPECT_EQ(surface.GetBackgroundColour(), statdata.Colour(24));

    bwtest::Grab g = Read(pixmap, 8, 4);
    EXPECT_EQ(g.Map(statdata.Colour(4)), bwtest::Expect(8, 4, [](int x, int) { return x < 4; }));
    EXPECT_EQ(g.Map(statdata.Colour(25)), bwtest::Expect(8, 4, [](int x, int) { return x >= 4; }));
}

}  // namespace
