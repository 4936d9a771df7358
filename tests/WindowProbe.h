#pragma once
// What a test reads back from the X server about the plug-in's windows: a
// pixel, a top-level window by its name (and once it shows), the ink of the
// panel's logo.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "ScaledPicture.h"

namespace bwtest {

// The pixel at (x, y) of window `w`; ~0 when the server has no such window.
inline unsigned long PixelAt(Display* d, Window w, int x, int y)
{
    XImage* image = XGetImage(d, w, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return ~0ul;
    const unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return p;
}

// A mapped top-level window whose name begins with `prefix` (or, with
// `atEnd`, ends with it); 0 if none.
inline Window TopLevelNamed(Display* d, const char* prefix, bool atEnd = false)
{
    Window root, parent, *children = nullptr, found = 0;
    unsigned n = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) return 0;
    for (unsigned i = 0; i < n && !found; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, children[i], &a) || a.map_state != IsViewable) continue;
        char* title = nullptr;
        if (XFetchName(d, children[i], &title) && title) {
            const size_t length = strlen(title), k = strlen(prefix);
            if (atEnd ? length >= k && strcmp(title + length - k, prefix) == 0 : strncmp(title, prefix, k) == 0)
                found = children[i];
            XFree(title);
        }
    }
    if (children) XFree(children);
    return found;
}

// A top-level window as above once it shows, painted: its picture the same
// twice in a row. A click before a dialog's buttons are there goes astray
// (seen under qemu on a loaded machine); 0 until then.
inline Window ShownTopLevel(Display* d, const char* prefix)
{
    const Window w = TopLevelNamed(d, prefix);
    if (!w) return 0;
    const Picture first = Grab(d, w);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return !first.pixels.empty() && Grab(d, w).pixels == first.pixels ? w : 0;
}

// Pixels of the logo's letters (orange to red) in the panel's logo area.
inline int LogoInk(Display* d, Window panel)
{
    XImage* image = XGetImage(d, panel, 10, 10, 80, 25, AllPlanes, ZPixmap);
    if (!image) return -1;
    int ink = 0;
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 80; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            ink += ((p >> 16) & 0xFF) > 200 && (p & 0xFF) < 100;
        }
    XDestroyImage(image);
    return ink;
}

}  // namespace bwtest
