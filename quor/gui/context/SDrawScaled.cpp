#include "quor/gui/context/SDrawScaled.h"

#include <X11/Xutil.h>

#include <atomic>
#include <cstring>

#include "quor/gui/context/SDisplayHandles.h"

namespace quor {
namespace gui {
namespace context {

namespace {

std::atomic<int> chosenMethod{SDrawScaled::METHOD_AUTO};

bool HasRender(Display* d)
{
    int event, error;
    return XRenderQueryExtension(d, &event, &error);
}

}  // namespace

void SDrawScaled::SetMethod(Method m) { chosenMethod.store(m); }

SDrawScaled::SDrawScaled(Display* display, Window window_, Visual* visual_, int depth_, int scale_)
    : window(window_), visual(visual_), depth(depth_), scale(scale_ > 1 ? scale_ : 1)
{
    if (!display || !window || !visual || depth <= 0) return;
    owner = display;
    if (chosenMethod.load() != METHOD_IMAGE && HasRender(display)) format = XRenderFindVisualFormat(display, visual);
}

SDrawScaled::~SDrawScaled()
{
    // The window's picture is not freed here: the server frees it with the
    // window, which a host may have destroyed already (with its own), and
    // freeing it then would be an error.
    if (owner && DisplayOpen(owner)) {
        FreePicture();
        if (windowGc) XFreeGC(owner, windowGc);
    }
    target = 0;
    windowGc = nullptr;
}

void SDrawScaled::FreePicture()
{
    if (source) XRenderFreePicture(owner, source);
    if (drawable) XFreePixmap(owner, drawable);
    source = 0;
    drawable = 0;
}

void SDrawScaled::Fit(int w, int h)
{
    if (!owner || !DisplayOpen(owner) || w <= 0 || h <= 0) return;
    if (drawable && w == width && h == height) return;
    FreePicture();
    width = w;
    height = h;
    drawable = XCreatePixmap(owner, window, static_cast<unsigned>(w), static_cast<unsigned>(h),
                             static_cast<unsigned>(depth));
    // One context serves every pixmap of this depth on the screen: the
    // drawing settings made on it stay across sizes.
    if (!gc && drawable) gc = XCreateGC(owner, drawable, 0, nullptr);
    if (format && drawable) {
        source = XRenderCreatePicture(owner, drawable, format, 0, nullptr);
        // Destination to source: (x, y) of the window reads (x / s, y / s).
        const XFixed shrinkBy = XDoubleToFixed(1.0 / scale);
        XTransform shrink = {{{shrinkBy, 0, 0}, {0, shrinkBy, 0}, {0, 0, XDoubleToFixed(1)}}};
        XRenderSetPictureTransform(owner, source, &shrink);
        XRenderSetPictureFilter(owner, source, const_cast<char*>(FilterNearest), nullptr, 0);
    }
}

void SDrawScaled::Present(int x, int y, int w, int h)
{
    if (!drawable || !owner || !DisplayOpen(owner)) return;
    if (x < 0) w += x, x = 0;
    if (y < 0) h += y, y = 0;
    if (x + w > width) w = width - x;
    if (y + h > height) h = height - y;
    if (w <= 0 || h <= 0) return;
    if (!format) {
        PresentImage(x, y, w, h);
        return;
    }
    if (!target) target = XRenderCreatePicture(owner, window, format, 0, nullptr);
    const int s = scale;
    XRenderComposite(owner, PictOpSrc, source, None, target, x * s, y * s, 0, 0, x * s, y * s,
                     static_cast<unsigned>(w * s), static_cast<unsigned>(h * s));
}

// Each row of the small picture is widened once and then copied s times.
void SDrawScaled::PresentImage(int x, int y, int w, int h)
{
    XImage* small = XGetImage(owner, drawable, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes,
                              ZPixmap);
    if (!small) return;
    const int s = scale, W = w * s, H = h * s;
    XImage* big = XCreateImage(owner, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                               static_cast<unsigned>(W), static_cast<unsigned>(H), small->bitmap_pad, 0);
    if (!big) {
        XDestroyImage(small);
        return;
    }
    enlarged.resize(static_cast<size_t>(big->bytes_per_line) * static_cast<size_t>(H));
    big->data = enlarged.data();
    const int bytes = small->bits_per_pixel / 8;
    const bool whole = small->bits_per_pixel % 8 == 0 && big->bits_per_pixel == small->bits_per_pixel &&
                       big->byte_order == small->byte_order;
    for (int row = 0; row < h; ++row) {
        char* out = big->data + static_cast<size_t>(row * s) * static_cast<size_t>(big->bytes_per_line);
        if (whole) {
            const char* in = small->data + static_cast<size_t>(row) * static_cast<size_t>(small->bytes_per_line);
            for (int col = 0; col < w; ++col, in += bytes)
                for (int k = 0; k < s; ++k, out += bytes) memcpy(out, in, static_cast<size_t>(bytes));
        } else {
            for (int col = 0; col < w; ++col) {
                const unsigned long p = XGetPixel(small, col, row);
                for (int k = 0; k < s; ++k) XPutPixel(big, col * s + k, row * s, p);
            }
        }
        const char* first = big->data + static_cast<size_t>(row * s) * static_cast<size_t>(big->bytes_per_line);
        for (int k = 1; k < s; ++k)
            memcpy(big->data + static_cast<size_t>(row * s + k) * static_cast<size_t>(big->bytes_per_line), first,
                   static_cast<size_t>(big->bytes_per_line));
    }
    if (!windowGc) windowGc = XCreateGC(owner, window, 0, nullptr);
    if (windowGc)
        XPutImage(owner, window, windowGc, big, 0, 0, x * s, y * s, static_cast<unsigned>(W),
                  static_cast<unsigned>(H));
    // The bytes are ours, not Xlib's.
    big->data = nullptr;
    XDestroyImage(big);
    XDestroyImage(small);
}

}  // namespace context
}  // namespace gui
}  // namespace quor
