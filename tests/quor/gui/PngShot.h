#pragma once
// Writes an area of the screen, read back from the X server, as an RGB PNG
// into the build tree (to show what a control looked like).

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bwtest {

// Where ctest says the build tree is, else where the test was built.
inline std::string BinaryDir()
{
    const char* dir = getenv("BW_BINARY_DIR");
    return dir ? dir : BW_DEFAULT_BINARY_DIR;
}

inline bool WriteScreenPng(Display* display, int x, int y, int w, int h, const std::string& path)
{
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (!image) return false;
    std::vector<png_byte> rgb;
    for (int row = 0; row < h; ++row) {
        for (int col = 0; col < w; ++col) {
            const unsigned long p = XGetPixel(image, col, row);
            rgb.insert(rgb.end(), {png_byte(p >> 16), png_byte(p >> 8), png_byte(p)});
        }
    }
    XDestroyImage(image);
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    volatile bool ok = false;
    if (png && info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int row = 0; row < h; ++row) png_write_row(png, &rgb[static_cast<size_t>(row * w * 3)]);
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    return fclose(file) == 0 && ok;
}

}  // namespace bwtest
