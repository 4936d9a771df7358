#pragma once
// Writes what the X server shows (an area of the screen, or a window) as an
// RGB PNG into the build tree, for people to look at.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace bwtest {

// Where ctest says the build tree is, else the working directory.
inline std::string BinaryDir()
{
    const char* dir = getenv("BW_BINARY_DIR");
    return dir ? dir : ".";
}

inline bool WriteScreenPng(Display* display, int x, int y, int w, int h, const std::string& path)
{
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (!image) return false;
    std::vector<png_byte> rgb;
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col)
            for (int shift : {16, 8, 0}) rgb.push_back(static_cast<png_byte>(XGetPixel(image, col, row) >> shift));
    XDestroyImage(image);
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(w);
    png.height = static_cast<png_uint_32>(h);
    png.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&png, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

// A viewable window, as it shows on the screen, into the build tree.
inline bool SaveWindowPng(Display* d, Window w, const char* name)
{
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a) || a.map_state != IsViewable) return false;
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    return WriteScreenPng(d, x, y, a.width, a.height, BinaryDir() + "/" + name);
}

}  // namespace bwtest
