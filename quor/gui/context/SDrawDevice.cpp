#include "quor/gui/context/SDrawDevice.h"

#include "quor/gui/context/SDisplayHandles.h"

namespace quor {
namespace gui {
namespace context {

SDrawDevice::SDrawDevice() = default;

SDrawDevice::SDrawDevice(int drawable_) : drawable(static_cast<Drawable>(static_cast<unsigned int>(drawable_)))
{
    Display* display = CurrentDisplay();
    // A graphics context on drawable 0 is a protocol error, fatal to the host
    // under Xlib's default error handler.
    if (!display || !drawable) return;
    gc = XCreateGC(display, drawable, 0, nullptr);
    if (gc) owner = display;
}

SDrawDevice::~SDrawDevice()
{
    // The context goes back on the connection that made it, and only while
    // that connection is still ours to use.
    if (owner && DisplayOpen(owner)) {
        XFlush(owner);
        if (gc) XFreeGC(owner, gc);
    }
    gc = nullptr;
    drawable = 0;
    owner = nullptr;
}

GC SDrawDevice::Get()
{
    return gc;
}

Drawable SDrawDevice::GetDrawable()
{
    return drawable;
}

}  // namespace context
}  // namespace gui
}  // namespace quor
