#pragma once
// An off-screen 24-bit canvas on the shared display for the text tests, read
// back pixel by pixel, with a watchdog and a counter of X protocol errors.
// Without an X server or on a screen of another depth every test fails: a
// broken test server must not pass a suite by skipping it.

#include <gtest/gtest.h>
// After gtest: X.h defines None.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "quor/gui/SXErrorTrap.h"
#include "quor/gui/context/SDisplayHandles.h"
#include "quor/gui/context/SDrawDevice.h"
#include "quor/gui/context/SDrawing.h"

namespace bwtest {

inline int& XErrorCount()
{
    static int count = 0;
    return count;
}

inline int CountingHandler(Display*, XErrorEvent* e)
{
    fprintf(stderr, "X error: code %d request %d\n", e->error_code, e->request_code);
    ++XErrorCount();
    return 0;
}

inline void Watchdog(unsigned seconds)
{
    signal(SIGALRM, [](int) {
        static const char msg[] = "watchdog: test hung, aborting\n";
        (void)!write(2, msg, sizeof msg - 1);
        abort();
    });
    alarm(seconds);
}

// The ink of a region: pixels that differ from the background colour.
struct Ink {
    int count = 0;
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive
    void Add(int x, int y)
    {
        ++count;
        if (x < left) left = x;
        if (x > right) right = x;
        if (y < top) top = y;
        if (y > bottom) bottom = y;
    }
};

class Canvas : public ::testing::Test {
protected:
    static constexpr int kWidth = 240;
    static constexpr int kHeight = 160;

    void SetUp() override
    {
        Watchdog(60);
        display = quor::gui::context::CurrentDisplay();
        ASSERT_NE(display, nullptr) << "these tests need an X server (run them under tools/with-xvfb.sh)";
        ASSERT_EQ(DefaultDepth(display, DefaultScreen(display)), 24) << "these tests need a 24-bit screen";
        XErrorCount() = 0;
        trapped = quor::gui::SXErrorTrap::Count();
        previous = XSetErrorHandler(CountingHandler);
        handlerSet = true;
        pixmap = XCreatePixmap(display, DefaultRootWindow(display), kWidth, kHeight,
                               DefaultDepth(display, DefaultScreen(display)));
        drawing = new quor::gui::context::SDrawing();
        drawing->SetOwnedDevice(new quor::gui::context::SDrawDevice(static_cast<int>(pixmap)));
        Clear(kBlack);
        SetForeground(kWhite);
    }

    void TearDown() override
    {
        alarm(0);
        if (!handlerSet) return;
        delete drawing;
        XFreePixmap(display, pixmap);
        XSync(display, False);
        XSetErrorHandler(previous);
        EXPECT_EQ(XErrorCount(), 0) << "X protocol errors";
        EXPECT_EQ(quor::gui::SXErrorTrap::Count(), trapped) << "X errors on the toolkit's connection";
    }

    GC Gc() { return drawing->GetDevice()->Get(); }

    void SetForeground(unsigned long pixel) { XSetForeground(display, Gc(), pixel); }

    void Clear(unsigned long pixel)
    {
        GC gc = XCreateGC(display, pixmap, 0, nullptr);
        XSetForeground(display, gc, pixel);
        XFillRectangle(display, pixmap, gc, 0, 0, kWidth, kHeight);
        XFreeGC(display, gc);
    }

    // The whole canvas as 0xRRGGBB values, row by row.
    std::vector<unsigned long> Read()
    {
        XSync(display, False);
        std::vector<unsigned long> px(kWidth * kHeight, 0);
        XImage* img = XGetImage(display, pixmap, 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
        if (!img) {
            ADD_FAILURE() << "XGetImage failed";
            return px;
        }
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) px[y * kWidth + x] = XGetPixel(img, x, y) & 0xFFFFFF;
        XDestroyImage(img);
        return px;
    }

    static Ink InkOf(const std::vector<unsigned long>& px, unsigned long background = kBlack)
    {
        Ink ink;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (px[y * kWidth + x] != background) ink.Add(x, y);
        return ink;
    }

    static constexpr unsigned long kBlack = 0x000000;
    static constexpr unsigned long kWhite = 0xFFFFFF;
    static constexpr unsigned long kRed = 0xFF0000;
    static constexpr unsigned long kGreen = 0x00FF00;

    Display* display = nullptr;
    Pixmap pixmap = 0;
    quor::gui::context::SDrawing* drawing = nullptr;
    XErrorHandler previous = nullptr;
    uint64_t trapped = 0;
    bool handlerSet = false;
};

}  // namespace bwtest
