#pragma once
// The monitors: from Xinerama, from the window manager's work area of each
// screen, or by dividing one wide or tall screen into monitors of aspect 5:4.
// Centres windows on the monitor they are on and gives tooltips the screen
// bounds. Built at load (or when the first display arrives) and read after.

#include <X11/Xlib.h>

#include <vector>

#include "quor/data/datastring.h"
#include "quor/gui/SGeometry.h"

namespace quor {
namespace gui {

class SControl;

class SDisplayInfo {
public:
    SDisplayInfo(const Rectangle& r, const char* n, int v) : rect(r), name(n ? n : ""), value(v) {}
    Rectangle rect;
    quor::data::datastring<32, char> name;
    int value;
};

class SDisplay {
public:
    SDisplay() = default;
    virtual ~SDisplay() = default;

    // Rebuilds the monitor list on the current display; false (and no X
    // call) without one.
    bool AllMonitorRects();
    // The same on a given connection.
    bool AllMonitorRects(Display* display);
    void AllMonitorInfos() {}

    // The first monitor containing p (edges included); else the first one;
    // the screen's bounds when there is no monitor at all.
    Rectangle MonitorRect(const Point& p) const;
    // The same for the centre of c on the screen.
    Rectangle MonitorRect(SControl* c) const;
    // Moves c to the centre of the monitor its centre is on (or that p is on).
    void CenterOnWindow(SControl* c) const;
    void CenterOnWindow(SControl* c, const Point& p) const;

    std::vector<SDisplayInfo> infos;
    std::vector<Rectangle> monitors;
    int count = 0;
    Rectangle bounds;
    bool split = false;

private:
    void Extend(const Rectangle& r);
    void Centre(SControl* c, const Rectangle& monitor) const;
    // The screen when the list is empty (no display at load): a rectangle
    // from the current display, or (0, 0, 0, 0) without one.
    Rectangle Fallback() const;
};

}  // namespace gui
}  // namespace quor
