// Window and memory devices, bitmaps from XPM data, double buffering and
// client images, checked by reading the pixels back from the server.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "plugin/SGlobals.h"
#include "quor/gui/SCOL.h"
#include "quor/gui/SControl.h"
#include "quor/gui/context/SDrawBitmap.h"
#include "quor/gui/context/SDrawBrush.h"
#include "quor/gui/context/SDrawImage.h"
#include "quor/gui/context/SDrawMemoryDevice.h"
#include "xfixture.h"

using quor::gui::SCOL;
using quor::gui::context::SDrawBitmap;
using quor::gui::context::SDrawBrush;
using quor::gui::context::SDrawDevice;
using quor::gui::context::SDrawDeviceSwap;
using quor::gui::context::SDrawImage;
using quor::gui::context::SDrawing;
using quor::gui::context::SDrawMemoryDevice;
typedef SDrawing::Point Point;
typedef SDrawing::Rectangle Rect;

namespace {

// 5 x 3, a red frame around a blue middle row.
const char* const flagXpm[] = {
    "5 3 2 1",
    "r c #FF0000",
    "b c #0000FF",
    "rrrrr",
    "rbbbr",
    "rrrrr",
};

// Header claims 4 x 2 with one colour, but a pixel uses an undefined key.
const char* const undefinedKeyXpm[] = {
    "4 2 1 1",
    "a c #00FF00",
    "aaaa",
    "aaza",
};
const char* const garbageXpm[] = {"this is not an image", "", ""};
const char* const zeroColoursXpm[] = {"2 2 0 1", "..", ".."};

void* Xpm(const char* const* lines)
{
    return const_cast<char**>(lines);
}

class Devices : public bwtest::XServerTest {
protected:
    void Paint(SDrawing& surface, unsigned long pixel, const Rect& r)
    {
        SDrawBrush brush(static_cast<quor::gui::context::SPixel>(pixel), -1, nullptr);
        surface.SetBrush(&brush);
        surface.FillRect(r);
        surface.SetBrush(nullptr);
    }
};

TEST_F(Devices, WindowDeviceNeedsADrawable)
{
    SDrawDevice none;
    EXPECT_EQ(none.Get(), nullptr);
    EXPECT_EQ(none.GetDrawable(), 0u);
    SDrawDevice zero(0);
    EXPECT_EQ(zero.Get(), nullptr);
    Pixmap p = NewPixmap(4, 4, 0);
    SDrawDevice real(static_cast<int>(p));
    EXPECT_NE(real.Get(), nullptr);
    EXPECT_EQ(real.GetDrawable(), p);
    EXPECT_EQ(real.Owner(), display);
}

// A control with a given window.
struct WindowedControl : quor::gui::SControl {
    explicit WindowedControl(Window w) { window = w; }
};

TEST_F(Devices, SurfaceOfAControlDrawsOnItsWindow)
{
    unsigned long grey = SCOL(90, 90, 90), red = SCOL(255, 0, 0);
    Window first = NewWindow(10, 10, grey), second = NewWindow(10, 10, grey, 20);
    WindowedControl a(first), b(second), none(0);
    SGlobals globals;
    SDrawing surface(&a, &globals);
    EXPECT_EQ(surface.GetControl(), &a);
    ASSERT_NE(surface.GetDevice(), nullptr);
    EXPECT_EQ(surface.GetDevice()->GetDrawable(), first);
    Paint(surface, red, Rect(0, 0, 4, 4));
    EXPECT_EQ(Read(first, 10, 10).At(3, 3), red);

    surface.InitDrawing(&b, nullptr);
    EXPECT_EQ(surface.GetControl(), &b);
    EXPECT_EQ(surface.GetDevice()->GetDrawable(), second);
    Paint(surface, red, Rect(5, 5, 10, 10));
    EXPECT_EQ(Read(second, 10, 10).At(6, 6), red);
    EXPECT_EQ(Read(first, 10, 10).At(6, 6), grey);

    // A control without a window: a device that draws nowhere.
    surface.InitDrawing(&none, nullptr);
    EXPECT_EQ(surface.GetDevice()->Get(), nullptr);
    Paint(surface, red, Rect(0, 0, 10, 10));
    surface.CleanDrawing();
    EXPECT_EQ(surface.GetDevice(), nullptr);
    Paint(surface, red, Rect(0, 0, 10, 10));
}

TEST_F(Devices, EmptyBitmapKeepsItsFirstPixmap)
{
    SDrawBitmap bitmap(nullptr, 30, 20, true);
    ASSERT_NE(bitmap.GetPixmap(), 0u);
    EXPECT_EQ(bitmap.Width(), 30);
    EXPECT_EQ(bitmap.Height(), 20);
    EXPECT_TRUE(bitmap.Flag());
    Pixmap first = bitmap.GetPixmap();
    bitmap.Create(nullptr, 5, 6, false);
    bitmap.Create(Xpm(flagXpm), 0, 0, false);
    EXPECT_EQ(bitmap.GetPixmap(), first);
    EXPECT_EQ(bitmap.Width(), 30);
    EXPECT_EQ(bitmap.Height(), 20);
    EXPECT_TRUE(bitmap.Flag());
    EXPECT_EQ(bitmap.Use(), 0);

    Window rootReturn;
    int x, y;
    unsigned w, h, border, d;
    XGetGeometry(display, first, &rootReturn, &x, &y, &w, &h, &border, &d);
    EXPECT_EQ(w, 30u);
    EXPECT_EQ(h, 20u);
    EXPECT_EQ(d, depth);
}

TEST_F(Devices, EmptyBitmapOfNoAreaHasNoPixmap)
{
    SDrawBitmap flat(nullptr, 0, 7, false);
    EXPECT_EQ(flat.GetPixmap(), 0u);
    EXPECT_EQ(flat.Width(), 0);
    SDrawBitmap negative(nullptr, -3, 7, false);
    EXPECT_EQ(negative.GetPixmap(), 0u);
}

TEST_F(Devices, XpmBitmapTakesTheImageSizeAndColours)
{
    SDrawBitmap bitmap(Xpm(flagXpm), 99, 99, false);
    ASSERT_NE(bitmap.GetPixmap(), 0u);
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.Height(), 3);
    unsigned long red = SCOL(255, 0, 0), blue = SCOL(0, 0, 255);
    bwtest::Grab g = Read(bitmap.GetPixmap(), 5, 3);
    EXPECT_EQ(g.Map(red), bwtest::Expect(5, 3, [](int x, int y) { return !(y == 1 && x >= 1 && x <= 3); }));
    EXPECT_EQ(g.Map(blue), bwtest::Expect(5, 3, [](int x, int y) { return y == 1 && x >= 1 && x <= 3; }));
}

// The embedded images' own type, const char* const*, goes in without a cast
// and gives the same picture as the void* form; so does Create.
TEST_F(Devices, XpmLinesAsTheyAreMakeTheSameBitmap)
{
    SDrawBitmap viaVoid(Xpm(flagXpm), 0, 0, false);
    SDrawBitmap direct(flagXpm, 0, 0, false);
    ASSERT_NE(direct.GetPixmap(), 0u);
    EXPECT_EQ(direct.Width(), 5);
    EXPECT_EQ(direct.Height(), 3);
    const std::vector<unsigned long> expected = Read(viaVoid.GetPixmap(), 5, 3).pixels;
    EXPECT_EQ(Read(direct.GetPixmap(), 5, 3).pixels, expected);

    SDrawBitmap later(nullptr, 0, 0, false);
    EXPECT_EQ(later.GetPixmap(), 0u);
    later.Create(flagXpm, 0, 0, true);
    ASSERT_NE(later.GetPixmap(), 0u);
    EXPECT_TRUE(later.Flag());
    EXPECT_EQ(Read(later.GetPixmap(), 5, 3).pixels, expected);
    char** writable = const_cast<char**>(flagXpm);  // what older callers hold
    SDrawBitmap fromChars(writable, 0, 0, false);
    EXPECT_EQ(Read(fromChars.GetPixmap(), 5, 3).pixels, expected);
}

// A failed XPM leaves a 1 x 1 bitmap without pixmap; a memory device over it
// makes no graphics context and copying from it draws nothing and raises no
// X error (the fixture fails on any).
TEST_F(Devices, FailedXpmGivesNothingToDrawAndNoError)
{
    Pixmap target = NewPixmap(8, 8, 0);
    auto surface = SurfaceOn(target);
    for (const char* const* data : {garbageXpm, zeroColoursXpm, undefinedKeyXpm}) {
        SDrawBitmap bitmap(Xpm(data), 8, 8, false);
        EXPECT_EQ(bitmap.GetPixmap(), 0u) << data[0];
        EXPECT_EQ(bitmap.Width(), 0) << data[0];
        EXPECT_EQ(bitmap.Height(), 0) << data[0];
        SDrawMemoryDevice memory(surface->GetDevice(), &bitmap);
        EXPECT_EQ(memory.Get(), nullptr);
        EXPECT_EQ(memory.GetDrawable(), 0u);
        surface->DrawMemory(&memory, 0, 0, 0, 0, 8, 8);
        surface->DrawMemory(&memory, Point(0, 0), Rect(0, 0, 1, 1));
        // Drawing into it goes nowhere either.
        SDrawDevice* window = surface->GetDevice();
        surface->SetDevice(&memory);
        Paint(*surface, 0xFFFFFF, Rect(0, 0, 8, 8));
        surface->SetDevice(window);
    }
    XSync(display, False);
    EXPECT_TRUE(bwtest::XErrors().empty());
    EXPECT_EQ(Read(target, 8, 8).Map(0), bwtest::Expect(8, 8, [](int, int) { return true; }));
}

TEST_F(Devices, SelectSwitchesBitmapAndContextButNotToNull)
{
    SDrawBitmap a(nullptr, 4, 4, false), b(nullptr, 6, 6, false);
    SDrawDevice window;
    SDrawMemoryDevice memory(&window, &a);
    EXPECT_EQ(memory.GetWindowDevice(), &window);
    EXPECT_EQ(memory.GetBitmap(), &a);
    EXPECT_EQ(memory.GetDrawable(), a.GetPixmap());
    GC first = memory.Get();
    ASSERT_NE(first, nullptr);
    memory.Select(nullptr);
    EXPECT_EQ(memory.GetBitmap(), &a);
    EXPECT_EQ(memory.Get(), first);
    memory.Select(&b);
    EXPECT_EQ(memory.GetBitmap(), &b);
    EXPECT_EQ(memory.GetDrawable(), b.GetPixmap());
    EXPECT_NE(memory.Get(), nullptr);

    SDrawMemoryDevice empty(&window, nullptr);
    EXPECT_EQ(empty.Get(), nullptr);
    EXPECT_EQ(empty.GetDrawable(), 0u);
}

// The way controls paint without flicker: draw into the bitmap through the
// memory device, then copy the finished area to the window.
TEST_F(Devices, DoubleBufferingCopiesTheFinishedPictureToTheWindow)
{
    const int W = 40, H = 30;
    unsigned long grey = SCOL(90, 90, 90), orange = SCOL(255, 128, 0), green = SCOL(0, 255, 0);
    Window window = NewWindow(W, H, grey);
    auto surface = SurfaceOn(window);
    SDrawBitmap bitmap(nullptr, 20, 10, false);
    SDrawMemoryDevice memory(surface->GetDevice(), &bitmap);

    SDrawDevice* windowDevice = surface->GetDevice();
    {
        SDrawDeviceSwap swap(*surface, &memory);
        Paint(*surface, orange, Rect(0, 0, 20, 10));
        Paint(*surface, green, Rect(5, 2, 10, 4));
    }
    EXPECT_EQ(surface->GetDevice(), windowDevice);
    // Nothing reached the window yet.
    EXPECT_EQ(Read(window, W, H).Map(grey), bwtest::Expect(W, H, [](int, int) { return true; }));

    surface->DrawMemory(&memory, Point(7, 9), Rect(0, 0, 20, 10));
    bwtest::Grab g = Read(window, W, H);
    EXPECT_EQ(g.Map(grey), bwtest::Expect(W, H, [](int x, int y) { return !(x >= 7 && x < 27 && y >= 9 && y < 19); }));
    EXPECT_EQ(g.Map(green),
              bwtest::Expect(W, H, [](int x, int y) { return x >= 12 && x < 17 && y >= 11 && y < 13; }));

    // A part of the source, through the other forms.
    surface->DrawMemory(&memory, 30, 0, 5, 2, 10, 4, static_cast<unsigned char>(1));
    surface->DrawMemory(&memory, Point(30, 5), Rect(5, 2, 10, 4), 0, nullptr);
    surface->DrawMemory(&memory, 30, 20, 0, 0, 3, 3, 7, nullptr);
    surface->DrawMemory(&memory, Point(30, 25), Rect(0, 0, 3, 3), static_cast<unsigned char>(0));
    g = Read(window, W, H);
    for (int y : {0, 1, 5, 6})
        for (int x = 30; x < 35; ++x) EXPECT_EQ(g.At(x, y), green) << x << "," << y;
    EXPECT_EQ(g.At(35, 0), grey);
    EXPECT_EQ(g.At(30, 2), grey);
    EXPECT_EQ(g.At(32, 22), orange);
    EXPECT_EQ(g.At(32, 27), orange);
    EXPECT_EQ(g.At(33, 22), grey);

    // Null and empty sources copy nothing.
    surface->DrawMemory(nullptr, 0, 0, 0, 0, 20, 10);
    surface->DrawMemory(&memory, 0, 0, 5, 5, 5, 9);
    surface->DrawMemory(&memory, 0, 0, 9, 5, 5, 9);
    EXPECT_EQ(Read(window, W, H).At(0, 0), grey);
}

// A surface draws through the connection its device was made on, whatever
// display is current when it draws: the device's graphics context lives
// there, and naming it on another connection is a protocol error (BadGC while
// its creation still waits in the first connection's buffer). Copies between
// devices of different connections do nothing.
TEST_F(Devices, SurfaceDrawsOnTheConnectionOfItsDevice)
{
    const int W = 12, H = 6;
    unsigned long orange = SCOL(255, 128, 0), green = SCOL(0, 255, 0), blue = SCOL(0, 0, 255);
    Pixmap target = NewPixmap(W, H, 0);
    auto surface = SurfaceOn(target);
    SDrawBitmap bitmap(nullptr, 4, 4, false);
    SDrawMemoryDevice memory(surface->GetDevice(), &bitmap);
    EXPECT_EQ(memory.Owner(), display);
    ASSERT_EQ(surface->GetDevice()->Owner(), display);

    // Another connection becomes current (the first one stays held).
    Display* other = XOpenDisplay(DisplayString(display));
    ASSERT_NE(other, nullptr);
    Display* savedDp = dp;
    dp = display;
    dps = other;
    ASSERT_EQ(quor::gui::context::CurrentDisplay(), other);
    auto foreign = std::make_unique<SDrawBitmap>(nullptr, 4, 4, false);
    auto foreignMemory = std::make_unique<SDrawMemoryDevice>(nullptr, foreign.get());
    EXPECT_EQ(foreignMemory->Owner(), other);

    Paint(*surface, orange, Rect(0, 0, 4, H));
    SDrawDevice* window = surface->GetDevice();
    surface->SetDevice(&memory);
    Paint(*surface, green, Rect(0, 0, 4, 4));
    surface->SetDevice(foreignMemory.get());
    Paint(*surface, blue, Rect(0, 0, 4, 4));
    surface->SetDevice(window);
    surface->DrawMemory(&memory, 4, 0, 0, 0, 4, 4);
    surface->DrawMemory(foreignMemory.get(), 8, 0, 0, 0, 4, 4);
    XSync(other, False);
    dps = display;
    dp = savedDp;

    bwtest::Grab g = Read(target, W, H);
    EXPECT_EQ(g.Map(orange), bwtest::Expect(W, H, [](int x, int) { return x < 4; }));
    EXPECT_EQ(g.Map(green), bwtest::Expect(W, H, [](int x, int y) { return x >= 4 && x < 8 && y < 4; }));
    EXPECT_EQ(g.Map(0), bwtest::Expect(W, H, [](int x, int y) { return x >= 8 || (x >= 4 && y >= 4); }));
    // The foreign bitmap got its own drawing, on its own connection.
    XImage* image = XGetImage(other, foreign->GetPixmap(), 0, 0, 4, 4, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(XGetPixel(image, 3, 3), blue);
    XDestroyImage(image);
    EXPECT_TRUE(bwtest::XErrors().empty());
    // Its pixmap and context go back to `other` while that is held.
    dps = other;
    foreignMemory.reset();
    foreign.reset();
    dps = display;
    XCloseDisplay(other);
}

// Devices that count their own destruction.
template <typename Base>
struct Counted : Base {
    template <typename... Args>
    explicit Counted(int* freed_, Args... args) : Base(args...), freed(freed_)
    {
    }
    ~Counted() override { ++*freed; }
    int* freed;
};

// A control goes while its surface draws into a memory device: the surface
// frees its own window device, once, and never the borrowed memory device,
// which its owner frees later, also once (a second free would also stop an
// AddressSanitizer run).
TEST_F(Devices, SurfaceDestroyedMidSwapFreesEachDeviceOnce)
{
    unsigned long green = SCOL(0, 255, 0);
    Pixmap target = NewPixmap(4, 4, 0);
    int windowFreed = 0, memoryFreed = 0;
    SDrawBitmap bitmap(nullptr, 4, 4, false);
    auto* surface = new SDrawing();
    surface->SetOwnedDevice(new Counted<SDrawDevice>(&windowFreed, static_cast<int>(target)));
    {
        Counted<SDrawMemoryDevice> memory(&memoryFreed, surface->GetDevice(), &bitmap);
        {
            SDrawDeviceSwap swap(*surface, &memory);
            EXPECT_EQ(swap.Surface(), surface);
            EXPECT_EQ(surface->GetDevice(), &memory);
            Paint(*surface, green, Rect(0, 0, 4, 4));
            delete surface;
            EXPECT_EQ(windowFreed, 1);
            EXPECT_EQ(memoryFreed, 0);
            EXPECT_EQ(swap.Surface(), nullptr);
        }
        EXPECT_EQ(memoryFreed, 0);
        EXPECT_EQ(Read(bitmap.GetPixmap(), 4, 4).At(3, 3), green);
    }
    EXPECT_EQ(memoryFreed, 1);
    EXPECT_EQ(windowFreed, 1);
    EXPECT_EQ(Read(target, 4, 4).At(3, 3), 0u);
}

TEST_F(Devices, SwapsNestAndGiveBackTheOwnDeviceOfTheMoment)
{
    Pixmap first = NewPixmap(4, 4, 0), second = NewPixmap(4, 4, 0);
    int ownFreed = 0, borrowedFreed = 0;
    SDrawBitmap bitmap(nullptr, 4, 4, false);
    SDrawMemoryDevice a(nullptr, &bitmap), b(nullptr, &bitmap);
    SDrawing surface;
    auto* own = new Counted<SDrawDevice>(&ownFreed, static_cast<int>(first));
    surface.SetOwnedDevice(own);
    EXPECT_EQ(surface.GetDevice(), own);
    EXPECT_EQ(surface.OwnedDevice(), own);
    {
        SDrawDeviceSwap outer(surface, &a);
        {
            SDrawDeviceSwap inner(surface, &b);
            EXPECT_EQ(surface.GetDevice(), &b);
        }
        EXPECT_EQ(surface.GetDevice(), &a);
    }
    EXPECT_EQ(surface.GetDevice(), own);

    // The window is made again mid-swap: the new window device comes back.
    WindowedControl control(second);
    {
        SDrawDeviceSwap swap(surface, &a);
        surface.InitDrawing(&control, nullptr);
        EXPECT_EQ(ownFreed, 1);
        EXPECT_EQ(surface.GetDevice(), &a);
    }
    ASSERT_NE(surface.GetDevice(), nullptr);
    EXPECT_EQ(surface.GetDevice(), surface.OwnedDevice());
    EXPECT_EQ(surface.GetDevice()->GetDrawable(), second);
    // ... or goes mid-swap: none comes back.
    {
        SDrawDeviceSwap swap(surface, &a);
        surface.CleanDrawing();
        EXPECT_EQ(surface.GetDevice(), &a);
    }
    EXPECT_EQ(surface.GetDevice(), nullptr);
    EXPECT_EQ(surface.OwnedDevice(), nullptr);

    // SetDevice borrows, SetOwnedDevice takes over and frees the one before.
    auto* lent = new Counted<SDrawDevice>(&borrowedFreed, static_cast<int>(first));
    {
        SDrawing borrower;
        borrower.SetDevice(lent);
        auto* replaced = new Counted<SDrawDevice>(&ownFreed, static_cast<int>(first));
        borrower.SetOwnedDevice(replaced);
        EXPECT_EQ(borrower.GetDevice(), lent);
        borrower.SetOwnedDevice(replaced);
        borrower.SetOwnedDevice(new SDrawDevice(static_cast<int>(second)));
        EXPECT_EQ(ownFreed, 2);
    }
    EXPECT_EQ(borrowedFreed, 0);
    delete lent;
    EXPECT_EQ(borrowedFreed, 1);
}

TEST_F(Devices, DrawBitmapDrawsNothing)
{
    Pixmap target = NewPixmap(6, 6, 0);
    auto surface = SurfaceOn(target);
    SDrawBitmap bitmap(Xpm(flagXpm), 0, 0, false);
    surface->DrawBitmap(&bitmap, 0, 0, 5, 3, false, nullptr);
    surface->DrawBitmap(&bitmap, Rect(0, 0, 5, 3), true, nullptr);
    EXPECT_EQ(Read(target, 6, 6).Map(0), bwtest::Expect(6, 6, [](int, int) { return true; }));
}

TEST_F(Devices, ImagesAreClearedAndPutPartByPart)
{
    const int w = 6, h = 4;
    void* data = malloc(w * h * 4);
    memset(data, 0xAB, w * h * 4);
    SDrawImage image(data, w, h, w * 4, 32);
    ASSERT_NE(image.GetImage(), nullptr);
    EXPECT_EQ(image.Width(), w);
    EXPECT_EQ(image.Height(), h);
    for (int i = 0; i < w * h * 4; ++i) ASSERT_EQ(static_cast<unsigned char*>(data)[i], 0) << i;
    unsigned long magenta = SCOL(255, 0, 255);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) XPutPixel(image.GetImage(), x, y, (x + y) % 2 ? magenta : 0);

    const int W = 16, H = 12;
    unsigned long grey = SCOL(66, 66, 66);
    Pixmap target = NewPixmap(W, H, grey);
    auto surface = SurfaceOn(target);
    surface->DrawImage(&image, Rect(1, 1, 4, 3), Rect(10, 8, 99, 99));
    bwtest::Grab g = Read(target, W, H);
    EXPECT_EQ(g.Map(grey), bwtest::Expect(W, H, [](int x, int y) { return !(x >= 10 && x < 13 && y >= 8 && y < 10); }));
    EXPECT_EQ(g.Map(magenta), bwtest::Expect(W, H, [](int x, int y) {
                  return x >= 10 && x < 13 && y >= 8 && y < 10 && ((x - 9) + (y - 7)) % 2;
              }));

    // Source areas beyond the image are clipped to it; empty ones do nothing.
    surface->DrawImage(&image, Rect(4, 2, 50, 50), Rect(0, 0, 0, 0));
    surface->DrawImage(&image, Rect(2, 2, 2, 3), Rect(0, 6, 0, 0));
    surface->DrawImage(nullptr, Rect(0, 0, 2, 2), Rect(0, 0, 0, 0));
    g = Read(target, W, H);
    EXPECT_EQ(g.At(0, 0), 0u);       // image (4, 2)
    EXPECT_EQ(g.At(1, 0), magenta);  // image (5, 2)
    EXPECT_EQ(g.At(0, 1), magenta);  // image (4, 3)
    EXPECT_EQ(g.At(2, 0), grey);
    EXPECT_EQ(g.At(0, 2), grey);
    EXPECT_EQ(g.At(0, 6), grey);
}

TEST_F(Devices, ImageOfZeroWidthBecomesOneWide)
{
    void* data = malloc(1 * 5 * 4);
    SDrawImage image(data, 0, 5, 4, 32);
    EXPECT_EQ(image.Width(), 1);
    EXPECT_EQ(image.Height(), 5);
    ASSERT_NE(image.GetImage(), nullptr);
    EXPECT_EQ(image.GetImage()->width, 1);
    EXPECT_EQ(image.GetImage()->height, 5);

    SDrawImage nothing(nullptr, 3, 3, 12, 32);
    EXPECT_EQ(nothing.GetImage(), nullptr);
}

}  // namespace
