#pragma once
// A label that is a push, toggle or trigger button with an integer value, an
// active label colour, an alternative label for the "on" state, hover frame
// colours and optional bitmaps for the off and on states.

#include "quor/gui/SIHoverable.h"
#include "quor/gui/SIValueHolder.h"
#include "quor/gui/SLabel.h"

namespace quor {
namespace gui {
namespace context {
class SDrawBitmap;
class SDrawMemoryDevice;
}  // namespace context

// Button types.
enum : int {
    BUTTON_NOTOGGLE = 0x1,  // a left press does not toggle
    BUTTON_PUSH = 0x2,      // back to 0 on release or when the pointer leaves
    BUTTON_NOTIFYOFF = 0x4, // switching off by Toggle also notifies
    BUTTON_TRIGGER = 0x8,   // every press notifies and the value returns to 0
    BUTTON_MENU = 0x10,
    BUTTON_BITMAPS = 0x20,  // drawn from bitmaps
    BUTTON_NOTIFYOFF2 = 0x40,
};

template <bool Unused>
class SButton : public SLabel<Unused>, public SIHoverable, public SIValueHolder<int> {
public:
    typedef SLabel<Unused> Label;

    SButton(SGlobals* globals, SControl* parent, unsigned id, const char* name, int style, int x, int y, int w,
            int h, int parentWindow, bool flag);
    ~SButton() override;

    void SetType(int t) override { type = t; }
    void SetLabelColours(int enabled, int disabled) override;
    int GetLabelColour() override;
    void Reset() override;
    void Toggle() override;
    void ClearState() override;
    void SetBitmaps(context::SDrawBitmap* off, context::SDrawBitmap* on) override;
    void MouseStateChanged(bool* state, int code) override;
    void Draw(const Rectangle& r) override;
    void DrawOutlines(const Rectangle& r) override;
    void DrawLabel() override;

    void SetHoverColours(int off, int on) override { SIHoverable::SetHoverColours(off, on); }
    virtual void SetLabelColourActive(int c) { labelColourActive = c; }
    virtual void SetLabelAlternative(const char* text, bool use);
    virtual void SetBitmaps(const char* const* xpmOff, const char* const* xpmOn, int w, int h);
    bool SetValue(int v, bool notify) override;
    int GetValue() override { return value; }

    int Type() const { return type; }
    bool Hovering() const { return hovering; }

protected:
    // Whether the pointer is over the button: sets MS_INSIDE and `hovering`
    // from where the server says it is, then repaints when asked.
    void PointerCheck(bool* state, bool refresh);
    void FreeBitmaps();

    int type = BUTTON_PUSH;
    int labelColourActive = 0;  // white
    typename Label::String labelAlternative;
    bool useAlternative = false;
    context::SDrawBitmap* bitmapOff = nullptr;
    context::SDrawBitmap* bitmapOn = nullptr;
    context::SDrawMemoryDevice* deviceOff = nullptr;
    context::SDrawMemoryDevice* deviceOn = nullptr;
};

extern template class SButton<false>;

}  // namespace gui
}  // namespace quor
