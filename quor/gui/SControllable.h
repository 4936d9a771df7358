#pragma once
// A label that edits a ranged value with the mouse: hover frame, a handle
// zone that takes clicks and keeps the capture, middle-click steps,
// Ctrl+click back to the default, and an off-screen image of the whole
// control for flicker-free painting. SDial builds the visible control on it.
//
// Control colours are pixel values; hover colours (SIHoverable) are indices
// of the shared colour table.

#include <cstdint>

#include "quor/gui/SIControllable.h"
#include "quor/gui/SIHoverable.h"
#include "quor/gui/SLabel.h"

namespace quor {
namespace gui {
namespace context {
class SDrawBitmap;
class SDrawFont;
class SDrawMemoryDevice;
}  // namespace context

// Type flags.
enum : int {
    CONTROLLABLE_LABEL = 0x2,      // background drawn as a label
    CONTROLLABLE_BITMAPS = 0x4,    // drawn from a background and a handle bitmap
    CONTROLLABLE_DEFAULT = 0x8,    // set at construction
    CONTROLLABLE_VALUEZONE = 0x10  // a value zone was set
};

template <typename T, bool Unused>
class SControllable : public SLabel<Unused>, public SIControllable<T>, public SIHoverable {
public:
    typedef SLabel<Unused> Label;

    SControllable(SGlobals* globals, SControl* parent, unsigned id, const char* name, int style, int x, int y, int w,
                  int h, int parentWindow, bool flag);
    ~SControllable() override;

    void SetType(int t) override { typeFlags = t; }
    // Takes both bitmaps over; drawn from them only when both hold an
    // image, otherwise both are freed at once.
    void SetBitmaps(context::SDrawBitmap* background, context::SDrawBitmap* handle) override;
    void MouseStateChanged(bool* state, int change) override;
    // The control's reset and the value's are the same: back to the default.
    void Reset() override { SIControllable<T>::Reset(); }

    virtual void SetControlColours(uint32_t a, uint32_t b, uint32_t c, uint32_t handle);
    virtual void SetValueColour(int c) { valueColour = c; }
    virtual int GetValueColour() { return valueColour; }
    // Not owned; no value text is drawn without one.
    virtual void SetValueFont(context::SDrawFont* font) { valueFont = font; }
    void SetHoverColours(int off, int on) override { SIHoverable::SetHoverColours(off, on); }
    virtual void SetHandleZone(const Rectangle& r) { handleZone = r; }
    // The handle colour, and the third control colour.
    virtual void SetHandleColours(uint32_t handle, uint32_t third);
    virtual void SetValueZone(const Rectangle& r);
    virtual void SetValueOffset(const Point& p) { valueOffset = p; }
    // A fresh off-screen image of the buffer size.
    virtual void SetDoubleBuffer();
    // Where a handle moving with the value would start, in pixels.
    virtual int CalcHandleOffset();
    // A user step of n up or down. Steps stop at the bounds; a value the
    // owner put outside the range comes back to the nearer bound.
    virtual void ValueChange(bool up, T n);
    // EVENT_VALUE with the value as param.
    virtual void SendControlEvent();

    int TypeFlags() const { return typeFlags; }
    const Rectangle& HandleZone() const { return handleZone; }
    const Rectangle& HandleRect() const { return handleRect; }
    const Rectangle& ValueZone() const { return valueZone; }
    const Point& DragStart() const { return dragStart; }
    uint32_t ControlColour(int i) const { return i >= 0 && i < 4 ? controlColours[i] : 0u; }
    context::SDrawMemoryDevice* BufferDevice() const { return bufferDevice; }

protected:
    // The value one user step of n away, kept inside the range.
    T Stepped(T v, bool up, T n) const;
    // The pointer in control coordinates; its screen position in `screen`.
    Point Pointer(Point* screen);
    bool InZone(const Point& p) const;
    void FreeDevices();

    context::SDrawBitmap* backgroundBitmap = nullptr;
    context::SDrawBitmap* handleBitmap = nullptr;
    context::SDrawBitmap* bufferBitmap = nullptr;
    context::SDrawMemoryDevice* backgroundDevice = nullptr;
    context::SDrawMemoryDevice* handleDevice = nullptr;
    context::SDrawMemoryDevice* bufferDevice = nullptr;
    context::SDrawFont* valueFont = nullptr;
    int valueColour;
    uint32_t controlColours[4];
    int typeFlags = CONTROLLABLE_DEFAULT;
    int bufferSize[2];
    Rectangle handleRect;
    Rectangle handleZone;
    Rectangle valueZone;
    bool zoneFlag = false;
    Point dragStart;
    Point valueOffset;
};

extern template class SControllable<int, false>;

}  // namespace gui
}  // namespace quor
