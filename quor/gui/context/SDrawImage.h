#pragma once
// A client-side image over a caller's pixel buffer.

#include <X11/Xlib.h>

namespace quor {
namespace gui {
namespace context {

class SDrawImage {
public:
    // data must come from malloc: the image takes it over and frees it. A
    // width or height of 0 becomes 1; the buffer is cleared over
    // width x height x (pad / 8) bytes.
    SDrawImage(void* data, int width, int height, int bytesPerLine, int pad);
    virtual ~SDrawImage();
    SDrawImage(const SDrawImage&) = delete;
    SDrawImage& operator=(const SDrawImage&) = delete;

    int Width() const { return width; }
    int Height() const { return height; }
    // Null when no image could be made (no display, no data).
    XImage* GetImage() const { return image; }
    void* Data() const { return data; }

private:
    int width;
    int height;
    XImage* image = nullptr;
    void* data;
};

}  // namespace context
}  // namespace gui
}  // namespace quor
