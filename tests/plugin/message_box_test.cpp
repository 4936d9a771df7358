// The plug-in's own message box, the plug-in loaded as a host loads it and no
// editor open: a chunk from a newer version shows the box, which the
// plug-in's own thread paints; unloading takes it away without an X error.
// On an X server of its own, so that the box found is this plug-in's.

#include <gtest/gtest.h>

#include "tools/vsthost/VstHost.h"  // before Xlib, whose macros clash with it

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <thread>

#include "FakeInput.h"
#include "plugin/PluginTestSupport.h"
#include "quor/gui/XvfbServer.h"
#include "quor/threading/watchdog.h"

namespace {

int xErrors = 0;

// The viewable top-level window titled `name`, or 0.
Window Find(Display* d, Window w, const char* name)
{
    Window root, parent, *list = nullptr, found = 0;
    unsigned n = 0;
    XQueryTree(d, w, &root, &parent, &list, &n);
    for (unsigned i = 0; i < n && !found; ++i) {
        XWindowAttributes a;
        char* title = nullptr;
        if (XGetWindowAttributes(d, list[i], &a) && a.map_state == IsViewable && XFetchName(d, list[i], &title) &&
            std::string(title) == name)
            found = list[i];
        if (title) XFree(title);
    }
    if (list) XFree(list);
    return found;
}

TEST(PluginMessageBox, PaintsWithoutAnEditorAndGoesWithTheModule)
{
    Watchdog dog("PluginMessageBox");
    bwtest::XvfbServer server({"-screen", "0", "1024x768x24"});
    ASSERT_FALSE(server.name.empty()) << "no private X server";
    const char* previous = getenv("DISPLAY");
    std::string saved = previous ? previous : "";
    setenv("DISPLAY", server.name.c_str(), 1);  // the plug-in opens it when loaded
    Display* d = XOpenDisplay(server.name.c_str());
    ASSERT_NE(d, nullptr);
    XSetErrorHandler([](Display*, XErrorEvent*) { return ++xErrors, 0; });

    vsthost::Host host;
    ASSERT_TRUE(host.Load(bwtest::PluginPath(), true)) << host.ErrorText();
    std::vector<uint8_t> chunk = host.GetChunk(false);
    chunk.resize(60, 0);
    {
        bwtest::StderrCapture quiet;
        EXPECT_EQ(host.SetChunk(chunk, false), 1);
    }
    Window box = 0;
    ASSERT_TRUE(bwtest::WaitUntil([&] { return (box = Find(d, DefaultRootWindow(d), "Blinkwatcher")) != 0; }));
    XImage* image = nullptr;
    EXPECT_TRUE(bwtest::WaitUntil([&] {
        if (image) XDestroyImage(image);
        image = XGetImage(d, box, 0, 0, 30, 40, AllPlanes, ZPixmap);
        return image && XGetPixel(image, 5, 30) == 0 && XGetPixel(image, 20, 35) == 0x4D5154;  // markers, grey
    })) << "not painted";
    if (image) XDestroyImage(image);
    bwtest::StderrCapture unload;
    host.Close();
    EXPECT_EQ(unload.Text().find("XError"), std::string::npos) << unload.Text();
    XWindowAttributes a;
    EXPECT_FALSE(XGetWindowAttributes(d, box, &a)) << "the box outlived the module";
    EXPECT_EQ(xErrors, 1) << "only the look at the window that is gone";
    XCloseDisplay(d);
    if (previous) setenv("DISPLAY", saved.c_str(), 1); else unsetenv("DISPLAY");
}

}  // namespace
