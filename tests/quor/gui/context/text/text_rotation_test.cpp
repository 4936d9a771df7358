// The one-bit turns behind rotated and vertical text, without a display.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "Grid.h"
#include "quor/gui/context/SRotatedBits.h"

using quor::gui::context::SRotatedBits;
using bwtest::Grid;

namespace {

// Deterministic speckle with a solid frame, so that every turn and every
// off-by-one shows.
SRotatedBits Pattern(int w, int h, uint32_t seed)
{
    SRotatedBits b(w, h);
    uint32_t s = seed;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            s = s * 1664525u + 1013904223u;
            if ((s >> 28) < 6 || x == 0 || y == 0 || x == w - 1 || y == h - 1) b.Set(x, y);
        }
    return b;
}

Grid Cropped(const SRotatedBits& b)
{
    return Grid::Crop(b.Width(), b.Height(), [&](int x, int y) { return b.Get(x, y); });
}

}  // namespace

TEST(RotatedBits, LayoutIsMostSignificantBitFirstWithBytePaddedRows)
{
    SRotatedBits b(11, 3);
    EXPECT_EQ(b.Stride(), 2);
    b.Set(0, 0);
    b.Set(9, 1);
    b.Set(10, 2);
    b.Set(11, 2);  // outside: ignored
    b.Set(-1, 0);
    EXPECT_EQ(b.Data()[0], 0x80);
    EXPECT_EQ(b.Data()[3], 0x40);
    EXPECT_EQ(b.Data()[5], 0x20);
    EXPECT_EQ(b.Count(), 3);
    EXPECT_FALSE(b.Get(11, 2));
    b.Set(9, 1, false);
    EXPECT_EQ(b.Data()[3], 0);
    EXPECT_TRUE(SRotatedBits(0, 5).Empty());
}

TEST(RotatedBits, DestinationSidesAreAlwaysOddAndHoldTheTurnedBox)
{
    for (int angle = -359; angle <= 359; angle += 7)
        for (int w : {1, 2, 9, 30, 57})
            for (int h : {1, 4, 13, 14}) {
                int dw = 0, dh = 0;
                SRotatedBits::RotatedSize(w, h, angle, &dw, &dh);
                ASSERT_EQ(dw % 2, 1) << angle << " " << w << "x" << h;
                ASSERT_EQ(dh % 2, 1) << angle << " " << w << "x" << h;
                const double a = angle * M_PI / 180;
                EXPECT_GE(dw, std::fabs(std::sin(a)) * h + std::fabs(std::cos(a)) * w + 2);
                EXPECT_GE(dh, std::fabs(std::cos(a)) * h + std::fabs(std::sin(a)) * w + 2);
                EXPECT_LE(dw, std::fabs(std::sin(a)) * h + std::fabs(std::cos(a)) * w + 5);
            }
    int dw = 0, dh = 0;
    SRotatedBits::RotatedSize(33, 14, 90, &dw, &dh);
    EXPECT_EQ(dw, 17);  // 14 + 3, already odd
    EXPECT_EQ(dh, 37);  // 33 + 3 = 36, raised to odd
}

TEST(RotatedBits, QuarterTurnsAreExactTranspositionsForAllParities)
{
    for (int w : {7, 8, 31, 32})
        for (int h : {5, 6, 13, 14}) {
            const SRotatedBits src = Pattern(w, h, static_cast<uint32_t>(w * 131 + h));
            const Grid g = Cropped(src);
            const SRotatedBits r90 = SRotatedBits::Rotate(src, 90);
            const SRotatedBits r180 = SRotatedBits::Rotate(src, 180);
            const SRotatedBits r270 = SRotatedBits::Rotate(src, 270);
            EXPECT_EQ(Cropped(r90), g.TurnLeft()) << w << "x" << h;
            EXPECT_EQ(Cropped(r180), g.TurnHalf()) << w << "x" << h;
            EXPECT_EQ(Cropped(r270), g.TurnRight()) << w << "x" << h;
            EXPECT_EQ(Cropped(SRotatedBits::Rotate(src, -270)), Cropped(r90));
            EXPECT_EQ(Cropped(SRotatedBits::Rotate(src, -90)), Cropped(r270));
            // The text stays centred: the turned picture's centre pixel is
            // within half a pixel of the middle of the destination.
            EXPECT_EQ(r90.Width(), (h + 3) | 1);
            EXPECT_EQ(r90.Height(), (w + 3) | 1);
        }
}

TEST(RotatedBits, QuarterTurnIsCentredInItsMargin)
{
    const SRotatedBits src = Pattern(20, 9, 7);  // frame touches all sides
    const SRotatedBits r = SRotatedBits::Rotate(src, 90);
    int l = r.Width(), t = r.Height(), rr = -1, b = -1;
    for (int y = 0; y < r.Height(); ++y)
        for (int x = 0; x < r.Width(); ++x)
            if (r.Get(x, y)) {
                l = std::min(l, x), rr = std::max(rr, x), t = std::min(t, y), b = std::max(b, y);
            }
    EXPECT_LE(std::abs(l - (r.Width() - 1 - rr)), 1);
    EXPECT_LE(std::abs(t - (r.Height() - 1 - b)), 1);
    EXPECT_GE(l, 1);
    EXPECT_GE(t, 1);
}

TEST(RotatedBits, GeneralAngleTurnsCounterClockwiseAndKeepsTheArea)
{
    // A horizontal bar: after +33 degrees its right end is higher.
    SRotatedBits bar(41, 5);
    for (int x = 0; x < 41; ++x)
        for (int y = 1; y < 4; ++y) bar.Set(x, y);
    const SRotatedBits r = SRotatedBits::Rotate(bar, 33);
    int leftX = r.Width(), leftY = 0, rightX = -1, rightY = 0;
    for (int y = 0; y < r.Height(); ++y)
        for (int x = 0; x < r.Width(); ++x)
            if (r.Get(x, y)) {
                if (x < leftX) leftX = x, leftY = y;
                if (x > rightX) rightX = x, rightY = y;
            }
    ASSERT_GE(rightX, 0);
    EXPECT_LT(rightY, leftY);
    const double slope = double(leftY - rightY) / (rightX - leftX);
    EXPECT_NEAR(slope, std::tan(33 * M_PI / 180), 0.1);
    EXPECT_NEAR(r.Count(), bar.Count(), bar.Count() * 0.15);
    // Clockwise for a negative angle: the right end is lower.
    const SRotatedBits n = SRotatedBits::Rotate(bar, -33);
    leftX = n.Width(), rightX = -1;
    for (int y = 0; y < n.Height(); ++y)
        for (int x = 0; x < n.Width(); ++x)
            if (n.Get(x, y)) {
                if (x < leftX) leftX = x, leftY = y;
                if (x > rightX) rightX = x, rightY = y;
            }
    EXPECT_GT(rightY, leftY);
}

TEST(RotatedBits, UprightTurnHasOddSidesWithoutMarginAndLosesNothing)
{
    for (int w : {9, 10})
        for (int h : {11, 12}) {
            const SRotatedBits src = Pattern(w, h, static_cast<uint32_t>(w + 17 * h));
            const SRotatedBits up = SRotatedBits::TurnUpright(src);
            EXPECT_EQ(up.Width(), h | 1) << w << "x" << h;
            EXPECT_EQ(up.Height(), w | 1) << w << "x" << h;
            EXPECT_EQ(up.Count(), src.Count());
            EXPECT_EQ(Cropped(up), Cropped(src).TurnLeft()) << w << "x" << h;
            // Source column 0 (the start of the text) ends on the bottom row.
            bool bottom = false;
            for (int x = 0; x < up.Width(); ++x) bottom = bottom || up.Get(x, up.Height() - 1);
            EXPECT_TRUE(bottom || (w % 2 == 0));
        }
}

TEST(RotatedBits, EmptySourceGivesAnEmptyPictureOfTheComputedSize)
{
    const SRotatedBits r = SRotatedBits::Rotate(SRotatedBits(), 90);
    EXPECT_EQ(r.Count(), 0);
    EXPECT_EQ(r.Width() % 2, 1);
    EXPECT_TRUE(SRotatedBits::TurnUpright(SRotatedBits()).Empty() || SRotatedBits::TurnUpright(SRotatedBits()).Count() == 0);
}
