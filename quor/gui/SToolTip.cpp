#include "quor/gui/SToolTip.h"

#include <algorithm>

#include "plugin/SGlobals.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/gui/SWindow.h"

namespace quor {
namespace gui {

SToolTipData::SToolTipData(SToolTip* t, SControl* o, int s) : tooltip(t), owner(o), side(s) {}

SToolTipData::~SToolTipData()
{
    // A tip still showing this content would draw freed data.
    if (tooltip && tooltip->Data() == this) tooltip->Close();
}

void SToolTipData::Close()
{
    if (tooltip) tooltip->Close();
}

Point SToolTipData::GetOffset() const { return tooltip && tooltip->flipped ? flippedOffset : offset; }

void SToolTipData::SetOffset(const Point& p, bool)
{
    if (tooltip && tooltip->flipped)
        flippedOffset = p;
    else
        offset = p;
}

void SToolTipData::AddLabel(const char* text, unsigned)
{
    lines.clear();
    quor::data::datastring<32, char>(text ? text : "").Tokenize(lines, "\n\t\r");
}

SToolTip::SToolTip(SWindow* parent, bool)
{
    quor::data::datastring<32, char> tipName(64, "%s (Tooltip)", parent ? parent->GetName().Text() : "");
    SGlobals* g = parent ? parent->GetGlobals() : nullptr;
    unsigned number = g ? g->NextIdentifier() : 0;
    Create(g, parent, number, tipName.Text(), 0x400100, 100, 100, 200, 32,
           parent ? static_cast<int>(parent->GetWindow()) : 0, false);
    if (parent) parent->Add(this);
}

SToolTip::~SToolTip()
{
    SToolkitHold hold;
    destroying = true;
    for (SControl* c : controls)
        if (c->GetTooltipData()) c->GetTooltipData()->tooltip = nullptr;
}

void SToolTip::Open(SToolTipData* d, const Point& p)
{
    if (!d) return;
    Close();
    data = d;
    SetSize(std::max(1, d->bounds.Width() + 48), std::max(1, d->bounds.Height() + 16));
    SetPosition(p.x, p.y);
    Show();
    open = true;
}

bool SToolTip::SetData(SToolTipData* d)
{
    if (!d) return false;
    data = d;
    SetSize(std::max(1, d->bounds.Width() + 48), std::max(1, d->bounds.Height() + 16));
    return true;
}

void SToolTip::Close()
{
    if (!open) return;
    Hide();
    open = false;
}

void SToolTip::AddControl(SControl* control)
{
    if (control && std::find(controls.begin(), controls.end(), control) == controls.end()) controls.push_back(control);
}

void SToolTip::EnableTooltips(bool on)
{
    enabled = on;
    for (SControl* c : controls) c->EnableTooltip(on);
}

}  // namespace gui
}  // namespace quor
