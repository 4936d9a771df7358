#include "quor/gui/context/SDrawMemoryDevice.h"

#include "quor/gui/context/SDisplayHandles.h"
#include "quor/gui/context/SDrawBitmap.h"

namespace quor {
namespace gui {
namespace context {

SDrawMemoryDevice::SDrawMemoryDevice(SDrawDevice* window_, SDrawBitmap* bitmap_) : window(window_)
{
    if (bitmap_) {
        bitmap = bitmap_;
        MakeContext();
    }
}

SDrawMemoryDevice::~SDrawMemoryDevice()
{
    if (owner && DisplayOpen(owner)) XFlush(owner);
    FreeContext();
}

GC SDrawMemoryDevice::Get()
{
    return memoryGc;
}

Drawable SDrawMemoryDevice::GetDrawable()
{
    return bitmap ? bitmap->GetPixmap() : 0;
}

void SDrawMemoryDevice::Select(SDrawBitmap* bitmap_)
{
    if (!bitmap_) return;
    bitmap = bitmap_;
    FreeContext();
    MakeContext();
}

// A bitmap without a pixmap (its XPM data failed) gets no context: a request
// on drawable 0 would raise an X error.
void SDrawMemoryDevice::MakeContext()
{
    Pixmap pixmap = bitmap ? bitmap->GetPixmap() : 0;
    Display* display = bitmap ? bitmap->Owner() : nullptr;
    if (!pixmap || !display || !DisplayOpen(display)) return;
    memoryGc = XCreateGC(display, pixmap, 0, nullptr);
    if (memoryGc) owner = display;
}

void SDrawMemoryDevice::FreeContext()
{
    if (memoryGc && owner && DisplayOpen(owner)) XFreeGC(owner, memoryGc);
    memoryGc = nullptr;
    owner = nullptr;
}

}  // namespace context
}  // namespace gui
}  // namespace quor
