#pragma once
// Where a drawing surface draws: a window with its own graphics context.

#include <X11/Xlib.h>

namespace quor {
namespace gui {
namespace context {

class SDrawDevice {
public:
    // No drawable, no graphics context.
    SDrawDevice();
    // A graphics context with default values for the drawable, on the current
    // display; none when there is no display or the drawable is 0.
    explicit SDrawDevice(int drawable);
    virtual ~SDrawDevice();
    SDrawDevice(const SDrawDevice&) = delete;
    SDrawDevice& operator=(const SDrawDevice&) = delete;

    virtual GC Get();
    virtual Drawable GetDrawable();

    // The connection the graphics context (and, for a memory device, its
    // pixmap) was made on; null when there is none. Everything drawn on this
    // device goes through this connection.
    Display* Owner() const { return owner; }

protected:
    Drawable drawable = 0;
    GC gc = nullptr;
    Display* owner = nullptr;
};

}  // namespace context
}  // namespace gui
}  // namespace quor
