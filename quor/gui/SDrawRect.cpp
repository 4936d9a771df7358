#include "quor/gui/SDrawRect.h"

#include "plugin/SStaticData.h"
#include "quor/gui/context/SDrawing.h"

namespace quor {
namespace gui {

SDrawRect::SDrawRect(const Rectangle& r, uint32_t fill, uint32_t frame, bool f)
    : SDrawObject(r, fill, frame), fillColour(fill), frameColour(frame), filled(f)
{
}

void SDrawRect::Draw(context::SDrawing* d)
{
    if (!d) return;
    Rectangle r = rect;
    r.Offset(offset.x, offset.y);
    if (filled) {
        d->SetPen(statdata.FindPen(fillColour));
        d->SetBrush(statdata.FindBrush(fillColour));
        d->FillRect(r);
    }
    d->SetPen(statdata.FindPen(frameColour));
    d->DrawRect(r);
}

}  // namespace gui
}  // namespace quor
