#pragma once
// The one type of a colour in the toolkit: an X pixel value of the default
// colour map, 32 bits unsigned on both architectures (X carries pixels in
// 32-bit fields). SCOL makes them, the colour table holds them, and every
// colour parameter and field of the drawing surface, pens and brushes is one.
// Being unsigned, a pixel picks the pixel overload of a call that also has a
// bool form (SDrawing::SetBackgroundColour) instead of being ambiguous.

#include <cstdint>

namespace quor {
namespace gui {
namespace context {

typedef uint32_t SPixel;

}  // namespace context
}  // namespace gui
}  // namespace quor
