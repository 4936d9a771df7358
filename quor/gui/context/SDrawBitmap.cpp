#include "quor/gui/context/SDrawBitmap.h"

#include <X11/xpm.h>

#include "quor/gui/context/SDisplayHandles.h"

namespace quor {
namespace gui {
namespace context {

SDrawBitmap::SDrawBitmap(const char* const* xpm, int width_, int height_, bool flag_)
{
    Create(xpm, width_, height_, flag_);
}

SDrawBitmap::SDrawBitmap(void* xpm, int width_, int height_, bool flag_)
    : SDrawBitmap(static_cast<const char* const*>(xpm), width_, height_, flag_)
{
}

SDrawBitmap::SDrawBitmap(std::nullptr_t, int width_, int height_, bool flag_)
    : SDrawBitmap(static_cast<const char* const*>(nullptr), width_, height_, flag_)
{
}

SDrawBitmap::~SDrawBitmap()
{
    if (pixmap && owner && DisplayOpen(owner)) XFreePixmap(owner, pixmap);
    pixmap = 0;
    owner = nullptr;
}

int SDrawBitmap::Use()
{
    return 0;
}

void SDrawBitmap::Create(const char* const* xpm, int width_, int height_, bool flag_)
{
    if (pixmap) return;
    flag = flag_;
    width = width_;
    height = height_;
    Display* display = CurrentDisplay();
    if (xpm) {
        // Whatever goes wrong, a failed image is 1 x 1 and has no pixmap.
        width = 1;
        height = 1;
        if (!display) return;
        XpmAttributes attributes = {};
        attributes.valuemask = XpmCloseness | XpmInfos;
        attributes.closeness = 40000;
        Pixmap image = 0;
        Pixmap shape = 0;
        // libXpm's char** is historical: it only reads the lines.
        int status = XpmCreatePixmapFromData(display, DefaultRootWindow(display), const_cast<char**>(xpm), &image,
                                             &shape, &attributes);
        if (shape) XFreePixmap(display, shape);
        if (status >= XpmSuccess && image) {
            pixmap = image;
            owner = display;
            width = static_cast<int>(attributes.width);
            height = static_cast<int>(attributes.height);
            XpmFreeAttributes(&attributes);
        } else if (image) {
            XFreePixmap(display, image);
        }
        return;
    }
    // A pixmap of no area is a protocol error; such a bitmap stays empty.
    if (!display || width <= 0 || height <= 0) return;
    pixmap = XCreatePixmap(display, DefaultRootWindow(display), static_cast<unsigned>(width),
                           static_cast<unsigned>(height), static_cast<unsigned>(DefaultDepth(display, DefaultScreen(display))));
    if (pixmap) owner = display;
}

}  // namespace context
}  // namespace gui
}  // namespace quor
