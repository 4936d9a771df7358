#pragma once

namespace quor {
namespace math {
namespace geom {

template <typename T, int N>
class Point;

// A position in pixels.
template <typename T>
class Point<T, 2> {
public:
    constexpr Point() = default;
    constexpr Point(T x_, T y_) : x(x_), y(y_) {}

    constexpr bool operator==(const Point& o) const { return x == o.x && y == o.y; }
    constexpr bool operator!=(const Point& o) const { return !(*this == o); }

    T x = 0;
    T y = 0;
};

}  // namespace geom
}  // namespace math
}  // namespace quor
