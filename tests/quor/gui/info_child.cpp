// Cases that info_process_test.cpp runs in a child process of their own: a
// message with no X server, and the box at process end. Not registered as
// tests of their own.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <dlfcn.h>

#include <cstdio>

#include "quor/gui/SInfo.h"
#include "quor/gui/SMessageDialog.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/gui/SXErrorTrap.h"
#include "quor/gui/context/SDisplayHandles.h"

using namespace quor::gui;

// The toolkit's objects are linked into this program: their X calls come
// here first. At process end the box's window must go on the toolkit's
// connection before that connection closes, without an X error.
static Display* watched = nullptr;
static Window boxWindow = 0;
static bool boxDestroyed = false;

template <typename F>
static F Real(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

extern "C" {
int XDestroyWindow(Display* d, Window w)
{
    if (d && d == watched && w == boxWindow) boxDestroyed = true;
    return Real<int (*)(Display*, Window)>("XDestroyWindow")(d, w);
}
int XCloseDisplay(Display* d)
{
    if (d && d == watched) {
        printf("closing the toolkit's connection: box %s, %llu X errors\n",
               boxDestroyed ? "destroyed before" : "still there",
               static_cast<unsigned long long>(SXErrorTrap::Count()));
        fflush(stdout);
    }
    return Real<int (*)(Display*)>("XCloseDisplay")(d);
}
}

TEST(InfoChild, WithoutADisplayOnlyTheLine)
{
    ASSERT_EQ(dps, nullptr);
    SInfo("Failed to load plugin\n(Reason: System not supported)", "Blinkwatcher");
    SInfo(nullptr, nullptr);
    EXPECT_EQ(SInfoBox(), nullptr);
}

TEST(InfoChild, TheBoxGoesBeforeItsConnection)
{
    ASSERT_NE(dps, nullptr);
    SInfo("still shown when the process ends", "Blinkwatcher");
    SToolkitHold hold;
    ASSERT_NE(SInfoBox(), nullptr);
    boxWindow = SInfoBox()->GetWindow();
    watched = dps;
}
