#pragma once
#include "quor/math/geom/Point.h"

namespace quor {
namespace math {
namespace geom {

template <typename T, int N>
class Rectangle;

// left and top inclusive, right and bottom exclusive.
template <typename T>
class Rectangle<T, 2> {
public:
    constexpr Rectangle() = default;
    constexpr Rectangle(T l, T t, T r, T b) : left(l), top(t), right(r), bottom(b) {}
    constexpr Rectangle(const Point<T, 2>& topLeft, const Point<T, 2>& bottomRight)
        : left(topLeft.x), top(topLeft.y), right(bottomRight.x), bottom(bottomRight.y)
    {
    }

    constexpr T Width() const { return right - left; }
    constexpr T Height() const { return bottom - top; }
    constexpr Point<T, 2> TopLeft() const { return Point<T, 2>(left, top); }
    constexpr Point<T, 2> BottomRight() const { return Point<T, 2>(right, bottom); }
    constexpr void Offset(T dx, T dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }

    constexpr bool operator==(const Rectangle& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    constexpr bool operator!=(const Rectangle& o) const { return !(*this == o); }

    T left = 0;
    T top = 0;
    T right = 0;
    T bottom = 0;
};

}  // namespace geom
}  // namespace math
}  // namespace quor
