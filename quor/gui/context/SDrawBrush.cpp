#include "quor/gui/context/SDrawBrush.h"

#include "quor/gui/context/SDrawBitmap.h"

namespace quor {
namespace gui {
namespace context {

SDrawBrush::SDrawBrush(SPixel colour_, int style_, SDrawBitmap* bitmap_)
    : bitmap(bitmap_), style(style_), colour(colour_)
{
}

SDrawBrush::~SDrawBrush()
{
    delete bitmap;
    bitmap = nullptr;
}

}  // namespace context
}  // namespace gui
}  // namespace quor
