#include "quor/gui/SDisplay.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xinerama.h>

#include <cmath>

#include "quor/gui/SAtoms.h"
#include "quor/gui/SControl.h"
#include "quor/gui/context/SDisplayHandles.h"

namespace quor {
namespace gui {

// Grows from whatever the bounds held before, (0, 0, 0, 0) the first time.
void SDisplay::Extend(const Rectangle& r)
{
    if (r.left < bounds.left) bounds.left = r.left;
    if (r.top < bounds.top) bounds.top = r.top;
    if (r.right > bounds.right) bounds.right = r.right;
    if (r.bottom > bounds.bottom) bounds.bottom = r.bottom;
}

bool SDisplay::AllMonitorRects() { return AllMonitorRects(context::CurrentDisplay()); }

bool SDisplay::AllMonitorRects(Display* d)
{
    if (!d) return false;
    monitors.clear();
    split = false;
    int event, error;
    if (XineramaQueryExtension(d, &event, &error) && XineramaIsActive(d)) {
        int n = 0;
        XineramaScreenInfo* screens = XineramaQueryScreens(d, &n);
        for (int i = 0; i < n; ++i) {
            const XineramaScreenInfo& s = screens[i];
            monitors.emplace_back(s.x_org, s.y_org, s.x_org + s.width, s.y_org + s.height);
            Extend(monitors.back());
        }
        if (screens) XFree(screens);
    } else if (ScreenCount(d) > 1) {
        Atom workarea = SAtoms::Existing(d, "_NET_WORKAREA");
        for (int i = 0; workarea && i < ScreenCount(d); ++i) {
            Atom type = None;
            int format = 0;
            unsigned long items = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(d, RootWindow(d, i), workarea, 0, 4, False, XA_CARDINAL, &type, &format, &items,
                                   &after, &data) == Success &&
                data && format == 32 && items == 4) {
                // Format-32 items come back as longs.
                const long* v = reinterpret_cast<const long*>(data);
                monitors.emplace_back(static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[0] + v[2]),
                                      static_cast<int>(v[1] + v[3]));
                Extend(monitors.back());
            }
            if (data) XFree(data);
        }
    }
    if (monitors.empty()) {
        int screen = DefaultScreen(d);
        const int W = DisplayWidth(d, screen), H = DisplayHeight(d, screen);
        bounds = Rectangle(0, 0, W, H);
        // Monitors of aspect 5:4: a screen much taller or wider than that is
        // taken for several of them.
        const float a = static_cast<float>(H) / (0.8f * static_cast<float>(W));
        const float b = (0.8f * static_cast<float>(W)) / static_cast<float>(H);
        if (a > 1.5f) {
            const int n = static_cast<int>(std::lround(a));
            const int step = static_cast<int>(std::lround(static_cast<float>(H) / a));
            for (int i = 0, y = 0; i < n; ++i, y += step) monitors.emplace_back(0, y, W, y + step);
            split = true;
        } else if (b > 1.5f) {
            const int n = static_cast<int>(std::lround(b));
            const int step = static_cast<int>(std::lround(static_cast<float>(W) / b));
            for (int i = 0, x = 0; i < n; ++i, x += step) monitors.emplace_back(x, 0, x + step, H);
            split = true;
        } else {
            monitors.push_back(bounds);
        }
    }
    count = static_cast<int>(monitors.size());
    return true;
}

Rectangle SDisplay::Fallback() const
{
    if (bounds != Rectangle()) return bounds;
    Display* d = context::CurrentDisplay();
    if (!d) return Rectangle();
    int screen = DefaultScreen(d);
    return Rectangle(0, 0, DisplayWidth(d, screen), DisplayHeight(d, screen));
}

Rectangle SDisplay::MonitorRect(const Point& p) const
{
    for (const Rectangle& r : monitors)
        if (p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom) return r;
    return monitors.empty() ? Fallback() : monitors.front();
}

Rectangle SDisplay::MonitorRect(SControl* c) const
{
    if (!c) return monitors.empty() ? Fallback() : monitors.front();
    Point origin = c->GetClient2Screen(0, 0);
    return MonitorRect(Point(origin.x + c->Width() * c->Scale() / 2, origin.y + c->Height() * c->Scale() / 2));
}

void SDisplay::Centre(SControl* c, const Rectangle& m) const
{
    // On the root a position is in screen pixels, the size in the control's.
    const int w = c->Width() * c->Scale(), h = c->Height() * c->Scale();
    c->SetPosition(m.left + ((m.Width() - w) >> 1), m.top + ((m.Height() - h) >> 1));
}

void SDisplay::CenterOnWindow(SControl* c) const
{
    if (c) Centre(c, MonitorRect(c));
}

void SDisplay::CenterOnWindow(SControl* c, const Point& p) const
{
    if (c) Centre(c, MonitorRect(p));
}

}  // namespace gui
}  // namespace quor
