#pragma once

namespace quor {
namespace math {
namespace geom {

// A width and a height in pixels.
struct SSize {
    int width = 0;
    int height = 0;
};

}  // namespace geom
}  // namespace math
}  // namespace quor
