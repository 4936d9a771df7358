#pragma once

namespace quor {
namespace gui {
namespace context {

// Line attributes and colour; holds no X resource.
class SDrawPen {
public:
    SDrawPen(int colour_, int width_, bool dashed_) : width(width_), dashed(dashed_), colour(colour_) {}
    virtual ~SDrawPen() {}

    int width;
    bool dashed;
    int colour;
};

}  // namespace context
}  // namespace gui
}  // namespace quor
