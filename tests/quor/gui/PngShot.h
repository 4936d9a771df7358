#pragma once
// Saves what a 24-bit server shows of a window as a PNG in the build tree
// (BW_BINARY_DIR), for people to look at.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace bwtest {

inline bool SaveWindowPng(Display* d, Window w, const char* name)
{
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a) || a.map_state != IsViewable) return false;
    XImage* image = XGetImage(d, w, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height), AllPlanes,
                              ZPixmap);
    if (!image) return false;
    std::vector<png_byte> rgb;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            for (int shift : {16, 8, 0}) rgb.push_back(static_cast<png_byte>(XGetPixel(image, x, y) >> shift));
    XDestroyImage(image);
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(a.width);
    png.height = static_cast<png_uint_32>(a.height);
    png.format = PNG_FORMAT_RGB;
    const char* dir = getenv("BW_BINARY_DIR");
    return png_image_write_to_file(&png, (std::string(dir ? dir : ".") + "/" + name).c_str(), 0, rgb.data(), 0,
                                   nullptr) != 0;
}

}  // namespace bwtest
