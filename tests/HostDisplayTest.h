#pragma once
// A test that plays the host on an X server: a connection of its own whose X
// errors fail the test, and the process's standard error caught for the
// whole test, failing it on any X error the plug-in reported there (the
// plug-in keeps its errors from the process-wide handler).

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "XErrorCount.h"
#include "plugin/PluginTestSupport.h"
#include "quor/threading/watchdog.h"

namespace bwtest {

class HostDisplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dog.reset(new Watchdog(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        XInitThreads();
        test = XOpenDisplay(nullptr);
        ASSERT_NE(test, nullptr) << "these tests need an X server (run them under tools/with-xvfb.sh)";
        XErrorsCounted() = 0;
        previous = XSetErrorHandler(CountXError);
        for (unsigned b = 1; b <= 5; ++b) XTestFakeButtonEvent(test, b, False, 0);
        captured.emplace();
    }

    // After the plug-in has gone.
    void TearDown() override
    {
        const std::string text = captured ? captured->Text() : std::string();
        EXPECT_EQ(text.find("XError"), std::string::npos) << text;
        if (test) {
            for (Window w : windows) XDestroyWindow(test, w);
            XSync(test, False);
            EXPECT_EQ(XErrorsCounted(), 0) << "X errors on the host's connection";
            XSetErrorHandler(previous);
            XCloseDisplay(test);
        }
        dog.reset();
    }

    // A host window, black and mapped, destroyed when the test ends.
    Window NewWindow(int x, int y, int width = 100, int height = 75)
    {
        XSetWindowAttributes a = {};
        a.override_redirect = True;
        a.background_pixel = BlackPixel(test, DefaultScreen(test));
        Window w = XCreateWindow(test, DefaultRootWindow(test), x, y, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                 CWOverrideRedirect | CWBackPixel, &a);
        XMapRaised(test, w);
        XSync(test, False);
        windows.push_back(w);
        return w;
    }

    // What the process wrote to file descriptor 2 since the test began.
    std::string Stderr() const { return captured->SoFar(); }

    Display* test = nullptr;
    std::vector<Window> windows;
    XErrorHandler previous = nullptr;
    std::optional<StderrCapture> captured;
    std::unique_ptr<Watchdog> dog;
};

}  // namespace bwtest
