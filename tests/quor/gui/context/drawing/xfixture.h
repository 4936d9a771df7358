#pragma once
// Fixture for tests that draw on the X server named by DISPLAY (Xvfb, 24-bit):
// a watchdog, an error handler that records every X error, pixmaps to draw
// on and pixels read back from the server.

// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "quor/gui/SXErrorTrap.h"
#include "quor/gui/context/SDisplayHandles.h"
#include "quor/gui/context/SDrawDevice.h"
#include "quor/gui/context/SDrawing.h"

namespace bwtest {

inline std::vector<XErrorEvent>& XErrors()
{
    static std::vector<XErrorEvent> errors;
    return errors;
}

inline int RecordXError(Display*, XErrorEvent* e)
{
    XErrors().push_back(*e);
    return 0;
}

inline void Watchdog(int)
{
    static const char msg[] = "watchdog: X test did not finish in time\n";
    ssize_t n = write(2, msg, sizeof msg - 1);
    (void)n;
    abort();
}

// Pixels of an area read back with XGetImage.
struct Grab {
    int width = 0;
    int height = 0;
    std::vector<unsigned long> pixels;
    unsigned long At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
    // Rows of '#' where the pixel equals `on`, '.' elsewhere: readable diffs.
    std::string Map(unsigned long on) const
    {
        std::string s;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) s += At(x, y) == on ? '#' : '.';
            s += '\n';
        }
        return s;
    }
};

// The same layout from a predicate.
template <typename F>
std::string Expect(int width, int height, F on)
{
    std::string s;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) s += on(x, y) ? '#' : '.';
        s += '\n';
    }
    return s;
}

class XServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        signal(SIGALRM, Watchdog);
        alarm(60);
        display = quor::gui::context::CurrentDisplay();
        ASSERT_NE(display, nullptr) << "these tests need an X server (run them under tools/with-xvfb.sh)";
        ASSERT_EQ(DefaultDepth(display, DefaultScreen(display)), 24);
        XSync(display, False);
        XErrors().clear();
        previousHandler = XSetErrorHandler(RecordXError);
        // The toolkit's connection keeps its errors to itself: count them.
        trapped = quor::gui::SXErrorTrap::Count();
        depth = static_cast<unsigned>(DefaultDepth(display, DefaultScreen(display)));
        root = DefaultRootWindow(display);
    }

    void TearDown() override
    {
        if (display) {
            XSync(display, False);
            EXPECT_TRUE(XErrors().empty()) << XErrors().size() << " X error(s), first request code "
                                           << (XErrors().empty() ? 0 : XErrors()[0].request_code);
            EXPECT_EQ(quor::gui::SXErrorTrap::Count(), trapped) << "X error(s) on the toolkit's connection";
            for (Pixmap p : pixmaps) XFreePixmap(display, p);
            for (Window w : windows) XDestroyWindow(display, w);
            XSync(display, False);
            XSetErrorHandler(previousHandler);
        }
        alarm(0);
    }

    // A pixmap of the default depth filled with `fill`.
    Pixmap NewPixmap(int w, int h, unsigned long fill)
    {
        Pixmap p = XCreatePixmap(display, root, static_cast<unsigned>(w), static_cast<unsigned>(h), depth);
        Fill(p, 0, 0, w, h, fill);
        pixmaps.push_back(p);
        return p;
    }

    void Fill(Drawable d, int x, int y, int w, int h, unsigned long pixel)
    {
        GC gc = XCreateGC(display, d, 0, nullptr);
        XSetForeground(display, gc, pixel);
        XFillRectangle(display, d, gc, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
        XFreeGC(display, gc);
    }

    // A mapped override-redirect window at (x, 0), exposed before it is
    // returned. Windows of one test must not overlap: an obscured part reads
    // back undefined.
    Window NewWindow(int w, int h, unsigned long fill, int x = 0)
    {
        XSetWindowAttributes a = {};
        a.override_redirect = True;
        a.background_pixel = fill;
        a.event_mask = ExposureMask;
        Window win = XCreateWindow(display, root, x, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), 0,
                                   static_cast<int>(depth), InputOutput, CopyFromParent,
                                   CWOverrideRedirect | CWBackPixel | CWEventMask, &a);
        windows.push_back(win);
        XMapRaised(display, win);
        XEvent e;
        XWindowEvent(display, win, ExposureMask, &e);
        XSync(display, False);
        return win;
    }

    Grab Read(Drawable d, int w, int h)
    {
        XSync(display, False);
        Grab g;
        XImage* image = XGetImage(display, d, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes,
                                  ZPixmap);
        if (!image) {
            ADD_FAILURE() << "XGetImage failed";
            return g;
        }
        g.width = w;
        g.height = h;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) g.pixels.push_back(XGetPixel(image, x, y));
        XDestroyImage(image);
        return g;
    }

    // A surface drawing on `d`, as a control's surface draws on its window.
    std::unique_ptr<quor::gui::context::SDrawing> SurfaceOn(Drawable d)
    {
        auto s = std::make_unique<quor::gui::context::SDrawing>();
        s->SetOwnedDevice(new quor::gui::context::SDrawDevice(static_cast<int>(d)));
        return s;
    }

    Display* display = nullptr;
    Window root = 0;
    unsigned depth = 0;
    XErrorHandler previousHandler = nullptr;
    uint64_t trapped = 0;
    std::vector<Pixmap> pixmaps;
    std::vector<Window> windows;
};

}  // namespace bwtest
