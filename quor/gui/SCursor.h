#pragma once
// The editor's mouse pointer: an orange arrow with a black outline, defined
// on a window while the pointer is over a control and undefined when it
// leaves. Made on the connection current at creation and used there only.

#include <X11/Xlib.h>

#include <cstdint>

namespace quor {
namespace gui {
namespace context {
class SDrawBitmap;
}

class SCursor {
public:
    SCursor();
    // A font cursor defined on `window` at once: kind 2 the hand, 3 the
    // watch, other non-zero kinds the left pointer, 0 an invisible cursor.
    SCursor(unsigned kind, Window window);
    virtual ~SCursor();
    SCursor(const SCursor&) = delete;
    SCursor& operator=(const SCursor&) = delete;

    virtual void Set();
    virtual void Free();

    // The orange arrow (hot spot at its tip).
    void CreateDefault();
    // A cursor from two bitmaps' pixmaps, which are deleted afterwards.
    void Create(context::SDrawBitmap* source, context::SDrawBitmap* mask, int hx, int hy);
    // As CreateDefault from X bitmap data of w x h (rows padded to bytes,
    // least significant bit first).
    void Create(const void* source, const void* mask, int w, int h, int hx, int hy);

    void SetWindow(Window w) { window = w; }
    Window GetWindow() const { return window; }
    Cursor GetCursor() const { return xcursor; }
    bool Hidden() const { return hidden; }
    unsigned Kind() const { return kind; }

    // The arrow's bitmaps, 24 x 24, 3 bytes a row.
    static void ArrowBitmaps(unsigned char source[72], unsigned char mask[72]);

protected:
    unsigned kind;
    Window window;
    bool hidden;
    Cursor xcursor;
    Display* display;

private:
    void Release();
};

// The plain left pointer, defined and undefined on request.
class SCursorDefault : public SCursor {
public:
    SCursorDefault();
    void Set() override;
    void Free() override;
    bool IsSet() const { return isSet; }

private:
    bool isSet = false;
};

}  // namespace gui
}  // namespace quor
