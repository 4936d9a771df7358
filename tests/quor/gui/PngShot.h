#pragma once
// Saves what the server shows of a window as a PNG, for people to look at,
// into the build tree (BW_BINARY_DIR, which ctest sets).

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bwtest {

inline std::string BuildFile(const char* name)
{
    const char* dir = getenv("BW_BINARY_DIR");
    return std::string(dir ? dir : ".") + "/" + name;
}

// The window's area as the screen shows it (children and all). False when
// nothing could be read or written.
inline bool SaveWindowPng(Display* d, Window w, const std::string& path)
{
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a) || a.map_state != IsViewable) return false;
    int x, y;
    Window child;
    XTranslateCoordinates(d, w, a.root, 0, 0, &x, &y, &child);
    XImage* image = XGetImage(d, a.root, x, y, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height),
                              AllPlanes, ZPixmap);
    if (!image) return false;
    std::vector<png_byte> pixels(static_cast<size_t>(a.width) * static_cast<size_t>(a.height) * 3);
    auto channel = [](unsigned long pixel, unsigned long mask) {
        if (!mask) return png_byte(0);
        while (!(mask & 1)) mask >>= 1, pixel >>= 1;
        return static_cast<png_byte>((pixel & mask) * 255 / mask);
    };
    for (int row = 0; row < a.height; ++row)
        for (int col = 0; col < a.width; ++col) {
            unsigned long p = XGetPixel(image, col, row);
            png_byte* out = &pixels[(static_cast<size_t>(row) * static_cast<size_t>(a.width) + static_cast<size_t>(col)) * 3];
            out[0] = channel(p, image->red_mask);
            out[1] = channel(p, image->green_mask);
            out[2] = channel(p, image->blue_mask);
        }
    XDestroyImage(image);
    png_image shot = {};
    shot.version = PNG_IMAGE_VERSION;
    shot.width = static_cast<png_uint_32>(a.width);
    shot.height = static_cast<png_uint_32>(a.height);
    shot.format = PNG_FORMAT_RGB;
    bool ok = png_image_write_to_file(&shot, path.c_str(), 0, pixels.data(), 0, nullptr) != 0;
    png_image_free(&shot);
    return ok;
}

}  // namespace bwtest
