// Cases that info_process_test.cpp runs in a child process: a message with no
// X server, the whole editor with no X server, and the box still shown when
// the process ends.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "plugin/VSTPlugin.h"
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

namespace {

VstIntPtr Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

struct Headless : VSTPlugin {
    int result = 0;
    Headless() : VSTPlugin(Host, result) {}
};

}  // namespace

// A host that opens the editor although no X server answered: the panel,
// its dialogs and lamps are built without windows, and nothing calls X on a
// null display (which would end this process).
TEST(InfoChild, WithoutADisplayTheEditorOpensAndClosesWithoutAnXCall)
{
    ASSERT_EQ(dps, nullptr);
    auto* plugin = new Headless();
    AEffect* e = plugin->getAeffect();
    EXPECT_EQ(e->flags & effFlagsHasEditor, effFlagsHasEditor);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(e->dispatcher(e, effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(0x400001)), 0.0f), 1);
        std::vector<float> a(64, 0.5f), b(64, 0.5f);
        float* io[2] = {a.data(), b.data()};
        e->processReplacing(e, io, io, 64);
        e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // idle calls happen meanwhile
        EXPECT_EQ(e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f), 1);
    }
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
}

TEST(InfoChild, TheBoxGoesBeforeItsConnection)
{
    SInfo("still shown when the process ends", "Blinkwatcher");
    SToolkitHold hold;
    ASSERT_NE(SInfoBox(), nullptr);
    boxWindow = SInfoBox()->GetWindow();
    watched = dps;
}
