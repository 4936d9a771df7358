// Text measuring: the results, and measuring from several threads at once
// (a message box is laid out on a host thread while the GUI thread draws).

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "TextFixture.h"
#include "quor/gui/context/SDrawFont.h"

using quor::gui::context::SDrawFont;
using quor::gui::context::SDrawing;

class Measure : public bwtest::Canvas {};

TEST_F(Measure, WidthIsTheExtentAndHeightTheFontsLineHeight)
{
    SDrawFont f(10, true, false, false, nullptr);
    ASSERT_NE(f.Info(), nullptr);
    int w = -1, h = -1;
    SDrawing::GetTextDimensions("Audio", &w, &h, &f);
    EXPECT_EQ(w, XTextWidth(f.Info(), "Audio", 5));
    EXPECT_EQ(h, f.Info()->ascent + f.Info()->descent);
    // Font-wide height: a text without descenders or capitals is as tall.
    int h2 = -1;
    SDrawing::GetTextDimensions("ooo", nullptr, &h2, &f);
    EXPECT_EQ(h2, h);
    int w2 = -1;
    SDrawing::GetTextDimensions("Audio Midi", &w2, nullptr, &f);
    EXPECT_GT(w2, w);
    // No text, an empty text or no font: both zero.
    for (const char* t : {static_cast<const char*>(nullptr), ""}) {
        w = h = -1;
        SDrawing::GetTextDimensions(t, &w, &h, &f);
        EXPECT_EQ(w, 0);
        EXPECT_EQ(h, 0);
    }
    w = h = -1;
    SDrawing::GetTextDimensions("Audio", &w, &h, nullptr);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    SDrawing::GetTextDimensions("Audio", nullptr, nullptr, &f);
}

TEST_F(Measure, ConcurrentMeasuringGivesEachCallerItsOwnResult)
{
    SDrawFont small(7, false, false, false, nullptr), big(10, true, false, false, nullptr);
    ASSERT_NE(small.Info(), nullptr);
    ASSERT_NE(big.Info(), nullptr);
    struct Job {
        SDrawFont* font;
        const char* text;
        int w, h;
    } jobs[] = {
        {&small, "Failed to load plugin", 0, 0},
        {&big, "Blinkwatcher", 0, 0},
        {&small, "i", 0, 0},
        {&big, "Threshold (dB)", 0, 0},
    };
    for (Job& j : jobs) {
        j.w = XTextWidth(j.font->Info(), j.text, static_cast<int>(strlen(j.text)));
        j.h = j.font->Ascent() + j.font->Descent();
    }
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20000; ++i) {
                const Job& j = jobs[(t + i) % 4];
                int w = 0, h = 0;
                SDrawing::GetTextDimensions(j.text, &w, &h, j.font);
                if (w != j.w || h != j.h) wrong.fetch_add(1);
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(Measure, RotatedTextDrawnFromTwoThreadsComesOutAsFromOne)
{
    SDrawFont f(10, false, false, false, nullptr);
    ASSERT_NE(f.Info(), nullptr);
    const int depth = DefaultDepth(display, DefaultScreen(display));
    struct Lane {
        const char* text;
        int angle;
        Pixmap pixmap;
        std::vector<unsigned long> reference;
        int mismatches;
    } lanes[2] = {{"Audio", 90, 0, {}, 0}, {"Threshold", 33, 0, {}, 0}};
    auto draw = [&](Lane& lane) {
        SDrawing surface;
        surface.SetOwnedDevice(new quor::gui::context::SDrawDevice(static_cast<int>(lane.pixmap)));
        surface.SetFont(&f);
        GC gc = surface.GetDevice()->Get();
        XSetForeground(display, gc, 0);
        XFillRectangle(display, lane.pixmap, gc, 0, 0, 80, 80);
        XSetForeground(display, gc, 0xFFFFFF);
        surface.DrawRotatedText(lane.text, SDrawing::Rectangle(0, 0, 80, 80), lane.angle, 0, SDrawing::Point(0, 0));
        XImage* img = XGetImage(display, lane.pixmap, 0, 0, 80, 80, AllPlanes, ZPixmap);
        std::vector<unsigned long> px;
        for (int y = 0; img && y < 80; ++y)
            for (int x = 0; x < 80; ++x) px.push_back(XGetPixel(img, x, y) & 0xFFFFFF);
        if (img) XDestroyImage(img);
        return px;
    };
    for (Lane& lane : lanes) {
        lane.pixmap = XCreatePixmap(display, DefaultRootWindow(display), 80, 80, static_cast<unsigned>(depth));
        lane.reference = draw(lane);
        ASSERT_EQ(lane.reference.size(), 6400u);
    }
    std::vector<std::thread> threads;
    for (Lane& lane : lanes)
        threads.emplace_back([&draw, own = &lane] {
            for (int i = 0; i < 40; ++i)
                if (draw(*own) != own->reference) ++own->mismatches;
        });
    for (auto& th : threads) th.join();
    for (Lane& lane : lanes) {
        EXPECT_EQ(lane.mismatches, 0) << lane.text;
        XFreePixmap(display, lane.pixmap);
    }
}
