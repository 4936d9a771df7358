#pragma once
// Fixture for tests of controls on a real X server: the controls live on the
// toolkit's own connection and are served by its dispatching thread, as in a
// host; the test drives them with XTest input and reads pixels back on a
// connection of its own. Any X error fails the test: on the test's
// connection through a handler, on the toolkit's through its error count.

// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "FakeInput.h"
#include "plugin/SGlobals.h"
#include "quor/gui/SControl.h"
#include "quor/gui/SEventDispatcher.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/gui/SXErrorTrap.h"
#include "quor/gui/context/SDisplayHandles.h"
#include "quor/threading/watchdog.h"

namespace bwtest {

inline std::vector<XErrorEvent>& TestErrors()
{
    static std::vector<XErrorEvent> errors;
    return errors;
}

inline int RecordTestError(Display*, XErrorEvent* e)
{
    TestErrors().push_back(*e);
    return 0;
}

// A client message of `type` to window `w`, as a window manager sends
// WM_PROTOCOLS for the close button.
inline void SendClientMessage(Display* d, Window w, const char* type)
{
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d, type, False);
    e.xclient.format = 32;
    XSendEvent(d, w, False, 0, &e);
    XFlush(d);
}

// Runs f with the toolkit lock held, as every thread that touches controls
// must.
template <typename F>
auto Locked(F f) -> decltype(f())
{
    quor::gui::SToolkitHold hold;
    return f();
}

// Controls are deleted under the toolkit lock: the dispatching thread may be
// about to call one, and only the lock keeps it out while the derived parts
// of the control go.
struct LockedDelete {
    void operator()(quor::gui::SControl* c) const
    {
        quor::gui::SToolkitHold hold;
        delete c;
    }
};
template <typename T>
using Owned = std::unique_ptr<T, LockedDelete>;

template <typename T, typename... A>
Owned<T> MakeOwned(A&&... args)
{
    return Owned<T>(new T(std::forward<A>(args)...));
}

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dog.reset(new Watchdog(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        own = quor::gui::context::CurrentDisplay();
        ASSERT_NE(own, nullptr) << "these tests need an X server (run them under tools/with-xvfb.sh)";
        ASSERT_EQ(own, dps) << "controls live on the toolkit's own connection";
        // Served whether or not a control exists yet.
        ASSERT_TRUE(quor::gui::SEventDispatcher::Serve(own));
        test = XOpenDisplay(DisplayString(own));
        ASSERT_NE(test, nullptr);
        int event, error, major, minor;
        ASSERT_TRUE(XTestQueryExtension(test, &event, &error, &major, &minor));
        TestErrors().clear();
        previous = XSetErrorHandler(RecordTestError);
        trapped = quor::gui::SXErrorTrap::Count();
        root = DefaultRootWindow(test);
        // No button held from an earlier test.
        for (unsigned b = 1; b <= 5; ++b) XTestFakeButtonEvent(test, b, False, 0);
        XSync(test, False);
    }

    void TearDown() override
    {
        if (!test) return;
        Settle();
        XSync(test, False);
        EXPECT_TRUE(TestErrors().empty()) << TestErrors().size() << " X error(s) on the test's connection";
        EXPECT_EQ(quor::gui::SXErrorTrap::Count(), trapped) << "X error(s) on the toolkit's connection";
        for (Window w : windows) XDestroyWindow(test, w);
        XSync(test, False);
        XSetErrorHandler(previous);
        XCloseDisplay(test);
        test = nullptr;
        dog.reset();
    }

    // Every event that reached the toolkit's queue so far is dispatched.
    void Settle()
    {
        XSync(test, False);
        ASSERT_TRUE(quor::gui::SEventDispatcher::Settle(5000)) << "the dispatching thread does not answer";
    }

    // Polls until `done` holds; the watchdog ends a test that never sees it.
    template <typename F>
    bool WaitFor(F done, int timeoutMs = 5000)
    {
        return WaitUntil(done, timeoutMs);
    }

    // The root position of a point of a control.
    quor::gui::Point OnScreen(quor::gui::SControl* c, int x, int y)
    {
        return Locked([&] { return c->GetClient2Screen(x, y); });
    }

    void MoveTo(quor::gui::SControl* c, int x, int y)
    {
        quor::gui::Point p = OnScreen(c, x, y);
        FakeMotion(test, p.x, p.y);
    }

    void Button(unsigned button, bool down) { FakeButton(test, button, down); }
    void WaitForPointer(int x, int y, unsigned mask, unsigned want) { bwtest::WaitForPointer(test, x, y, mask, want); }

    void Click(quor::gui::SControl* c, int x, int y, unsigned button = 1)
    {
        MoveTo(c, x, y);
        Button(button, true);
        Button(button, false);
        Settle();
    }

    void Key(KeySym sym, bool down)
    {
        KeyCode code = XKeysymToKeycode(test, sym);
        ASSERT_NE(code, 0) << "no key for keysym " << sym;
        XTestFakeKeyEvent(test, code, down ? True : False, 0);
        XSync(test, False);
        WaitFor([&] {
            char keys[32];
            XQueryKeymap(test, keys);
            return ((keys[code / 8] >> (code % 8)) & 1) == (down ? 1 : 0);
        });
    }

    // The pixel at a control's client point, read from the screen.
    unsigned long PixelAt(quor::gui::SControl* c, int x, int y)
    {
        quor::gui::Point p = OnScreen(c, x, y);
        return ScreenPixel(p.x, p.y);
    }

    unsigned long ScreenPixel(int x, int y)
    {
        XImage* image = XGetImage(test, root, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) return ~0ul;
        unsigned long pixel = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return pixel;
    }

    // A window of the test's own, filled with `pixel`.
    Window Backdrop(int x, int y, int w, int h, unsigned long pixel)
    {
        XSetWindowAttributes a = {};
        a.override_redirect = True;
        a.background_pixel = pixel;
        Window win = XCreateWindow(test, root, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), 0,
                                   CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &a);
        windows.push_back(win);
        XMapRaised(test, win);
        XSync(test, False);
        return win;
    }

    unsigned long Rgb(int r, int g, int b) const
    {
        return (static_cast<unsigned long>(r) << 16) | (static_cast<unsigned long>(g) << 8) |
               static_cast<unsigned long>(b);
    }

    Display* own = nullptr;   // the toolkit's connection
    Display* test = nullptr;  // the test's: input and read-back
    Window root = 0;
    SGlobals globals;
    std::unique_ptr<Watchdog> dog;
    XErrorHandler previous = nullptr;
    uint64_t trapped = 0;
    std::vector<Window> windows;
};

}  // namespace bwtest
