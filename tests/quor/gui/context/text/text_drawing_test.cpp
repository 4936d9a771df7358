// Text on a real X server: placement of plain text and labels, rotated and
// vertical text compared with the upright render, the pixel digits. Every
// check reads the pixels back from the server.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Grid.h"
#include "TextFixture.h"
#include "quor/gui/context/SDrawFont.h"
#include "quor/gui/context/SRotatedBits.h"

using namespace quor::gui::context;
using bwtest::Canvas;
using bwtest::Grid;
using bwtest::Ink;

namespace {

class Text : public Canvas {
protected:
    void SetUp() override
    {
        Canvas::SetUp();
        if (HasFatalFailure()) return;
        font = new SDrawFont(10, false, false, false, nullptr);
        ASSERT_NE(font->Info(), nullptr) << font->Name().Text();
        drawing->SetFont(font);
    }
    void TearDown() override
    {
        if (drawing) drawing->SetFont(nullptr);
        delete font;
        Canvas::TearDown();
    }

    Grid InkGrid(const std::vector<unsigned long>& px)
    {
        return Grid::Crop(kWidth, kHeight, [&](int x, int y) { return px[y * kWidth + x] != kBlack; });
    }

    // The ink box of one glyph drawn with its baseline at (x, baseline),
    // from the server's own per-character metrics.
    Ink GlyphBox(char ch, int x, int baseline)
    {
        const XFontStruct* fs = font->Info();
        const XCharStruct& c = fs->per_char ? fs->per_char[static_cast<unsigned char>(ch) - fs->min_char_or_byte2]
                                            : fs->max_bounds;
        Ink box;
        box.left = x + c.lbearing;
        box.right = x + c.rbearing - 1;
        box.top = baseline - c.ascent;
        box.bottom = baseline + c.descent - 1;
        return box;
    }

    static void ExpectBox(const Ink& got, const Ink& want, const std::string& what)
    {
        EXPECT_EQ(got.left, want.left) << what;
        EXPECT_EQ(got.right, want.right) << what;
        EXPECT_EQ(got.top, want.top) << what;
        EXPECT_EQ(got.bottom, want.bottom) << what;
    }

    SDrawFont* font = nullptr;
};

const SDrawing::Point kNoOffset(0, 0);

}  // namespace

TEST_F(Text, DrawTextPutsTheTopOfTheLineAtY)
{
    drawing->DrawText("H", 30, 40);
    const Ink ink = InkOf(Read());
    ExpectBox(ink, GlyphBox('H', 30, 40 + font->Ascent()), "H at (30, 40)");
}

TEST_F(Text, DrawTextFormsAgreeAndEmptyTextsDrawNothing)
{
    drawing->DrawText("Midi", 12, 17);
    const auto a = Read();
    Clear(kBlack);
    drawing->DrawText("Midi", SDrawing::Point(12, 17));
    EXPECT_EQ(Read(), a);
    Clear(kBlack);
    drawing->DrawText(SDrawing::String("Midi"), 12, 17);
    EXPECT_EQ(Read(), a);
    Clear(kBlack);
    drawing->DrawText(SDrawing::String("Midi"), SDrawing::Point(12, 17));
    EXPECT_EQ(Read(), a);
    Clear(kBlack);
    drawing->DrawText("", 12, 17);
    drawing->DrawText(static_cast<const char*>(nullptr), 12, 17);
    drawing->DrawText(SDrawing::String(), 12, 17);
    drawing->SetFont(nullptr);
    drawing->DrawText("Midi", 12, 17);
    EXPECT_EQ(InkOf(Read()).count, 0);
}

TEST_F(Text, DrawTextUsesTheCurrentFontEvenOnADeviceSwitchedInLater)
{
    // SetFont set the font on the first device's context only.
    SDrawDevice* first = drawing->GetDevice();
    SDrawDevice second(static_cast<int>(pixmap));
    XSetForeground(display, second.Get(), kWhite);
    drawing->SetDevice(&second);
    drawing->DrawText("H", 30, 40);
    drawing->SetDevice(first);
    ExpectBox(InkOf(Read()), GlyphBox('H', 30, 40 + font->Ascent()), "H on the second device");
}

TEST_F(Text, LabelBaselineAndLeftFollowTheAlignmentBits)
{
    const SDrawing::Rectangle r(20, 30, 141, 71);  // odd sides: the halvings show
    const SDrawing::Point offset(3, -2);
    const int left = 23, right = 144, top = 28, bottom = 69;
    const int asc = font->Ascent(), desc = font->Descent();
    const int w = font->TextWidth("H");
    struct Case {
        int align, x, baseline;
    } cases[] = {
        {0, left + ((right - left) >> 1) - (w >> 1), top + (asc >> 1) + ((bottom - top) >> 1) - 1},
        {1, left, top + (asc >> 1) + ((bottom - top) >> 1) - 1},
        {4, right - w, top + (asc >> 1) + ((bottom - top) >> 1) - 1},
        {5, left, top + (asc >> 1) + ((bottom - top) >> 1) - 1},  // left wins over right
        {2, left + ((right - left) >> 1) - (w >> 1), top + asc},
        {8, left + ((right - left) >> 1) - (w >> 1), bottom - desc},
        {10, left + ((right - left) >> 1) - (w >> 1), top + asc},  // top wins over bottom
        {3, left, top + asc},
        {12, right - w, bottom - desc},
        {9, left, bottom - desc},
        {6, right - w, top + asc},
    };
    for (const Case& c : cases) {
        Clear(kBlack);
        drawing->DrawLabel("H", r, c.align, offset);
        ExpectBox(InkOf(Read()), GlyphBox('H', c.x, c.baseline), "align " + std::to_string(c.align));
    }
}

TEST_F(Text, CentredBaselineMatchesTheWorkedExample)
{
    // Rectangle (0, 0)-(100, 20) and a font of ascent 10: baseline 14.
    SDrawFont* ten = nullptr;
    for (int size : {8, 7, 10, 9})
        for (bool bold : {false, true}) {
            if (ten) break;
            ten = new SDrawFont(size, bold, false, false, nullptr);
            if (ten->Ascent() != 10) {
                delete ten;
                ten = nullptr;
            }
        }
    if (!ten) GTEST_SKIP() << "no toolkit font with ascent 10 on this server";
    drawing->SetFont(ten);
    drawing->DrawLabel("H", SDrawing::Rectangle(0, 0, 100, 20), 0, kNoOffset);
    const Ink ink = InkOf(Read());
    drawing->SetFont(font);
    const XCharStruct& h = ten->Info()->per_char ? ten->Info()->per_char['H' - ten->Info()->min_char_or_byte2]
                                                 : ten->Info()->max_bounds;
    EXPECT_EQ(ink.bottom + 1 - h.descent, 14);
    delete ten;
}

TEST_F(Text, LabelsOverflowTheirRectangleInsteadOfBeingCut)
{
    const char* text = "Threshold in dB";
    drawing->DrawLabel(text, SDrawing::Rectangle(100, 50, 110, 60), 4, kNoOffset);
    const Ink ink = InkOf(Read());
    EXPECT_LT(ink.left, 100 - font->TextWidth(text) / 2);
    EXPECT_LE(ink.right, 109);
    Clear(kBlack);
    drawing->DrawLabel(text, SDrawing::Rectangle(100, 50, 110, 60), 0, kNoOffset);
    EXPECT_GT(InkOf(Read()).right, 110);
}

TEST_F(Text, LabelRectFillsInTheGivenColourAndCentresTheText)
{
    const SDrawing::Rectangle r(10, 10, 60, 30);
    drawing->DrawLabelRect("Ok", r, kRed, kNoOffset);
    const auto px = Read();
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool inside = x >= 10 && x < 60 && y >= 10 && y < 30;
            ASSERT_EQ(px[y * kWidth + x], inside ? kRed : kBlack) << x << "," << y;
        }
    // The text goes on in the same foreground: with xor it shows as holes.
    Clear(kBlack);
    XSetFunction(display, Gc(), GXxor);
    drawing->DrawLabelRect("Ok", r, kRed, kNoOffset);
    XSetFunction(display, Gc(), GXcopy);
    const auto holes = Read();
    const Grid text = Grid::Crop(kWidth, kHeight, [&](int x, int y) {
        return x >= 10 && x < 60 && y >= 10 && y < 30 && holes[y * kWidth + x] == kBlack;
    });
    Clear(kBlack);
    SetForeground(kRed);
    drawing->DrawLabel("Ok", r, 0, kNoOffset);
    EXPECT_EQ(text, InkGrid(Read()));
    // Nothing at all with an empty text or without a font.
    Clear(kBlack);
    drawing->DrawLabelRect("", r, kRed, kNoOffset);
    drawing->SetFont(nullptr);
    drawing->DrawLabelRect("Ok", r, kRed, kNoOffset);
    EXPECT_EQ(InkOf(Read()).count, 0);
}

TEST_F(Text, SetTextColourStoresAndSetsTheForeground)
{
    drawing->SetTextColour(kGreen, true);
    drawing->SetTextColour(kRed, false);
    EXPECT_EQ(static_cast<unsigned long>(drawing->GetTextColour(true)), kGreen);
    EXPECT_EQ(static_cast<unsigned long>(drawing->GetTextColour(false)), kRed);
    drawing->DrawText("H", 5, 5);
    const Ink ink = InkOf(Read());
    ASSERT_GT(ink.count, 0);
    EXPECT_EQ(Read()[ink.top * kWidth + ink.left], kRed);
}

// ---------------------------------------------------------------------------
// Rotated text.

class Rotated : public Text {
protected:
    // Upright reference: the same text through DrawText, cropped.
    Grid Upright(const char* text)
    {
        Clear(kBlack);
        SetForeground(kWhite);
        drawing->DrawText(text, 10, 10);
        Grid g = InkGrid(Read());
        Clear(kBlack);
        return g;
    }
    std::vector<unsigned long> Rotate(const char* text, const SDrawing::Rectangle& r, int angle, int align,
                                      const SDrawing::Point& offset = SDrawing::Point(0, 0))
    {
        Clear(kBlack);
        SetForeground(kWhite);
        drawing->DrawRotatedText(text, r, angle, align, offset);
        return Read();
    }
    // Where the turned picture lands, from the sizes and the placement rules.
    Ink PlacedBox(const char* text, SDrawing::Rectangle r, int angle, int align, const SDrawing::Point& offset)
    {
        int w = 0, h = 0;
        SRotatedBits::RotatedSize(font->TextWidth(text) + 2, font->Ascent() + font->Descent() + 2, angle, &w, &h);
        r.left -= 1, r.top -= 1, r.right += 1, r.bottom += 1;
        r.Offset(offset.x, offset.y);
        Ink box;
        box.left = (align & 1) ? r.left : (align & 4) ? r.right - w : r.left + (((r.right - r.left) - w) >> 1);
        box.top = (align & 2) ? r.top : (align & 8) ? r.bottom - h : r.top + (((r.bottom - r.top) - h) >> 1);
        box.right = box.left + w - 1;
        box.bottom = box.top + h - 1;
        return box;
    }
    static void ExpectInside(const Ink& ink, const Ink& box, const std::string& what)
    {
        ASSERT_GT(ink.count, 0) << what;
        EXPECT_GE(ink.left, box.left) << what;
        EXPECT_GE(ink.top, box.top) << what;
        EXPECT_LE(ink.right, box.right) << what;
        EXPECT_LE(ink.bottom, box.bottom) << what;
    }
};

TEST_F(Rotated, QuarterTurnsShowTheUprightTextTurned)
{
    const char* text = "Audio";
    const Grid up = Upright(text);
    ASSERT_GT(up.Count(), 10);
    const SDrawing::Rectangle r(60, 20, 71, 91);  // odd box like the panel's
    EXPECT_EQ(InkGrid(Rotate(text, r, 90, 0)), up.TurnLeft()) << up.Picture();
    EXPECT_EQ(InkGrid(Rotate(text, r, 180, 0)), up.TurnHalf());
    EXPECT_EQ(InkGrid(Rotate(text, r, 270, 0)), up.TurnRight());
    for (int angle : {90, 180, 270})
        ExpectInside(InkOf(Rotate(text, r, angle, 0)), PlacedBox(text, r, angle, 0, kNoOffset),
                     "angle " + std::to_string(angle));
}

TEST_F(Rotated, AnglesAreReducedToOneTurn)
{
    const SDrawing::Rectangle r(60, 20, 71, 91);
    const auto a90 = Rotate("Midi", r, 90, 0);
    EXPECT_EQ(Rotate("Midi", r, 450, 0), a90);
    EXPECT_EQ(Rotate("Midi", r, 810, 0), a90);
    EXPECT_EQ(Rotate("Midi", r, -270, 0), a90);
    EXPECT_EQ(Rotate("Midi", r, -630, 0), a90);
    // A whole turn is the plain label, with its own alignment rules.
    Clear(kBlack);
    SetForeground(kWhite);
    drawing->DrawLabel("Midi", r, 0, kNoOffset);
    const auto label = Read();
    EXPECT_EQ(Rotate("Midi", r, 360, 0), label);
    EXPECT_EQ(Rotate("Midi", r, -360, 0), label);
    EXPECT_EQ(Rotate("Midi", r, 0, 0), label);
}

TEST_F(Rotated, ThirtyThreeDegreesStaysInsideThePlacedBox)
{
    const char* text = "Blinkwatcher";
    const SDrawing::Rectangle r(40, 30, 151, 121);
    const auto px = Rotate(text, r, 33, 0, SDrawing::Point(5, 7));
    const Ink ink = InkOf(px);
    ExpectInside(ink, PlacedBox(text, r, 33, 0, SDrawing::Point(5, 7)), "33 degrees");
    const int upright = Upright(text).Count();
    EXPECT_NEAR(ink.count, upright, upright * 0.3);
    // Rising to the right: the ink's right end is above its left end.
    int leftY = 0, rightY = 0;
    for (int y = 0; y < kHeight; ++y) {
        if (px[y * kWidth + ink.left] != kBlack) leftY = y;
        if (px[y * kWidth + ink.right] != kBlack) rightY = y;
    }
    EXPECT_LT(rightY, leftY);
}

TEST_F(Rotated, AlignmentPlacesTheTurnedBox)
{
    const char* text = "Audio";
    const SDrawing::Rectangle r(50, 20, 171, 141);
    for (int align : {1 | 2, 4 | 8, 1, 8, 2 | 4}) {
        const auto px = Rotate(text, r, 90, align, SDrawing::Point(-3, 4));
        const Ink box = PlacedBox(text, r, 90, align, SDrawing::Point(-3, 4));
        const Ink ink = InkOf(px);
        ExpectInside(ink, box, "align " + std::to_string(align));
        // The one-pixel margin of the render plus the rounding margin.
        EXPECT_LE(ink.left - box.left, 3) << align;
        EXPECT_LE(box.bottom - ink.bottom, 3) << align;
    }
}

TEST_F(Rotated, PaintsOnlyTheTextInTheDeviceForegroundThenSetsTheTextColour)
{
    drawing->SetTextColour(kGreen, false);
    Clear(0x123456);
    SetForeground(kRed);
    drawing->DrawRotatedText("Audio", SDrawing::Rectangle(60, 20, 71, 91), 90, 0, kNoOffset);
    const auto px = Read();
    int red = 0, other = 0;
    for (unsigned long p : px) {
        if (p == kRed)
            ++red;
        else if (p != 0x123456)
            ++other;
    }
    XGCValues v;
    ASSERT_TRUE(XGetGCValues(display, Gc(), GCForeground | GCFillStyle, &v));
    EXPECT_EQ(v.foreground & 0xFFFFFF, kGreen);
    EXPECT_EQ(v.fill_style, FillSolid);  // the stipple went on a copy
    EXPECT_EQ(red, Upright("Audio").Count());
    EXPECT_EQ(other, 0);
}

TEST_F(Rotated, NothingWithoutFontTextOrLoadedFont)
{
    const SDrawing::Rectangle r(60, 20, 71, 91);
    Rotate("", r, 90, 0);
    Rotate(nullptr, r, 90, 0);
    EXPECT_EQ(InkOf(Read()).count, 0);
    SDrawFont missing(10, false, false, false, "bw-no-such-foundry-nofamily");
    EXPECT_EQ(missing.Info(), nullptr);
    drawing->SetFont(&missing);
    for (int angle : {0, 33, 90}) EXPECT_EQ(InkOf(Rotate("Audio", r, angle, 0)).count, 0);
    drawing->DrawVerticalLabel("Audio", r, 8, 0, kNoOffset, false, false, nullptr);
    drawing->DrawText("Audio", 5, 5);
    drawing->DrawLabel("Audio", r, 0, kNoOffset);
    EXPECT_EQ(InkOf(Read()).count, 0);
    drawing->SetFont(nullptr);
    EXPECT_EQ(InkOf(Rotate("Audio", r, 90, 0)).count, 0);
    drawing->SetFont(font);
}

// ---------------------------------------------------------------------------
// Vertical labels.

TEST_F(Rotated, VerticalLabelReadsBottomToTopInTheDeviceForeground)
{
    for (const char* text : {"Audio", "Midi", "Threshold"}) {
        const Grid up = Upright(text);
        drawing->SetTextColour(kGreen, false);
        SetForeground(kRed);
        const SDrawing::Rectangle r(100, 10, 131, 151);
        drawing->DrawVerticalLabel(text, r, 8, 8, kNoOffset, false, false, nullptr);
        const auto px = Read();
        EXPECT_EQ(InkGrid(px), up.TurnLeft()) << text;
        const Ink ink = InkOf(px);
        ASSERT_GT(ink.count, 0);
        EXPECT_EQ(px[ink.top * kWidth + ink.left] | px[ink.bottom * kWidth + ink.right], kRed);
        // Bottom aligned, no margin: the start of the text is on r's last row
        // when the glyph has ink in its first column, and never below it.
        EXPECT_LE(ink.bottom, 150);
        EXPECT_GE(ink.bottom, 148);
        // Centred across: the odd width is H or H + 1.
        const int h = font->Ascent() + font->Descent();
        const int w = h | 1;
        EXPECT_GE(ink.left, 100 + ((31 - w) >> 1));
        EXPECT_LE(ink.right, 100 + ((31 - w) >> 1) + w - 1);
        XGCValues v;
        ASSERT_TRUE(XGetGCValues(display, Gc(), GCForeground, &v));
        EXPECT_EQ(v.foreground & 0xFFFFFF, kRed) << "the vertical label sets no colour";
        Clear(kBlack);
    }
}

TEST_F(Rotated, VerticalLabelFormsAgree)
{
    const SDrawing::Rectangle r(100, 10, 131, 151);
    drawing->DrawVerticalLabel("Audio", r, 8, 0, SDrawing::Point(2, 3), false, false, nullptr);
    const auto a = Read();
    Clear(kBlack);
    SetForeground(kWhite);
    drawing->DrawVerticalLabel(SDrawing::String("Audio"), r, 8, 0, SDrawing::Point(2, 3), true, true, "x");
    EXPECT_EQ(Read(), a);
    EXPECT_GT(InkOf(a).count, 0);
}

// ---------------------------------------------------------------------------
// Pixel digits: a 5 x 7 cell at (x + 1, y + 3), drawn with thin lines.

namespace {
const char* const kDigits[10][7] = {
    {"#####", "#...#", "#...#", "#...#", "#...#", "#...#", "#####"},
    {".##..", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."},
    {"#####", "....#", "....#", "#####", "#....", "#....", "#####"},
    {"#####", "....#", "....#", "#####", "....#", "....#", "#####"},
    {"#...#", "#...#", "#...#", "#####", "....#", "....#", "....#"},
    {"#####", "#....", "#....", "#####", "....#", "....#", "#####"},
    {"#####", "#....", "#....", "#####", "#...#", "#...#", "#####"},
    {"#####", "....#", "....#", "....#", "....#", "....#", "....#"},
    {"#####", "#...#", "#...#", "#####", "#...#", "#...#", "#####"},
    {"#####", "#...#", "#...#", "#####", "....#", "....#", "#####"},
};
}  // namespace

TEST_F(Text, PixelDigitsMatchTheirPictures)
{
    for (int d = 0; d <= 9; ++d) {
        Clear(kBlack);
        if (d % 2)
            drawing->DrawPixelNumber(20 + d, 30, d);
        else
            drawing->DrawPixelNumber(SDrawing::Point(20 + d, 30), d);
        const auto px = Read();
        const int L = 20 + d + 1, T = 33;
        int count = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const bool cell = x >= L && x < L + 5 && y >= T && y < T + 7;
                const bool want = cell && kDigits[d][y - T][x - L] == '#';
                count += want;
                ASSERT_EQ(px[y * kWidth + x] != kBlack, want) << "digit " << d << " at " << x - L << "," << y - T;
            }
        EXPECT_GT(count, 0);
    }
    Clear(kBlack);
    for (int d : {-1, 10, 42}) drawing->DrawPixelNumber(20, 30, d);
    drawing->DrawVerticalPixelNumber(20, 30, 8);
    drawing->DrawVerticalPixelNumber(SDrawing::Point(20, 30), 8);
    drawing->DrawPixelLabel(20, 30, "12");
    drawing->DrawVerticalPixelLabel(20, 30, "12");
    EXPECT_EQ(InkOf(Read()).count, 0);
}

namespace {
// Counts the lines a digit is made of.
class LineCounter : public SDrawing {
public:
    void DrawLine(int, int, int, int) override { ++lines; }
    int lines = 0;
};
}  // namespace

TEST(PixelDigits, DrawThroughTheOverridableLineOperation)
{
    const int expected[10] = {4, 2, 5, 4, 3, 5, 5, 2, 5, 5};
    for (int d = 0; d <= 9; ++d) {
        LineCounter c;
        c.DrawPixelNumber(0, 0, d);
        EXPECT_EQ(c.lines, expected[d]) << d;
    }
}
