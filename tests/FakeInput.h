#pragma once
// Real input for tests on an X server, through XTest. The server takes fake
// input through its input queue after the request that sent it has
// returned, so each helper waits until the server shows the input done.

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <thread>

namespace bwtest {

// Polls until `done` holds or `timeoutMs` has passed; whether it held.
template <typename F>
bool WaitUntil(F done, int timeoutMs = 5000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Until the pointer stands at root point (x, y) (any point for x < 0) with
// the buttons of `mask` as `want` says.
inline bool WaitForPointer(Display* d, int x, int y, unsigned mask, unsigned want)
{
    return WaitUntil([&] {
        Window r, c;
        int rx, ry, wx, wy;
        unsigned m;
        XQueryPointer(d, DefaultRootWindow(d), &r, &c, &rx, &ry, &wx, &wy, &m);
        return (x < 0 || (rx == x && ry == y)) && (m & mask) == want;
    });
}

inline bool FakeMotion(Display* d, int rootX, int rootY)
{
    XTestFakeMotionEvent(d, -1, rootX, rootY, 0);
    XSync(d, False);
    return WaitForPointer(d, rootX, rootY, 0, 0);
}

inline bool FakeButton(Display* d, unsigned button, bool down)
{
    XTestFakeButtonEvent(d, button, down ? True : False, 0);
    XSync(d, False);
    const unsigned mask = Button1Mask << (button - 1);
    return WaitForPointer(d, -1, -1, mask, down ? mask : 0);
}

// A click at point (x, y) of window `w`, then a pause so that the next click
// is no double click.
inline void FakeClick(Display* d, Window w, int x, int y, unsigned button = 1)
{
    int rx, ry;
    Window child;
    XTranslateCoordinates(d, w, DefaultRootWindow(d), x, y, &rx, &ry, &child);
    FakeMotion(d, rx, ry);
    FakeButton(d, button, true);
    FakeButton(d, button, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
}

}  // namespace bwtest
