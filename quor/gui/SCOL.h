#pragma once
// Colours as X pixel values of the current display's default colour map.

#include "quor/gui/context/SPixel.h"

namespace quor {
namespace gui {

// Allocates (r, g, b), each 0..255, in the default colour map of screen 0 and
// returns the pixel; every call asks the server. When the server cannot
// allocate the colour the screen's black pixel is returned, and with no
// display at all 0 (black on the usual visuals) without any X call.
context::SPixel SCOL(int r, int g, int b);

}  // namespace gui
}  // namespace quor
