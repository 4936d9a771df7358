#pragma once
// A window's picture as the X server shows it, and the comparison of an
// enlarged picture with the one at 1x, block by block: for the editor of
// either plug-in format at a whole factor.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <vector>

namespace bwtest {

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned long> pixels;
    unsigned long At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

// Every pixel of the window, read back from the server; empty when it has
// no such window.
inline Picture Grab(Display* d, Window w)
{
    Picture p;
    XWindowAttributes a;
    if (!w || !XGetWindowAttributes(d, w, &a)) return p;
    // GetImage of a window not (yet) viewable is a BadMatch error, which the
    // tests count: an empty picture instead, for the caller to try again.
    if (a.map_state != IsViewable) return p;
    XImage* image =
        XGetImage(d, w, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
    if (!image) return p;
    p.width = a.width;
    p.height = a.height;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) p.pixels.push_back(XGetPixel(image, x, y));
    XDestroyImage(image);
    return p;
}

// The s x s blocks of `big` that differ from the pixel of `small` there;
// -1 when the sizes do not match.
inline int BlocksDiffering(const Picture& small, const Picture& big, int s)
{
    if (small.width * s != big.width || small.height * s != big.height || small.pixels.empty()) return -1;
    int blocks = 0;
    for (int y = 0; y < small.height; ++y)
        for (int x = 0; x < small.width; ++x) {
            bool same = true;
            for (int k = 0; k < s * s; ++k) same = same && big.At(x * s + k % s, y * s + k / s) == small.At(x, y);
            blocks += !same;
        }
    return blocks;
}

}  // namespace bwtest
