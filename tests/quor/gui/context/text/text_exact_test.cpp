// Rotated and vertical text pixel for pixel. The expected picture is made
// here, independently of the toolkit: the upright text is rendered into a
// one-bit pixmap with plain Xlib and read back, every destination pixel is
// mapped back into it (flooring to the source pixel that holds the mapped
// point, with exact sines and cosines at quarter turns), and the result is
// placed by the alignment rules. Odd and even source sides are all covered:
// rounding to nearest there put the quarter turns of odd-sized texts on
// exact ties, which tore glyphs by a pixel.

#include <gtest/gtest.h>
// After gtest: X.h defines None.
#include <X11/Xutil.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "Grid.h"
#include "TextFixture.h"
#include "quor/gui/context/SDrawFont.h"

using bwtest::Canvas;
using bwtest::Grid;
using quor::gui::context::SDrawFont;
using quor::gui::context::SDrawing;

namespace {

const char* const kTexts[] = {"Audio", "Midi", "Ok", "Threshold", "Blinkwatcher", "l"};

class Exact : public Canvas {
protected:
    // The text in one bit per pixel in a w x h picture, its top at row 0 and
    // its left at column 0.
    Grid Upright(SDrawFont* font, const char* text, int w, int h)
    {
        Pixmap bits = XCreatePixmap(display, DefaultRootWindow(display), static_cast<unsigned>(w),
                                    static_cast<unsigned>(h), 1);
        GC gc = XCreateGC(display, bits, 0, nullptr);
        XSetForeground(display, gc, 0);
        XFillRectangle(display, bits, gc, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
        XSetForeground(display, gc, 1);
        XSetFont(display, gc, font->Id());
        XDrawString(display, bits, gc, 0, font->Ascent(), text, static_cast<int>(strlen(text)));
        XImage* image = XGetImage(display, bits, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), 1,
                                  XYPixmap);
        Grid g(w, h);
        for (int y = 0; image && y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (XGetPixel(image, x, y) & 1) g.Set(x, y);
        if (image) XDestroyImage(image);
        XFreeGC(display, gc);
        XFreePixmap(display, bits);
        return g;
    }

    static bool In(const Grid& g, int x, int y) { return x >= 0 && y >= 0 && x < g.w && y < g.h && g.At(x, y); }

    // Turned counter-clockwise by `angle` degrees into a picture with odd
    // sides, each destination pixel taking the source pixel under its centre.
    static Grid Turned(const Grid& src, int angle)
    {
        double s, c;
        if (angle % 90 == 0) {
            const int q = ((angle / 90) % 4 + 4) % 4;
            s = q == 1 ? 1 : q == 3 ? -1 : 0;
            c = q == 0 ? 1 : q == 2 ? -1 : 0;
        } else {
            // Single precision, as the angle is given.
            volatile float a = static_cast<float>(angle * 0.017453292);
            s = std::sin(static_cast<float>(a));
            c = std::cos(static_cast<float>(a));
        }
        const int W = src.w, H = src.h;
        int dh = static_cast<int>(std::nearbyint(std::fabs(c) * H + std::fabs(s) * W + 0.99999 + 2));
        int dw = static_cast<int>(std::nearbyint(std::fabs(s) * H + std::fabs(c) * W + 0.99999 + 2));
        dh += 1 - dh % 2;
        dw += 1 - dw % 2;
        Grid out(dw, dh);
        for (int j = 0; j < dh; ++j)  // j counts rows from the bottom
            for (int i = 0; i < dw; ++i) {
                const double u = i - dw / 2.0 + 0.5, v = j - dh / 2.0 + 0.5;
                const int x = static_cast<int>(std::floor(c * u + s * v + W / 2.0));
                const int y = static_cast<int>(std::floor(H / 2.0 - (c * v - s * u)));
                if (In(src, x, y)) out.Set(i, dh - 1 - j);
            }
        return out;
    }

    // The vertical label's turn: no margin, odd sides.
    static Grid Upended(const Grid& src)
    {
        const int W = src.w, H = src.h;
        const int dw = H | 1, dh = W | 1;
        Grid out(dw, dh);
        for (int j = 0; j < dh; ++j)
            for (int i = 0; i < dw; ++i) {
                const int x = static_cast<int>(std::floor(W / 2.0 + j - dh / 2.0 + 0.5));
                const int y = static_cast<int>(std::floor(H / 2.0 + i - dw / 2.0 + 0.5));
                if (In(src, x, y)) out.Set(i, dh - 1 - j);
            }
        return out;
    }

    // The whole canvas as it should be: black, the picture in white, placed
    // in r by align.
    static std::vector<unsigned long> Placed(const Grid& picture, const SDrawing::Rectangle& r, int align)
    {
        const int x0 = (align & 1) ? r.left : (align & 4) ? r.right - picture.w
                                                          : r.left + (((r.right - r.left) - picture.w) >> 1);
        const int y0 = (align & 2) ? r.top : (align & 8) ? r.bottom - picture.h
                                                         : r.top + (((r.bottom - r.top) - picture.h) >> 1);
        std::vector<unsigned long> px(kWidth * kHeight, kBlack);
        for (int y = 0; y < picture.h; ++y)
            for (int x = 0; x < picture.w; ++x)
                if (picture.At(x, y) && x0 + x >= 0 && x0 + x < kWidth && y0 + y >= 0 && y0 + y < kHeight)
                    px[(y0 + y) * kWidth + x0 + x] = kWhite;
        return px;
    }

    // Where the two canvases differ, as pictures of the region around it.
    static std::string Difference(const std::vector<unsigned long>& got, const std::vector<unsigned long>& want)
    {
        auto on = [](const std::vector<unsigned long>& px) {
            return Grid::Crop(kWidth, kHeight, [&](int x, int y) { return px[y * kWidth + x] != kBlack; });
        };
        int wrong = 0;
        for (size_t i = 0; i < got.size(); ++i) wrong += got[i] != want[i];
        return std::to_string(wrong) + " pixels differ; drawn:" + on(got).Picture() + "expected:" + on(want).Picture();
    }

    // The toolkit's fonts that this server has, and the 7-pixel fixed font
    // (size 6), whose height is odd where Helvetica's are even.
    std::vector<std::unique_ptr<SDrawFont>> Fonts()
    {
        std::vector<std::unique_ptr<SDrawFont>> fonts;
        for (int size : {6, 7, 8, 10})
            for (bool bold : {false, true}) {
                auto f = std::make_unique<SDrawFont>(size, bold, false, false, nullptr);
                if (f->Info()) fonts.push_back(std::move(f));
            }
        return fonts;
    }
};

// Source sides W = text width + 2 and H = ascent + descent + 2, odd and even.
TEST_F(Exact, RotatedTextAtThirtyThreeAndNinetyDegrees)
{
    const SDrawing::Rectangle r(20, 10, 221, 151);
    const SDrawing::Point offset(3, -2);
    bool oddBoth = false, evenWidth = false;
    auto fonts = Fonts();
    ASSERT_FALSE(fonts.empty());
    for (auto& font : fonts) {
        drawing->SetFont(font.get());
        for (const char* text : kTexts) {
            const int W = font->TextWidth(text) + 2, H = font->Ascent() + font->Descent() + 2;
            oddBoth = oddBoth || (W % 2 && H % 2);
            evenWidth = evenWidth || W % 2 == 0;
            const Grid source = Upright(font.get(), text, W, H);
            ASSERT_GT(source.Count(), 0) << text;
            for (int angle : {33, 90}) {
                Clear(kBlack);
                SetForeground(kWhite);
                drawing->DrawRotatedText(text, r, angle, 0, offset);
                const auto got = Read();
                const auto want = Placed(Turned(source, angle), SDrawing::Rectangle(22, 7, 225, 150), 0);
                ASSERT_TRUE(got == want) << font->Name().Text() << " \"" << text << "\" " << W << "x" << H << " at "
                                         << angle << ": " << Difference(got, want);
            }
        }
    }
    EXPECT_TRUE(oddBoth) << "no text of odd width and height on this server's fonts";
    EXPECT_TRUE(evenWidth);
}

// Source sides W = text width and H = ascent + descent; the label reads
// bottom to top, aligned to the bottom right here.
TEST_F(Exact, VerticalLabels)
{
    const SDrawing::Rectangle r(100, 10, 131, 151);
    bool oddBoth = false;
    auto fonts = Fonts();
    ASSERT_FALSE(fonts.empty());
    for (auto& font : fonts) {
        drawing->SetFont(font.get());
        for (const char* text : kTexts) {
            const int W = font->TextWidth(text), H = font->Ascent() + font->Descent();
            oddBoth = oddBoth || (W % 2 && H % 2);
            const Grid source = Upright(font.get(), text, W, H);
            Clear(kBlack);
            SetForeground(kWhite);
            drawing->DrawVerticalLabel(text, r, 0, 4 | 8, SDrawing::Point(-1, 2), false, false, nullptr);
            const auto got = Read();
            const auto want = Placed(Upended(source), SDrawing::Rectangle(99, 12, 130, 153), 4 | 8);
            ASSERT_TRUE(got == want) << font->Name().Text() << " \"" << text << "\" " << W << "x" << H << ": "
                                     << Difference(got, want);
        }
    }
    EXPECT_TRUE(oddBoth) << "no text of odd width and height on this server's fonts";
}

}  // namespace
