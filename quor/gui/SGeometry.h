#pragma once
// Conversions between the toolkit's geometry (32-bit, right and bottom
// exclusive) and Xlib's 16-bit points and rectangles.

#include <X11/Xlib.h>

#include "quor/math/geom/Point.h"
#include "quor/math/geom/Rectangle.h"

namespace quor {
namespace gui {

typedef quor::math::geom::Point<int, 2> Point;
typedef quor::math::geom::Rectangle<int, 2> Rectangle;

inline XPoint S2POINT(const Point& p)
{
    XPoint x;
    x.x = static_cast<short>(p.x);
    x.y = static_cast<short>(p.y);
    return x;
}

inline XRectangle S2RECT(const Rectangle& r)
{
    XRectangle x;
    x.x = static_cast<short>(r.left);
    x.y = static_cast<short>(r.top);
    x.width = static_cast<unsigned short>(r.right - r.left);
    x.height = static_cast<unsigned short>(r.bottom - r.top);
    return x;
}

inline Point POINT2S(const XPoint& p) { return Point(p.x, p.y); }

inline Rectangle RECT2S(const XRectangle& r) { return Rectangle(r.x, r.y, r.x + r.width, r.y + r.height); }

// "Eventtype: CreateNotify" for 16, "Eventtype: (unknown)" for anything else.
const char* SWindowEventType(int type);

}  // namespace gui
}  // namespace quor
