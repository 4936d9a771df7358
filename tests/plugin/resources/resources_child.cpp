// Cases run in a child process by the resources tests, each with the
// environment its parent test sets up (no X server, an adopted host display,
// an 8-bit server). Not registered as tests of their own.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "plugin/SGlobals.h"
#include "plugin/SStaticData.h"
#include "quor/gui/SCOL.h"
#include "quor/gui/SDisplay.h"
#include "quor/gui/context/SDisplayHandles.h"
#include "quor/gui/context/SDrawBitmap.h"
#include "quor/gui/context/SDrawBrush.h"
#include "quor/gui/context/SDrawFont.h"
#include "quor/gui/context/SDrawImage.h"
#include "quor/gui/context/SDrawMemoryDevice.h"
#include "quor/gui/context/SDrawPen.h"
#include "quor/gui/context/SDrawing.h"
#include "quor/system/SSystemData.h"

using namespace quor::gui::context;
typedef SDrawing::Point Point;
typedef SDrawing::Rectangle Rect;

// A display the host has closed: any call on it ends the child with a message.
// The library's objects are linked into this program, so its calls of these
// functions come here first.
static Display* closedHost = nullptr;

static void RefuseClosed(Display* d, const char* what)
{
    if (!d || d != closedHost) return;
    const char prefix[] = "call on the closed host display: ";
    ssize_t n = write(2, prefix, sizeof prefix - 1);
    n = write(2, what, strlen(what));
    n = write(2, "\n", 1);
    (void)n;
    _exit(3);
}

template <typename F>
static F Real(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

extern "C" {
int XFreeFont(Display* d, XFontStruct* f)
{
    RefuseClosed(d, "XFreeFont");
    return Real<int (*)(Display*, XFontStruct*)>("XFreeFont")(d, f);
}
int XUnloadFont(Display* d, Font f)
{
    RefuseClosed(d, "XUnloadFont");
    return Real<int (*)(Display*, Font)>("XUnloadFont")(d, f);
}
int XFreePixmap(Display* d, Pixmap p)
{
    RefuseClosed(d, "XFreePixmap");
    return Real<int (*)(Display*, Pixmap)>("XFreePixmap")(d, p);
}
int XFreeGC(Display* d, GC gc)
{
    RefuseClosed(d, "XFreeGC");
    return Real<int (*)(Display*, GC)>("XFreeGC")(d, gc);
}
int XFlush(Display* d)
{
    RefuseClosed(d, "XFlush");
    return Real<int (*)(Display*)>("XFlush")(d);
}
int XSync(Display* d, Bool discard)
{
    RefuseClosed(d, "XSync");
    return Real<int (*)(Display*, Bool)>("XSync")(d, discard);
}
}

namespace {

const char* const tinyXpm[] = {"2 1 1 1", "a c #FF0000", "aa"};

// ---- no X server at all: nothing may reach Xlib with a null display


TEST(HeadlessChild, NoDisplayAndAnEmptyColourTable)
{
    EXPECT_EQ(dps, nullptr);
    EXPECT_EQ(CurrentDisplay(), nullptr);
    EXPECT_FALSE(statdata.coloursLoaded);
    EXPECT_EQ(statdata.colours.Count(), 0);
    for (int i = -1; i <= 29; ++i) EXPECT_EQ(statdata.Colour(i), 0u) << i;
    EXPECT_EQ(quor::gui::SCOL(255, 128, 0), 0u);
    EXPECT_EQ(sd.DisplayInfo(), nullptr);
    AdoptHostDisplay(nullptr);
    EXPECT_EQ(CurrentDisplay(), nullptr);
}

TEST(HeadlessChild, SharedListsAndGlobalsStillWork)
{
    int brushes = statdata.BrushCount();
    SDrawBrush* b = statdata.FindBrush(77);
    EXPECT_EQ(statdata.FindBrush(77), b);
    EXPECT_EQ(statdata.BrushCount(), brushes + 1);
    EXPECT_NE(statdata.FindPen(77), nullptr);
    SGlobals a, c;
    EXPECT_EQ(a.NextIdentifier(), 1u);
    EXPECT_EQ(c.NextIdentifier(), 1u);
}

TEST(HeadlessChild, DrawingDoesNothingAndCallsNoX)
{
    SGlobals globals;
    SDrawing surface(nullptr, &globals);
    EXPECT_EQ(surface.GetBackgroundColour(), 0);
    EXPECT_EQ(surface.GetForegroundColour(), 0);
    surface.InitDrawing(nullptr, nullptr);
    surface.SetOwnedDevice(new SDrawDevice(12345));
    EXPECT_EQ(surface.GetDevice()->Get(), nullptr);

    SDrawPen pen(1, 1, true);
    SDrawBrush brush(2, -1, nullptr);
    SDrawFont font(10, true, false, false, nullptr);
    EXPECT_EQ(font.Id(), 0u);
    EXPECT_EQ(font.Info(), nullptr);
    surface.SetPen(&pen);
    surface.SetBrush(&brush);
    surface.SetFont(&font);
    surface.SetColours(1, 2, 3, 4, 5, 6, 7);
    surface.SetForegroundColour(true);
    surface.SetTextColour(9, false);
    surface.SetLogic(1);
    surface.SetFillMode(1);
    surface.SetFillStyle(2);
    surface.DrawBackground(Rect(0, 0, 5, 5), false);
    surface.DrawPoint(1, 1);
    surface.DrawLine(0, 0, 4, 4);
    surface.DrawRect(0, 0, 5, 5);
    surface.DrawRoundedRect(0, 0, 9, 9, 3, 3);
    surface.FillRect(0, 0, 5, 5);
    surface.FillRoundedRect(0, 0, 9, 9, 3, 3);
    surface.DrawEllipse(0, 0, 5, 5);
    surface.FillEllipse(0, 0, 5, 5);
    surface.DrawChord(0, 0, 5, 5, 0, 90);
    surface.FillChord(0, 0, 5, 5, 0, 90);
    surface.DrawPie(0, 0, 5, 5, 0, 90);
    surface.FillPie(0, 0, 5, 5, 0, 90);
    Point points[] = {Point(0, 0), Point(3, 0), Point(3, 3)};
    surface.DrawPoly(points, 3);
    surface.FillPoly(points, 3);
    surface.DrawText("Audio", 0, 0);
    surface.DrawLabel("Midi", Rect(0, 0, 40, 20), 0, Point(0, 0));
    surface.DrawLabelRect("Midi", Rect(0, 0, 40, 20), 3, Point(0, 0));
    surface.DrawRotatedText("Audio", Rect(0, 0, 40, 20), 90, 0, Point(0, 0));
    surface.DrawVerticalLabel("Audio", Rect(0, 0, 40, 20), 0, 0, Point(0, 0), false, false, nullptr);
    surface.DrawPixelNumber(0, 0, 8);
    int w = -1, h = -1;
    SDrawing::GetTextDimensions("Audio", &w, &h, &font);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);

    SDrawBitmap fromXpm(tinyXpm, 4, 4, false);
    EXPECT_EQ(fromXpm.GetPixmap(), 0u);
    EXPECT_EQ(fromXpm.Width(), 0);
    SDrawBitmap empty(nullptr, 10, 10, false);
    EXPECT_EQ(empty.GetPixmap(), 0u);
    SDrawMemoryDevice memory(surface.GetDevice(), &empty);
    EXPECT_EQ(memory.Get(), nullptr);
    memory.Select(&fromXpm);
    surface.DrawMemory(&memory, 0, 0, 0, 0, 10, 10);
    surface.DrawMemory(&memory, Point(0, 0), Rect(0, 0, 10, 10));

    SDrawImage image(malloc(4 * 4 * 4), 4, 4, 16, 32);
    EXPECT_EQ(image.GetImage(), nullptr);
    surface.DrawImage(&image, Rect(0, 0, 4, 4), Rect(0, 0, 4, 4));
    surface.CleanDrawing();
    EXPECT_EQ(surface.GetDevice(), nullptr);
    surface.FillRect(0, 0, 5, 5);
}

// ---- no X server at load; the host hands over its display later, and closes
// it again before the library is unloaded

TEST(UnloadChild, AdoptedHostDisplayServesDrawingAndIsLeftAloneAtUnload)
{
    ASSERT_EQ(dps, nullptr);
    ASSERT_EQ(sd.DisplayInfo(), nullptr);
    const char* name = getenv("BW_REAL_DISPLAY");
    ASSERT_NE(name, nullptr);
    Display* host = XOpenDisplay(name);
    ASSERT_NE(host, nullptr);
    AdoptHostDisplay(host);
    EXPECT_EQ(CurrentDisplay(), host);
    // The monitor layout missing since load is gathered now.
    ASSERT_NE(sd.DisplayInfo(), nullptr);
    ASSERT_FALSE(sd.DisplayInfo()->monitors.empty());
    EXPECT_GT(sd.DisplayInfo()->monitors[0].right, 0);
    // The table, empty since load, is filled on the host's connection now.
    EXPECT_EQ(statdata.colours.Count(), 29);
    unsigned long white = quor::gui::SCOL(255, 255, 255);
    EXPECT_EQ(white, WhitePixel(host, 0));
    EXPECT_EQ(statdata.Colour(0), white);

    {
        SDrawBitmap bitmap(nullptr, 6, 6, false);
        ASSERT_NE(bitmap.GetPixmap(), 0u);
        EXPECT_EQ(bitmap.Owner(), host);
        SDrawMemoryDevice memory(nullptr, &bitmap);
        SDrawing surface;
        surface.SetDevice(&memory);
        surface.SetBrush(statdata.FindBrush(static_cast<SPixel>(white)));
        surface.FillRect(0, 0, 6, 6);
        surface.SetDevice(nullptr);
        XImage* image = XGetImage(host, bitmap.GetPixmap(), 0, 0, 6, 6, AllPlanes, ZPixmap);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(XGetPixel(image, 5, 5), white);
        XDestroyImage(image);
    }

    // Shared objects holding server resources of the host's connection.
    statdata.brushes.Add(new SDrawBrush(1, -1, new SDrawBitmap(nullptr, 8, 8, false)));
    SDrawFont* font = new SDrawFont(10, false, false, false, nullptr);
    EXPECT_NE(font->Info(), nullptr);
    statdata.AddFont(font);

    // The host shuts down and closes its display first; the static
    // destructors that run when this process ends must not touch it.
    XCloseDisplay(host);
    closedHost = host;
}

// ---- no X server at load; the host's display arrives at editor open, from
// several host threads at once

TEST(LateColoursChild, FirstDisplayAdoptedLateFillsTheColourTableOnce)
{
    ASSERT_EQ(dps, nullptr);
    EXPECT_FALSE(statdata.coloursLoaded);
    EXPECT_EQ(statdata.Colour(20), 0u);
    const char* name = getenv("BW_REAL_DISPLAY");
    ASSERT_NE(name, nullptr);
    Display* host = XOpenDisplay(name);
    ASSERT_NE(host, nullptr);

    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] {
            ++ready;
            while (ready.load() < 4) {
            }
            AdoptHostDisplay(host);
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(CurrentDisplay(), host);
    EXPECT_NE(sd.DisplayInfo(), nullptr);
    ASSERT_TRUE(statdata.coloursLoaded);
    ASSERT_EQ(statdata.colours.Count(), 29);
    // Entry i is colour i: fills racing each other would interleave entries.
    const int rgb[29][3] = {{255, 255, 255}, {255, 255, 0}, {255, 128, 0},  {128, 64, 0},    {255, 0, 0},
                            {100, 0, 0},     {64, 0, 0},    {255, 0, 255},  {128, 0, 255},   {172, 128, 255},
                            {0, 0, 255},     {0, 128, 255}, {0, 255, 255},  {0, 255, 0},     {0, 128, 0},
                            {0, 64, 0},      {128, 255, 0}, {192, 255, 0},  {255, 236, 200}, {128, 128, 128},
                            {0, 0, 0},       {247, 231, 168}, {236, 213, 123}, {138, 145, 150}, {77, 81, 84},
                            {22, 22, 22},    {44, 44, 44},  {66, 66, 66},   {90, 90, 90}};
    for (int i = 0; i < 29; ++i) {
        XColor c = {};
        c.pixel = statdata.Colour(i);
        XQueryColor(host, DefaultColormap(host, 0), &c);
        EXPECT_EQ(c.red >> 8, rgb[i][0]) << i;
        EXPECT_EQ(c.green >> 8, rgb[i][1]) << i;
        EXPECT_EQ(c.blue >> 8, rgb[i][2]) << i;
    }
    // A later editor open, even with another display, changes nothing.
    const SPixel black = statdata.Colour(20);
    Display* other = XOpenDisplay(name);
    ASSERT_NE(other, nullptr);
    AdoptHostDisplay(other);
    EXPECT_EQ(CurrentDisplay(), host);
    EXPECT_EQ(statdata.colours.Count(), 29);
    EXPECT_EQ(statdata.Colour(20), black);
    XCloseDisplay(other);
    ForgetHostDisplay();
    XCloseDisplay(host);
}

// A shared font asked for before the first display came could not load; once
// the host's display is there, the shared font is a loaded one.
TEST(LateFontsChild, SharedFontMadeWithoutADisplayIsRenewedOnceOneArrives)
{
    ASSERT_EQ(dps, nullptr);
    const int fonts = statdata.FontCount();
    SDrawFont* early = statdata.FindFont(8, true);
    ASSERT_NE(early, nullptr);
    EXPECT_EQ(early->Info(), nullptr);
    EXPECT_EQ(statdata.FindFont(8, true), early);
    Display* host = XOpenDisplay(getenv("BW_REAL_DISPLAY"));
    ASSERT_NE(host, nullptr);
    AdoptHostDisplay(host);
    SDrawFont* loaded = statdata.FindFont(8, true);
    ASSERT_NE(loaded, early);
    EXPECT_NE(loaded->Info(), nullptr);
    EXPECT_EQ(loaded->GetDisplay(), host);
    EXPECT_EQ(statdata.FindFont(8, true), loaded);
    EXPECT_EQ(statdata.FontCount(), fonts + 2);
    statdata.fonts.Clear();
    ForgetHostDisplay();
    XCloseDisplay(host);
}

// ---- the plug-in's own connection is open: it stays the toolkit's display
// after the host hands over its own

TEST(DisplayChoiceChild, OwnConnectionIsUsedWhileItIsOpen)
{
    ASSERT_NE(dps, nullptr);
    EXPECT_EQ(CurrentDisplay(), dps);
    const SPixel orange = statdata.Colour(2);
    Display* host = XOpenDisplay(getenv("DISPLAY"));
    ASSERT_NE(host, nullptr);
    AdoptHostDisplay(host);
    EXPECT_EQ(dp, host);
    EXPECT_EQ(CurrentDisplay(), dps);
    EXPECT_TRUE(DisplayOpen(host));
    EXPECT_EQ(statdata.Colour(2), orange);
    {
        SDrawBitmap bitmap(nullptr, 2, 2, false);
        EXPECT_EQ(bitmap.Owner(), dps);
        SDrawDevice device(static_cast<int>(bitmap.GetPixmap()));
        EXPECT_EQ(device.Owner(), dps);
    }
    ForgetHostDisplay();
    EXPECT_FALSE(DisplayOpen(host));
    EXPECT_EQ(CurrentDisplay(), dps);
    XCloseDisplay(host);
}

// ---- an 8-bit server whose colour map can run full

TEST(PseudoColourChild, ScolAllocatesInTheMapAndFallsBackToBlackWhenItIsFull)
{
    Display* d = CurrentDisplay();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(DefaultDepth(d, 0), 8);
    ASSERT_EQ(statdata.colours.Count(), 29);
    Colormap map = DefaultColormap(d, 0);

    XColor c = {};
    c.pixel = quor::gui::SCOL(255, 255, 255);
    XQueryColor(d, map, &c);
    EXPECT_EQ(c.red >> 8, 255);
    EXPECT_EQ(c.green >> 8, 255);
    EXPECT_EQ(c.blue >> 8, 255);
    c.pixel = statdata.Colour(24);
    XQueryColor(d, map, &c);
    EXPECT_EQ(c.red >> 8, 77);
    EXPECT_EQ(c.green >> 8, 81);
    EXPECT_EQ(c.blue >> 8, 84);

    // Take every free cell, then ask for a colour nobody has yet.
    unsigned long pixel;
    int taken = 0;
    while (XAllocColorCells(d, map, False, nullptr, 0, &pixel, 1)) ++taken;
    EXPECT_GT(taken, 0);
    EXPECT_EQ(quor::gui::SCOL(1, 2, 3), static_cast<unsigned>(BlackPixel(d, 0)));
    // A colour already in the map still resolves.
    EXPECT_EQ(quor::gui::SCOL(77, 81, 84), statdata.Colour(24));
}

}  // namespace
