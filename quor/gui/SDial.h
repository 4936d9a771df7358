#pragma once
// A small box that shows an integer and changes it with the mouse: vertical
// drags (left button one step per 6 pixels, right button per 13), the wheel,
// middle clicks (right of the middle up, else down) and Ctrl+click back to
// the default. Every user change sends EVENT_VALUE; SetValue from the owner
// stores any value, sends nothing, and a value outside the range is shown as
// it is until the next user step brings it back to the nearer bound.

#include <vector>

#include "quor/gui/SControllable.h"

namespace quor {
namespace gui {

template <typename T>
class SDial : public SControllable<T, false> {
public:
    typedef SControllable<T, false> Controllable;
    typedef quor::data::datastring<32, char> String;

    // The creation arguments of a control, then the range and the initial
    // value, which is also the default (kept inside the range).
    SDial(SGlobals* globals, SControl* parent, unsigned id, const char* name, int style, int x, int y, int w, int h,
          int parentWindow, T minimum, T maximum, T value);
    ~SDial() override;

    // Painted off screen, then copied whole.
    void Draw(const Rectangle& r) override;
    void DrawOutlines(const Rectangle& r) override;
    void MouseStateChanged(bool* state, int change) override;
    // Vertical drags while the dial holds the capture.
    void MousePosChanged(int dx, int dy) override;

    virtual void DrawHandle();
    virtual void DrawValue();
    // Stores v as it is and repaints; whether it changed. Sends nothing.
    bool SetValue(T v, bool) override;
    virtual int Value2Index(T) { return 0; }
    virtual T Index2Value(int) { return 0; }

    // Texts shown instead of the number, indexed by the value; a value with
    // no entry shows the number. A takes precedence over B.
    void SetTextTableA(const std::vector<String>& table, bool use);
    void SetTextTableB(const std::vector<String>& table, bool use);
    // Left drags in steps of `leftDragPixels` + 1 pixels, or by the pixel.
    void SetSteppedDrag(bool stepped) { steppedDrag = stepped; }
    void SetDragPixels(int left, int right);
    // `value` drawn in colour index `colour` while `on`.
    void SetSpecialColour(int colour, T value, bool on);

    // The text drawn for the current value.
    String ValueText() const;
    int Positions() const { return positions; }
    T ResetValueAtConstruction() const { return resetValue; }

protected:
    bool useTextTableA = false;
    bool useTextTableB = false;
    std::vector<String> textTableA;
    std::vector<String> textTableB;
    int positions;
    T resetValue;
    int leftDragPixels = 5;
    int rightDragPixels = 12;
    bool steppedDrag = true;
    int specialColour = 0;
    T specialValue = 0;
    bool specialColouring = false;
};

extern template class SDial<int>;

}  // namespace gui
}  // namespace quor
