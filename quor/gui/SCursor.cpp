#include "quor/gui/SCursor.h"

#include <X11/cursorfont.h>

#include <cstring>

#include "quor/gui/SWindowRegistry.h"
#include "quor/gui/context/SDisplayHandles.h"
#include "quor/gui/context/SDrawBitmap.h"

namespace quor {
namespace gui {

using context::DisplayOpen;

namespace {

// '#' outline (source, black), 'o' fill (mask only, orange), '.' clear.
const char* const arrow[23] = {
    "#",
    "##",
    "#o#",
    "#oo#",
    "#ooo#",
    "#oooo#",
    "#ooooo#",
    "#oooooo#",
    "#ooooooo#",
    "#oooooooo#",
    "#ooooooooo#",
    "#oooooooooo#",
    "#ooooooooooo#",
    "#oooooooooooo#",
    "#ooooooo#######",
    "#ooo#ooo#",
    "#oo#.#ooo#",
    "#o#..#ooo#",
    "##....#ooo#",
    "#.....#ooo#",
    ".......#ooo#",
    ".......#oo##",
    "........###",
};

constexpr int side = 24;

}  // namespace

void SCursor::ArrowBitmaps(unsigned char source[72], unsigned char mask[72])
{
    memset(source, 0, 72);
    memset(mask, 0, 72);
    for (int y = 0; y < 23; ++y) {
        for (int x = 0; arrow[y][x]; ++x) {
            unsigned char bit = static_cast<unsigned char>(1u << (x & 7));
            int at = y * 3 + (x >> 3);
            if (arrow[y][x] == '#') source[at] |= bit;
            if (arrow[y][x] != '.') mask[at] |= bit;
        }
    }
}

SCursor::SCursor() : kind(0), window(0), hidden(false), xcursor(0), display(nullptr) {}

SCursor::SCursor(unsigned k, Window w) : kind(k), window(w), hidden(false), xcursor(0), display(nullptr)
{
    Display* d = context::CurrentDisplay();
    if (!d) return;
    display = d;
    if (kind == 0) {
        // An invisible pointer: one clear pixel as source and mask.
        static const char empty[1] = {0};
        Pixmap blank = XCreateBitmapFromData(d, DefaultRootWindow(d), empty, 1, 1);
        XColor black = {};
        xcursor = XCreatePixmapCursor(d, blank, blank, &black, &black, 0, 0);
        XFreePixmap(d, blank);
        hidden = true;
    } else {
        unsigned shape = kind == 2 ? XC_hand2 : kind == 3 ? XC_watch : XC_left_ptr;
        xcursor = XCreateFontCursor(d, shape);
    }
    if (window && xcursor) XDefineCursor(d, window, xcursor);
}

SCursor::~SCursor() { Release(); }

void SCursor::Release()
{
    if (display && DisplayOpen(display)) {
        if (xcursor) {
            if (window && !SWindowRegistry::WasGone(display, window)) XUndefineCursor(display, window);
            XFreeCursor(display, xcursor);
        }
        XFlush(display);
    }
    xcursor = 0;
}

void SCursor::Set()
{
    // The window is usually the host's, which it may destroy at any time.
    if (!display || !window || !xcursor || SWindowRegistry::WasGone(display, window)) return;
    XDefineCursor(display, window, xcursor);
}

void SCursor::Free()
{
    if (!display || !window || SWindowRegistry::WasGone(display, window)) return;
    if (xcursor) XUndefineCursor(display, window);
    XFlush(display);
    hidden = false;
}

void SCursor::CreateDefault()
{
    unsigned char source[72], mask[72];
    ArrowBitmaps(source, mask);
    Create(source, mask, side, side, 0, 0);
}

void SCursor::Create(const void* source, const void* mask, int w, int h, int hx, int hy)
{
    Display* d = display ? display : context::CurrentDisplay();
    if (!d || !source || !mask || w <= 0 || h <= 0) return;
    Release();
    display = d;
    Window root = DefaultRootWindow(d);
    Colormap map = DefaultColormap(d, DefaultScreen(d));
    // A cursor takes its colours as RGB values: no colour cell is allocated
    // for the orange (on PseudoColor one would stay taken for every cursor).
    XColor orange = {};
    orange.red = 0xFF00;
    orange.green = 0x7F00;
    orange.blue = 0;
    orange.flags = DoRed | DoGreen | DoBlue;
    XColor black = {};
    black.pixel = BlackPixel(d, DefaultScreen(d));
    XQueryColor(d, map, &black);
    Pixmap src = XCreateBitmapFromData(d, root, static_cast<const char*>(source), static_cast<unsigned>(w),
                                       static_cast<unsigned>(h));
    Pixmap msk = XCreateBitmapFromData(d, root, static_cast<const char*>(mask), static_cast<unsigned>(w),
                                       static_cast<unsigned>(h));
    xcursor = XCreatePixmapCursor(d, src, msk, &black, &orange, static_cast<unsigned>(hx), static_cast<unsigned>(hy));
    XFreePixmap(d, src);
    XFreePixmap(d, msk);
    hidden = false;
}

void SCursor::Create(context::SDrawBitmap* source, context::SDrawBitmap* mask, int hx, int hy)
{
    Display* d = display ? display : context::CurrentDisplay();
    // Only single-plane pixmaps can make a cursor; others would be an error.
    auto bitmapPlane = [d](context::SDrawBitmap* b) {
        if (!b || !b->GetPixmap() || b->Owner() != d) return false;
        Window root;
        int x, y;
        unsigned w, h, border, depth;
        return XGetGeometry(d, b->GetPixmap(), &root, &x, &y, &w, &h, &border, &depth) && depth == 1;
    };
    if (d && bitmapPlane(source) && bitmapPlane(mask)) {
        Release();
        display = d;
        XColor black = {}, white = {};
        white.red = white.green = white.blue = 0xFFFF;
        xcursor = XCreatePixmapCursor(d, source->GetPixmap(), mask->GetPixmap(), &black, &white,
                                      static_cast<unsigned>(hx), static_cast<unsigned>(hy));
        hidden = false;
    }
    delete source;
    delete mask;
}

SCursorDefault::SCursorDefault()
{
    Display* d = context::CurrentDisplay();
    if (!d) return;
    display = d;
    window = DefaultRootWindow(d);
    xcursor = XCreateFontCursor(d, XC_left_ptr);
}

void SCursorDefault::Set()
{
    SCursor::Set();
    isSet = display && window && xcursor;
}

void SCursorDefault::Free()
{
    if (display && window && !SWindowRegistry::WasGone(display, window)) {
        if (xcursor) XUndefineCursor(display, window);
        XFlush(display);
    }
    hidden = false;
    isSet = false;
}

}  // namespace gui
}  // namespace quor
