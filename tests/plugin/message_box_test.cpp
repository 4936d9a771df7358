// The plug-in's own message box, with the plug-in loaded as a host loads it
// and no editor open: a chunk from a newer version shows the box, which
// paints and closes with its OK; unloading the plug-in takes the box away
// without an X error. On an X server of its own, so that the box found is
// this plug-in's.

#include <gtest/gtest.h>

// Before Xlib, whose macros (None) clash with the host's names.
#include "tools/vsthost/VstHost.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "plugin/PluginTestSupport.h"
#include "quor/gui/XvfbServer.h"
#include "quor/threading/watchdog.h"

namespace {

int xErrors = 0;
int CountError(Display*, XErrorEvent*)
{
    ++xErrors;
    return 0;
}

template <typename F>
bool WaitFor(F done)
{
    for (int i = 0; i < 5000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

std::vector<Window> Children(Display* d, Window w)
{
    Window root, parent, *list = nullptr;
    unsigned n = 0;
    std::vector<Window> out;
    if (XQueryTree(d, w, &root, &parent, &list, &n)) out.assign(list, list + n);
    if (list) XFree(list);
    return out;
}

bool Viewable(Display* d, Window w)
{
    XWindowAttributes a;
    return XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}

// The viewable top-level window titled "Blinkwatcher"; 0 while there is none.
Window FindBox(Display* d)
{
    for (Window w : Children(d, DefaultRootWindow(d))) {
        char* name = nullptr;
        bool found = XFetchName(d, w, &name) && std::string(name) == "Blinkwatcher" && Viewable(d, w);
        if (name) XFree(name);
        if (found) return w;
    }
    return 0;
}

TEST(PluginMessageBox, PaintsWithoutAnEditorClosesWithOkAndGoesWithTheModule)
{
    Watchdog dog("PluginMessageBox");
    bwtest::XvfbServer server({"-screen", "0", "1024x768x24"});
    ASSERT_FALSE(server.name.empty()) << "no private X server";
    std::string previous = getenv("DISPLAY") ? getenv("DISPLAY") : "";
    setenv("DISPLAY", server.name.c_str(), 1);
    Display* d = XOpenDisplay(server.name.c_str());
    ASSERT_NE(d, nullptr) << server.name;
    XErrorHandler before = XSetErrorHandler(CountError);

    vsthost::Host host;
    ASSERT_TRUE(host.Load(bwtest::PluginPath(), true)) << host.ErrorText();
    std::vector<uint8_t> chunk = host.GetChunk(false);
    chunk.resize(60, 0);
    {
        bwtest::StderrCapture quiet;
        EXPECT_EQ(host.SetChunk(chunk, false), 1);
    }
    Window box = 0;
    ASSERT_TRUE(WaitFor([&] { return (box = FindBox(d)) != 0; })) << "no box on screen";
    // Painted by the plug-in's own thread: edge markers, dark grey inside.
    auto pixel = [&](int x, int y) {
        XImage* image = XGetImage(d, box, x, y, 1, 1, AllPlanes, ZPixmap);
        unsigned long p = image ? XGetPixel(image, 0, 0) : ~0ul;
        if (image) XDestroyImage(image);
        return p;
    };
    EXPECT_TRUE(WaitFor([&] { return pixel(5, 60) == 0x000000ul && pixel(20, 35) == 0x4D5154ul; }));

    Window ok = 0;
    for (Window w : Children(d, box)) {
        XWindowAttributes a;
        if (XGetWindowAttributes(d, w, &a) && a.width == 40 && a.height == 20) ok = w;
    }
    ASSERT_NE(ok, 0u) << "no OK button";
    int x, y;
    Window child;
    XTranslateCoordinates(d, ok, DefaultRootWindow(d), 20, 10, &x, &y, &child);
    XTestFakeMotionEvent(d, -1, x, y, 0);
    XTestFakeButtonEvent(d, 1, True, 0);
    XTestFakeButtonEvent(d, 1, False, 0);
    XSync(d, False);
    EXPECT_TRUE(WaitFor([&] { return !Viewable(d, box); })) << "OK did not close the box";

    // Shown again by the next message, then taken away with the module.
    {
        bwtest::StderrCapture quiet;
        EXPECT_EQ(host.SetChunk(chunk, true), 1);
    }
    EXPECT_TRUE(WaitFor([&] { return FindBox(d) == box; }));
    bwtest::StderrCapture unload;
    host.Close();
    std::string said = unload.Text();
    EXPECT_EQ(said.find("XError"), std::string::npos) << said;
    XSync(d, False);
    std::vector<Window> left = Children(d, DefaultRootWindow(d));
    EXPECT_EQ(std::count(left.begin(), left.end(), box), 0) << "the box outlived the module";
    EXPECT_EQ(xErrors, 0);
    XSetErrorHandler(before);
    XCloseDisplay(d);
    if (previous.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", previous.c_str(), 1);
}

}  // namespace
