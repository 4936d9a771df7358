#include "quor/gui/STextObject.h"

#include "quor/gui/context/SDrawing.h"

namespace quor {
namespace gui {

STextObject::STextObject(const Rectangle& r, uint32_t bg, uint32_t fg, const char* t, uint32_t colour, int align)
    : SDrawObject(r, bg, fg), text(t ? t : ""), textColour(colour), alignment(align)
{
}

void STextObject::DrawText(context::SDrawing* d)
{
    d->SetTextColour(textColour, false);
    Rectangle r = rect;
    r.Offset(textOffset.x, textOffset.y);
    d->DrawLabel(text, r, alignment, Point(0, 0));
}

void STextObject::Draw(context::SDrawing* d)
{
    if (!d) return;
    SDrawObject::Draw(d);
    DrawText(d);
}

STextObjectX::STextObjectX(const Rectangle& r, uint32_t bg, uint32_t fg, const char* t, uint32_t colour, int align,
                           context::SDrawFont* f)
    : STextObject(r, bg, fg, t, colour, align), font(f)
{
}

void STextObjectX::Draw(context::SDrawing* d)
{
    if (!d) return;
    SDrawObject::Draw(d);
    d->SetFont(font);
    DrawText(d);
}

}  // namespace gui
}  // namespace quor
