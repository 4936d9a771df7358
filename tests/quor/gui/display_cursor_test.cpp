// Monitor layouts read from real X servers of several shapes, and the arrow
// cursor as the server holds it.

#include "GuiFixture.h"  // first: gtest before Xlib

#include <X11/Xatom.h>
#include <X11/extensions/Xfixes.h>
#include <fcntl.h>

#include <memory>

#include "ProbeControl.h"
#include "XvfbServer.h"
#include "quor/gui/SCursor.h"
#include "quor/gui/SDisplay.h"

using namespace quor::gui;
using bwtest::Locked;

namespace {

// The monitors of a private server with the given layout.
SDisplay MonitorsOf(const std::vector<std::string>& layout,
                    void (*prepare)(Display*) = nullptr)
{
    SDisplay info;
    bwtest::XvfbServer server(layout);
    EXPECT_FALSE(server.name.empty()) << "Xvfb did not start";
    if (server.name.empty()) return info;
    Display* d = XOpenDisplay(server.name.c_str());
    EXPECT_NE(d, nullptr);
    if (!d) return info;
    if (prepare) prepare(d);
    EXPECT_TRUE(info.AllMonitorRects(d));
    XCloseDisplay(d);
    return info;
}

TEST(Monitors, XineramaScreensAsTheServerReportsThem)
{
    // Xvfb puts every Xinerama screen at the origin; what matters is that
    // each reported screen becomes a monitor and the bounds cover them all.
    SDisplay info = MonitorsOf({"+xinerama", "-screen", "0", "800x600x24", "-screen", "1", "640x900x24"});
    ASSERT_EQ(info.count, 2);
    EXPECT_EQ(info.monitors[0], Rectangle(0, 0, 800, 600));
    EXPECT_EQ(info.monitors[1], Rectangle(0, 0, 640, 900));
    EXPECT_EQ(info.bounds, Rectangle(0, 0, 800, 900));
    EXPECT_FALSE(info.split);
    // A server of today answers through RandR: one monitor per output.
    SDisplay randr = MonitorsOf({"-screen", "0", "1280x2048x24"});
    ASSERT_EQ(randr.count, 1);
    EXPECT_EQ(randr.monitors[0], Rectangle(0, 0, 1280, 2048));
}

TEST(Monitors, APointOnASharedEdgeBelongsToTheFirstMonitor)
{
    SDisplay info;
    info.monitors = {Rectangle(0, 0, 800, 600), Rectangle(800, 0, 1600, 600)};
    EXPECT_EQ(info.MonitorRect(Point(800, 100)), info.monitors[0]);
    EXPECT_EQ(info.MonitorRect(Point(801, 100)), info.monitors[1]);
    EXPECT_EQ(info.MonitorRect(Point(5000, 5000)), info.monitors[0]);
}

TEST(Monitors, WorkAreasOfSeveralScreensWithoutXinerama)
{
    SDisplay info = MonitorsOf({"-screen", "0", "800x600x24", "-screen", "1", "640x480x24"}, [](Display* d) {
        Atom area = XInternAtom(d, "_NET_WORKAREA", False);
        const long first[4] = {0, 20, 800, 580}, second[4] = {10, 0, 600, 480};
        XChangeProperty(d, RootWindow(d, 0), area, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(first), 4);
        XChangeProperty(d, RootWindow(d, 1), area, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(second), 4);
        XSync(d, False);
    });
    ASSERT_EQ(info.count, 2);
    EXPECT_EQ(info.monitors[0], Rectangle(0, 20, 800, 600));
    EXPECT_EQ(info.monitors[1], Rectangle(10, 0, 610, 480));
}

TEST(Monitors, OneScreenIsDividedIntoMonitorsOfAspectFiveToFour)
{
    // Without Xinerama (nor RandR, which answers for it today).
    SDisplay tall = MonitorsOf({"-extension", "RANDR", "-screen", "0", "1280x2048x24"});
    ASSERT_EQ(tall.count, 2);
    EXPECT_TRUE(tall.split);
    EXPECT_EQ(tall.monitors[0], Rectangle(0, 0, 1280, 1024));
    EXPECT_EQ(tall.monitors[1], Rectangle(0, 1024, 1280, 2048));
    SDisplay wide = MonitorsOf({"-extension", "RANDR", "-screen", "0", "2560x1024x24"});
    ASSERT_EQ(wide.count, 2);
    EXPECT_EQ(wide.monitors[1], Rectangle(1280, 0, 2560, 1024));
    SDisplay plain = MonitorsOf({"-extension", "RANDR", "-screen", "0", "1600x1200x24"});
    ASSERT_EQ(plain.count, 1);
    EXPECT_FALSE(plain.split);
    EXPECT_EQ(plain.monitors[0], Rectangle(0, 0, 1600, 1200));
}

class Placement : public bwtest::GuiTest {};

TEST_F(Placement, CentringUsesTheMonitorUnderTheWindowOrTheScreenWithoutMonitors)
{
    SDisplay two;
    two.monitors = {Rectangle(0, 0, 800, 600), Rectangle(800, 0, 1600, 600)};
    two.count = 2;
    auto owned = bwtest::MakeOwned<bwtest::Probe>(&globals, nullptr, 1, 0, 900, 100, 40, 30, 0);
    bwtest::Probe& p = *owned;
    Locked([&] {
        two.CenterOnWindow(&p);  // its centre lies on the second monitor
        EXPECT_EQ(p.GetRect(), Rectangle(800 + 380, 285, 800 + 380 + 40, 285 + 30));
        two.CenterOnWindow(&p, Point(10, 10));
        EXPECT_EQ(p.GetRect().left, 380);
        two.CenterOnWindow(nullptr);
    });
    // No monitor known (no display at load): the screen, never a missing
    // first entry.
    SDisplay none;
    const int W = DisplayWidth(test, DefaultScreen(test)), H = DisplayHeight(test, DefaultScreen(test));
    EXPECT_EQ(none.MonitorRect(Point(3, 3)), Rectangle(0, 0, W, H));
    Locked([&] {
        none.CenterOnWindow(&p);
        EXPECT_EQ(p.GetRect().left, (W - 40) >> 1);
        EXPECT_EQ(p.GetRect().top, (H - 30) >> 1);
    });
}

TEST_F(Placement, TheArrowCursorIsOrangeWithABlackOutline)
{
    auto owned = bwtest::MakeOwned<bwtest::Probe>(&globals, nullptr, 1, 0, 300, 300, 60, 60, 0);
    bwtest::Probe& p = *owned;
    SCursor cursor;
    Locked([&] {
        p.Show();
        cursor.SetWindow(p.GetWindow());
        cursor.CreateDefault();
        cursor.Set();
    });
    Settle();
    MoveTo(&p, 20, 20);
    XFixesCursorImage* image = XFixesGetCursorImage(test);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 24);
    EXPECT_EQ(image->height, 24);
    EXPECT_EQ(image->xhot, 0);
    EXPECT_EQ(image->yhot, 0);
    // Rows of the picture: '#' black, 'o' orange, '.' clear.
    const char* rows[24] = {"#",           "##",           "#o#",           "#oo#",          "#ooo#",
                            "#oooo#",      "#ooooo#",      "#oooooo#",      "#ooooooo#",     "#oooooooo#",
                            "#ooooooooo#", "#oooooooooo#", "#ooooooooooo#", "#oooooooooooo#", "#ooooooo#######",
                            "#ooo#ooo#",   "#oo#.#ooo#",   "#o#..#ooo#",    "##....#ooo#",   "#.....#ooo#",
                            ".......#ooo#", ".......#oo##", "........###",   ""};
    std::string got, want;
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 24; ++x) {
            unsigned long argb = image->pixels[y * 24 + x] & 0xFFFFFFFFul;
            got += argb == 0xFF000000ul ? '#' : argb == 0xFFFF7F00ul ? 'o' : (argb >> 24) == 0 ? '.' : '?';
            want += x < static_cast<int>(strlen(rows[y])) ? rows[y][x] : '.';
        }
        got += '\n';
        want += '\n';
    }
    XFree(image);
    EXPECT_EQ(got, want);
    Locked([&] { cursor.Free(); });
    SCursor windowless;
    windowless.Free();  // no window: nothing
}

// The colour cells of the default colour map that one more client could
// still allocate.
int FreeColourCells(Display* d)
{
    Colormap map = DefaultColormap(d, DefaultScreen(d));
    std::vector<unsigned long> taken;
    unsigned long pixel;
    while (XAllocColorCells(d, map, False, nullptr, 0, &pixel, 1)) taken.push_back(pixel);
    if (!taken.empty()) XFreeColors(d, map, taken.data(), static_cast<int>(taken.size()), 0);
    XSync(d, False);
    return static_cast<int>(taken.size());
}

TEST(Cursors, TheArrowTakesNoColourCellOnAPseudoColorServer)
{
    bwtest::XvfbServer server({"-screen", "0", "320x240x8"});
    ASSERT_FALSE(server.name.empty()) << "Xvfb did not start";
    Display* d = XOpenDisplay(server.name.c_str());
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(DefaultVisual(d, DefaultScreen(d))->c_class, PseudoColor);
    // A cursor made on this connection, as a host's display would be.
    struct On : SCursor {
        explicit On(Display* d) { display = d; }
    };
    const int before = FreeColourCells(d);
    ASSERT_GT(before, 0);
    for (int i = 0; i < 3; ++i) {
        On cursor(d);
        cursor.SetWindow(DefaultRootWindow(d));
        cursor.CreateDefault();
        ASSERT_NE(cursor.GetCursor(), 0u);
    }
    EXPECT_EQ(FreeColourCells(d), before) << "an editor open and close keeps a colour cell";
    XCloseDisplay(d);
}

}  // namespace
