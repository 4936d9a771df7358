#include "quor/gui/SLabel.h"

#include <X11/Xlib.h>

#include <cstring>
#include <string>

#include "plugin/SStaticData.h"
#include "quor/gui/context/SDrawFont.h"
#include "quor/gui/context/SDrawing.h"

namespace quor {
namespace gui {


template <bool U>
SLabel<U>::SLabel(SGlobals* g, SControl* p, unsigned i, const char* n, int s, int x, int y, int w, int h, int pw,
                  bool flag)
    : SWindow(g, p, i, n, s, x, y, w, h, pw, flag)
{
}

template <bool U>
SLabel<U>::~SLabel()
{
    destroying = true;
}

template <bool U>
void SLabel<U>::SetLabel(const char* t, context::SDrawFont* f, int a)
{
    font = f;
    align = a;
    SetLabel(t);
}

template <bool U>
void SLabel<U>::SetLabel(const char* t)
{
    if (!font) return;
    text = t ? t : "";
    lines.clear();
    lineRects.clear();
    if (!strchr(text.Text(), '\n')) {
        lines.push_back(text);
        lineRects.push_back(Rectangle(0, 0, Width(), Height()));
        return;
    }
    const context::SDrawFont::Block e = font->TextBlock(text.Text());
    textWidth = e.width;
    textHeight = e.height;
    text.Tokenize(lines, "\n\t\r");
    PlaceLines();
}

template <bool U>
void SLabel<U>::PlaceLines()
{
    lineRects.clear();
    const int W = Width(), H = Height();
    int x, y;
    if (align & ALIGN_RIGHT) {
        x = W - textWidth;
        y = H - textHeight;
    } else if (align & ALIGN_LEFT) {
        x = 0;
        y = 0;
    } else {
        x = (W - textWidth) >> 1;
        y = (H - textHeight) >> 1;
    }
    if (align & ALIGN_TOP)
        y = 0;
    else if (!(align & ALIGN_BOTTOM))
        y = (H - textHeight) >> 1;
    const Rectangle block(x, y, x + textWidth, y + textHeight);
    // A text of nothing but separators has no line, and no band to cut.
    const int n = static_cast<int>(lines.size());
    if (n == 0) return;
    const int step = textHeight / n;
    for (int i = 0; i < n; ++i) {
        int bottom = i == n - 1 ? block.bottom : y + (i + 1) * step;
        lineRects.push_back(Rectangle(block.left, y + i * step, block.right, bottom));
    }
}

template <bool U>
void SLabel<U>::RedrawLabel()
{
    if (!font || lines.empty()) return;
    if (!strchr(text.Text(), '\n')) {
        lineRects.assign(1, Rectangle(0, 0, Width(), Height()));
        return;
    }
    PlaceLines();
}

template <bool U>
void SLabel<U>::SetSize(int w, int h)
{
    SControl::SetSize(w, h);
    RedrawLabel();
}

template <bool U>
void SLabel<U>::SetLabelColours(int enabled, int disabled)
{
    labelColour = enabled;
    labelColourDisabled = disabled;
}

template <bool U>
int SLabel<U>::GetLabelColour()
{
    return Enabled() ? labelColour : labelColourDisabled;
}

template <bool U>
void SLabel<U>::Highlight(bool on, int colour, int, int)
{
    highlightColour = colour;
    if (on == highlighted) return;
    highlighted = on;
    RefreshOutlines();
}

template <bool U>
void SLabel<U>::MouseStateChanged(bool*, int code)
{
    int button = 0;
    if (code == MS_LBUTTON || code == MS_LDOUBLE) button = 1;
    if (code == MS_RBUTTON || code == MS_RDOUBLE) button = 3;
    if (code == MS_MBUTTON || code == MS_MDOUBLE) button = 2;
    if (button) SendEvent(EVENT_CONTROL, EVENT_DATA_PARAM, button, 0.0f, nullptr, this, nullptr);
}

template <bool U>
void SLabel<U>::Draw(const Rectangle&)
{
    if (!drawing) return;
    const Rectangle r(0, 0, Width(), Height());
    if (!(style & SCS_ROUNDED)) {
        SControl::Draw(r);
        DrawLabel();
        return;
    }
    drawing->DrawBackground(r, true);
    uint32_t fill = drawing->GetBackgroundColour();
    drawing->SetPen(statdata.FindPen(fill));
    drawing->SetBrush(statdata.FindBrush(fill));
    drawing->FillRoundedRect(r, rounding, rounding);
    DrawLabel();
    DrawOutlines(r);
}

template <bool U>
void SLabel<U>::DrawLines(const Rectangle* whole, const char* only)
{
    if (only) {
        if (vertical)
            drawing->DrawVerticalLabel(only, *whole, 8, align, offset, false, false, nullptr);
        else
            drawing->DrawLabel(only, *whole, align, offset);
        return;
    }
    for (size_t i = 0; i < lines.size() && i < lineRects.size(); ++i) {
        if (vertical)
            drawing->DrawVerticalLabel(lines[i], lineRects[i], 8, align, offset, false, false, nullptr);
        else
            drawing->DrawLabel(lines[i], lineRects[i], align, offset);
    }
}

template <bool U>
void SLabel<U>::DrawLabel()
{
    if (!drawing || !font || lines.empty()) return;
    drawing->SetFont(font);
    uint32_t colour = statdata.Colour(GetLabelColour());
    drawing->SetTextColour(colour, false);
    drawing->SetPen(statdata.FindPen(colour));
    DrawLines(nullptr, nullptr);
}

template <bool U>
void SLabel<U>::Outline(const Rectangle& r, uint32_t pixel)
{
    drawing->SetPen(statdata.FindPen(pixel));
    if (style & SCS_ROUNDED)
        drawing->DrawRoundedRect(r, rounding, rounding);
    else
        drawing->DrawRect(r);
}

template <bool U>
void SLabel<U>::DrawOutlines(const Rectangle& r)
{
    if (!drawing) return;
    if (highlighted)
        Outline(r, statdata.Colour(highlightColour));
    else if (style & SCS_OUTLINE)
        Outline(r, drawing->GetFrameColour(Enabled(), false));
}

template class SLabel<false>;

}  // namespace gui
}  // namespace quor
