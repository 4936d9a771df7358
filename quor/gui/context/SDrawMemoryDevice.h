#pragma once
// A device that draws into the pixmap of a bitmap, standing in for a window
// device while a control paints off screen.

#include "quor/gui/context/SDrawDevice.h"

namespace quor {
namespace gui {
namespace context {

class SDrawBitmap;

class SDrawMemoryDevice : public SDrawDevice {
public:
    SDrawMemoryDevice(SDrawDevice* window, SDrawBitmap* bitmap);
    ~SDrawMemoryDevice() override;

    GC Get() override;
    // The bitmap's pixmap; 0 without a bitmap or when it has no pixmap.
    Drawable GetDrawable() override;

    // A null bitmap changes nothing.
    void Select(SDrawBitmap* bitmap);

    SDrawDevice* GetWindowDevice() const { return window; }
    SDrawBitmap* GetBitmap() const { return bitmap; }

private:
    void MakeContext();
    void FreeContext();

    SDrawDevice* window;
    SDrawBitmap* bitmap = nullptr;
    // Made on the bitmap's connection, which becomes this device's Owner().
    GC memoryGc = nullptr;
};

}  // namespace context
}  // namespace gui
}  // namespace quor
