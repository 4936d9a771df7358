#pragma once
// An off-screen pixmap, empty or made from in-memory XPM data.

#include <X11/Xlib.h>

#include <cstddef>

#include "quor/data/datastring.h"

namespace quor {
namespace gui {
namespace context {

class SDrawBitmapMask;

class SDrawBitmap {
public:
    // xpm: an array of XPM text lines (header, colours, pixel rows: the
    // embedded images of quor::images as they are), or null for an empty
    // pixmap of width x height whose contents are undefined until drawn.
    // The lines are only read. The void* form takes the same array.
    SDrawBitmap(const char* const* xpm, int width, int height, bool flag);
    SDrawBitmap(void* xpm, int width, int height, bool flag);
    SDrawBitmap(std::nullptr_t, int width, int height, bool flag);
    virtual ~SDrawBitmap();
    SDrawBitmap(const SDrawBitmap&) = delete;
    SDrawBitmap& operator=(const SDrawBitmap&) = delete;

    virtual int Use();

    // Does nothing when the bitmap already has a pixmap. An XPM image that
    // cannot be converted leaves a 1 x 1 bitmap without a pixmap.
    void Create(const char* const* xpm, int width, int height, bool flag);
    void Create(void* xpm, int width, int height, bool flag)
    {
        Create(static_cast<const char* const*>(xpm), width, height, flag);
    }
    void Create(std::nullptr_t, int width, int height, bool flag)
    {
        Create(static_cast<const char* const*>(nullptr), width, height, flag);
    }
    void Create(int) {}
    void Create(int, int, int, int, void*) {}
    void Create(const quor::data::datastring<32, char>&, bool, int) {}

    // The stored size, or 0 without a pixmap.
    int Width() const { return pixmap ? width : 0; }
    int Height() const { return pixmap ? height : 0; }
    Pixmap GetPixmap() const { return pixmap; }
    bool Flag() const { return flag; }
    // The connection the pixmap lives on (null without one).
    Display* Owner() const { return owner; }

private:
    int width = 0;
    int height = 0;
    bool flag = false;
    Pixmap pixmap = 0;
    Display* owner = nullptr;
};

}  // namespace context
}  // namespace gui
}  // namespace quor
