#pragma once

#include "quor/gui/context/SPixel.h"

namespace quor {
namespace gui {
namespace context {

// Line attributes and colour; holds no X resource.
class SDrawPen {
public:
    SDrawPen(SPixel colour_, int width_, bool dashed_) : width(width_), dashed(dashed_), colour(colour_) {}
    virtual ~SDrawPen() {}

    int width;
    bool dashed;
    SPixel colour;
};

}  // namespace context
}  // namespace gui
}  // namespace quor
