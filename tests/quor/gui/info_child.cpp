// Cases that info_process_test.cpp runs in a child process: a message with no
// X server, and the box still shown when the process ends.

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

// The toolkit is linked into this program, so its X calls come here first:
// the box's window must go before the toolkit's connection closes.
static Display* watched = nullptr;
static Window boxWindow = 0;
static bool boxDestroyed = false;

extern "C" int XDestroyWindow(Display* d, Window w)
{
    boxDestroyed = boxDestroyed || (d && d == watched && w == boxWindow);
    return reinterpret_cast<int (*)(Display*, Window)>(dlsym(RTLD_NEXT, "XDestroyWindow"))(d, w);
}

extern "C" int XCloseDisplay(Display* d)
{
    if (d && d == watched)
        printf("closing the toolkit's connection: box %s, %llu X errors\n", boxDestroyed ? "gone" : "still there",
               static_cast<unsigned long long>(SXErrorTrap::Count()));
    fflush(stdout);
    return reinterpret_cast<int (*)(Display*)>(dlsym(RTLD_NEXT, "XCloseDisplay"))(d);
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
    SInfo("still shown when the process ends", "Blinkwatcher");
    SToolkitHold hold;
    ASSERT_NE(SInfoBox(), nullptr);
    boxWindow = SInfoBox()->GetWindow();
    watched = dps;
}
