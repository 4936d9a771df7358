#include "quor/gui/context/SDrawImage.h"

#include <X11/Xutil.h>

#include <cstdlib>
#include <cstring>

#include "quor/gui/context/SDisplayHandles.h"

namespace quor {
namespace gui {
namespace context {

SDrawImage::SDrawImage(void* data_, int width_, int height_, int bytesPerLine, int pad) : data(data_)
{
    width = width_ == 0 ? 1 : width_;
    height = height_ == 0 ? 1 : height_;
    if (!data || width < 0 || height < 0 || pad < 0) return;
    memset(data, 0, static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(pad / 8));
    Display* display = CurrentDisplay();
    if (!display) return;
    int screen = DefaultScreen(display);
    image = XCreateImage(display, DefaultVisual(display, screen), static_cast<unsigned>(DefaultDepth(display, screen)),
                         ZPixmap, 0, static_cast<char*>(data), static_cast<unsigned>(width),
                         static_cast<unsigned>(height), pad, bytesPerLine);
}

SDrawImage::~SDrawImage()
{
    if (image)
        XDestroyImage(image);  // frees data with it
    else
        free(data);
    image = nullptr;
    data = nullptr;
}

}  // namespace context
}  // namespace gui
}  // namespace quor
