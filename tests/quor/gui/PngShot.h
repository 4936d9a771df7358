#pragma once
// Writes an area of the screen, read back from the X server, as an RGB PNG
// (for showing what a control looked like; tests check pixels themselves).

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bwtest {

// The build tree: ctest says where it is, otherwise the one the test was
// built in.
inline std::string BinaryDir()
{
    if (const char* dir = getenv("BW_BINARY_DIR")) return dir;
#ifdef BW_DEFAULT_BINARY_DIR
    return BW_DEFAULT_BINARY_DIR;
#else
    return ".";
#endif
}

// False when the area cannot be read or the file written.
inline bool WriteScreenPng(Display* display, int x, int y, int w, int h, const std::string& path)
{
    if (w <= 0 || h <= 0) return false;
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (!image) return false;
    std::vector<png_byte> rows(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
    for (int row = 0; row < h; ++row) {
        for (int col = 0; col < w; ++col) {
            unsigned long pixel = XGetPixel(image, col, row);
            png_byte* out = &rows[(static_cast<size_t>(row) * static_cast<size_t>(w) + static_cast<size_t>(col)) * 3];
            out[0] = static_cast<png_byte>((pixel >> 16) & 0xFF);
            out[1] = static_cast<png_byte>((pixel >> 8) & 0xFF);
            out[2] = static_cast<png_byte>(pixel & 0xFF);
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
        for (int row = 0; row < h; ++row)
            png_write_row(png, &rows[static_cast<size_t>(row) * static_cast<size_t>(w) * 3]);
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    return fclose(file) == 0 && ok;
}

}  // namespace bwtest
