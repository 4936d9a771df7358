#include "quor/gui/SDrawObject.h"

#include "quor/gui/context/SDrawing.h"

namespace quor {
namespace gui {

SDrawObject::SDrawObject(const Rectangle& r, uint32_t bg, uint32_t fg) : rect(r), background(bg), foreground(fg) {}

void SDrawObject::Draw(context::SDrawing* d)
{
    if (!d) return;
    const uint32_t previous = d->GetBackgroundColour();
    d->SetBackground(background, false);
    Rectangle r = rect;
    r.Offset(offset.x, offset.y);
    d->DrawBackground(r, false);
    d->SetBackground(previous, false);
}

}  // namespace gui
}  // namespace quor
