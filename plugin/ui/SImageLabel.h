#pragma once
// A control that shows one fixed image, made from in-memory XPM data of the
// control's own size, and reports clicks as EVENT_CONTROL with the mouse
// button (1 left, 2 middle, 3 right); a double click reports twice.

#include <cstddef>

#include "quor/gui/SWindow.h"

namespace quor {
namespace gui {
namespace context {
class SDrawBitmap;
class SDrawMemoryDevice;
}  // namespace context

class SImageLabel : public SWindow {
public:
    SImageLabel(SGlobals* globals, SControl* parent, int id, const char* name, int style, int x, int y, int width,
                int height, int parentWindow);
    ~SImageLabel() override;

    // The whole image, whatever area is asked for; nothing before a load.
    void Draw(const Rectangle& r) override;
    void MouseStateChanged(bool* state, int change) override;

    // Replaces the image by the XPM lines at `data` (width x height, not
    // scaled: the image's own size). The data is only read; null data
    // leaves no image.
    virtual void LoadBackground(void* data, int width, int height);
    // The embedded images (quor::images) as they are.
    void LoadBackground(const char* const* xpm, int width, int height)
    {
        LoadBackground(static_cast<void*>(const_cast<char**>(xpm)), width, height);
    }
    void LoadBackground(std::nullptr_t, int width, int height)
    {
        LoadBackground(static_cast<void*>(nullptr), width, height);
    }

    context::SDrawBitmap* Bitmap() const { return bitmap; }
    context::SDrawMemoryDevice* MemoryDevice() const { return memoryDevice; }

private:
    void FreeImage();

    context::SDrawBitmap* bitmap = nullptr;
    context::SDrawMemoryDevice* memoryDevice = nullptr;
};

}  // namespace gui
}  // namespace quor
