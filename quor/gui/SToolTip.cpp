#include "quor/gui/SToolTip.h"

#include <algorithm>

#include "plugin/SGlobals.h"
#include "plugin/SStaticData.h"
#include "quor/gui/SCOL.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/gui/SWindow.h"
#include "quor/gui/context/SDrawFont.h"
#include "quor/gui/context/SDrawing.h"

namespace quor {
namespace gui {

SToolTip::SToolTip(SWindow* parent_, bool)
    : owner(parent_), textColour(SCOL(0, 0, 0)), highlightColour(SCOL(255, 0, 0)), markerColour(SCOL(255, 128, 0)),
      indicatorColour(statdata.Colour(10))
{
    SToolkitHold hold;
    quor::data::datastring<32, char> tipName(64, "%s (Tooltip)", parent_ ? parent_->GetName().Text() : "");
    SGlobals* g = parent_ ? parent_->GetGlobals() : nullptr;
    unsigned number = g ? g->NextIdentifier() : 0;
    // A dialog on the root window: the tip may reach beyond its window.
    Create(g, parent_, number, tipName.Text(), 0x400100, 100, 100, 200, 32,
           parent_ ? static_cast<int>(parent_->GetWindow()) : 0, false);
    const uint32_t white = SCOL(255, 255, 255), black = SCOL(0, 0, 0);
    SetColours(white, white, white, black, black, white, white);
    font = new context::SDrawFont(10, false, false, false, nullptr);
    boldFont = new context::SDrawFont(10, true, false, false, nullptr);
    if (parent_) parent_->Add(this);
}

SToolTip::~SToolTip()
{
    SToolkitHold hold;
    destroying = true;
    // Controls that outlive the tip keep their texts but no longer point here.
    for (SControl* c : controls)
        if (SToolTipData* d = c->GetTooltipData())
            if (d->tooltip == this) d->tooltip = nullptr;
    controls.clear();
    data = nullptr;
    delete font;
    delete boldFont;
    font = boldFont = nullptr;
}

void SToolTip::Fit(SToolTipData* d)
{
    data = d;
    SetSize(std::max(1, d->bounds.Width() + 48), std::max(1, d->bounds.Height() + 16));
}

void SToolTip::Open(SToolTipData* d, const Point& p)
{
    if (!d) return;
    Close();
    Fit(d);
    if (rounded) {
        SetRoundShape(false);
        SetRoundShape(true);
    }
    SetPosition(p.x, p.y);
    Show();
    open = true;
    pending = nullptr;
}

bool SToolTip::SetData(SToolTipData* d)
{
    if (!d) return false;
    Fit(d);
    if (rounded) {
        SetRoundShape(false);
        SetRoundShape(true);
    }
    pending = nullptr;
    return true;
}

void SToolTip::Close()
{
    if (!open) return;
    Hide();
    open = false;
}

void SToolTip::MouseStateChanged(bool* state, int kind)
{
    SControl::MouseStateChanged(state, kind);
    if (kind == MS_LEFT || !state || !state[MS_INSIDE]) Close();
}

void SToolTip::AddControl(SControl* control)
{
    if (control && std::find(controls.begin(), controls.end(), control) == controls.end()) controls.push_back(control);
}

void SToolTip::RemoveControl(SControl* control)
{
    controls.erase(std::remove(controls.begin(), controls.end(), control), controls.end());
}

void SToolTip::Forget(SToolTipData* d)
{
    if (!d) return;
    if (data == d) {
        Close();
        data = nullptr;
    }
    if (pending == d) pending = nullptr;
    if (d->owner && d->owner->GetTooltipData() == d) RemoveControl(d->owner);
}

void SToolTip::EnableTooltips(bool on)
{
    enabled = on;
    for (SControl* c : controls) c->EnableTooltip(on);
    indicatorColour = statdata.Colour(on ? 4 : 10);
}

void SToolTip::DrawTiprect(context::SDrawing* d)
{
    if (!d) return;
    d->SetBrush(statdata.FindBrush(indicatorColour));
    d->FillRect(tipRect);
}

void SToolTip::Draw(const Rectangle&)
{
    if (!drawing) return;
    const Rectangle r(0, 0, Width(), Height());
    const uint32_t frame = statdata.Colour(20);
    if (rounded) {
        const uint32_t fill = drawing->GetBackgroundColour();
        drawing->SetPen(statdata.FindPen(fill));
        drawing->SetBrush(statdata.FindBrush(fill));
        drawing->FillRoundedRect(r, 7, 7);
        drawing->SetPen(statdata.FindPen(frame));
        drawing->DrawRoundedRect(r, 7, 7);
    } else {
        drawing->DrawBackground(r, false);
        drawing->SetPen(statdata.FindPen(frame));
        drawing->DrawRect(r);
    }
    if (!data) return;
    for (const auto& o : data->objects) o->Draw(drawing);
    DrawMarker();
}

// A small triangle on the edge that faces the control.
void SToolTip::DrawMarker()
{
    const int w = Width(), h = Height(), side = data->side;
    auto within = [](int v, int low, int high) { return v < low ? low : v > high ? high : v; };
    const bool across = side == TIP_ABOVE || side == TIP_BELOW;
    const int hx = within((w >> 1) - (across ? markerShift : 0), 5, w - 6);
    const int hy = within((h >> 1) - (across ? 0 : markerShift), 5, h - 6);
    Point p[4];
    auto triangle = [&p](Point tip, Point a, Point b) {
        p[0] = tip;
        p[1] = a;
        p[2] = b;
    };
    if ((side == TIP_ABOVE && !flipped) || (side == TIP_BELOW && flipped))
        triangle(Point(hx, h - 1), Point(hx + 3, h - 5), Point(hx - 3, h - 5));
    else if ((side == TIP_BELOW && !flipped) || (side == TIP_ABOVE && flipped))
        triangle(Point(hx, 1), Point(hx + 3, 5), Point(hx - 3, 5));
    else if ((side == TIP_RIGHT && !flipped) || (side == TIP_LEFT && flipped))
        triangle(Point(1, hy), Point(5, hy - 3), Point(5, hy + 3));
    else
        triangle(Point(w - 1, hy), Point(w - 5, hy - 3), Point(w - 5, hy + 3));
    p[3] = p[0];
    drawing->SetPen(statdata.FindPen(markerColour));
    drawing->SetBrush(statdata.FindBrush(markerColour));
    drawing->FillPoly(p, 4);
}

}  // namespace gui
}  // namespace quor
