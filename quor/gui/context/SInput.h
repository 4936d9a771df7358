#pragma once
// A control's record of the mouse and the modifier keys.

#include <cstdint>

namespace quor {
namespace gui {

// Indices into SInput::state; also the code passed to MouseStateChanged.
// Codes 10 to 12, 18 and 19 are never set.
enum : int {
    MS_ENTERED = 0,
    MS_MOVED = 1,
    MS_LEFT = 2,
    MS_LBUTTON = 3,
    MS_RBUTTON = 4,
    MS_MBUTTON = 5,
    MS_RELEASED = 6,
    MS_LDOUBLE = 7,
    MS_RDOUBLE = 8,
    MS_MDOUBLE = 9,
    MS_WHEEL = 13,
    MS_WHEELUP = 14,
    MS_WHEELDOWN = 15,
    MS_INSIDE = 16,
    MS_CAPTURED = 17,
    MS_ALT = 20,
    MS_SHIFT = 21,
    MS_CONTROL = 22,
    MS_COUNT = 23
};

// Key classes reported with each key.
enum : int { KEYCLASS_CHAR = 0, KEYCLASS_MODIFIER = 3, KEYCLASS_EDIT = 4, KEYCLASS_FUNCTION = 5 };

namespace context {

class SInput {
public:
    SInput() { Reset(); }
    virtual ~SInput() = default;

    // Position unknown, nothing pressed, no click remembered.
    void Reset()
    {
        lastX = lastY = -1;
        deltaX = deltaY = 0;
        for (bool& s : state) s = false;
        lastButton = 0;
        lastClickTime = 0;
        keyState = 0;
    }

    int32_t lastX, lastY;
    int32_t deltaX, deltaY;
    bool state[MS_COUNT];
    int32_t lastButton;
    uint32_t lastClickTime;  // X server milliseconds
    int32_t keyState;
};

}  // namespace context
}  // namespace gui
}  // namespace quor
