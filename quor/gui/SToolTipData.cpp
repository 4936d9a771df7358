#include "quor/gui/SToolTipData.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "quor/gui/STextObject.h"
#include "quor/gui/SToolTip.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/gui/context/SDrawFont.h"

namespace quor {
namespace gui {


SToolTipData::SToolTipData(SToolTip* t, SControl* o, int s) : tooltip(t), owner(o), side(s) {}

SToolTipData::~SToolTipData()
{
    // A tip still showing this content would draw freed objects.
    SToolkitHold hold;
    if (tooltip) tooltip->Forget(this);
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

void SToolTipData::AddObject(SDrawObject* object)
{
    if (!object) return;
    objects.emplace_back(object);
    Calculate();
}

void SToolTipData::Calculate()
{
    // Nothing to enclose: no area, rather than the inverted start values.
    if (objects.empty()) {
        bounds = Rectangle();
        return;
    }
    Rectangle b(1000000, 1000000, -100000, -100000);
    for (const auto& o : objects) {
        b.left = std::min(b.left, o->rect.left);
        b.top = std::min(b.top, o->rect.top);
        b.right = std::max(b.right, o->rect.right);
        b.bottom = std::max(b.bottom, o->rect.bottom);
    }
    const int previousWidth = bounds.Width();
    bounds = b;
    if (b.Width() > previousWidth)
        for (const auto& o : objects) o->rect.right = o->rect.left + b.Width();
}

void SToolTipData::AddLabel(const char* text, unsigned)
{
    context::SDrawFont* font = tooltip ? tooltip->Font() : nullptr;
    if (!font) return;
    if (!text) text = "";
    lines.clear();
    lineRects.clear();
    if (!labelObjects.empty()) {
        objects.erase(std::remove_if(objects.begin(), objects.end(),
                                     [this](const std::unique_ptr<SDrawObject>& o) {
                                         return std::find(labelObjects.begin(), labelObjects.end(), o.get()) !=
                                                labelObjects.end();
                                     }),
                      objects.end());
        labelObjects.clear();
        bounds = Rectangle();
        Calculate();
    }

    const context::SDrawFont::Block e = font->TextBlock(text);
    const String whole(text);
    if (strchr(text, '\n'))
        whole.Tokenize(lines, "\n\t\r");
    else
        lines.push_back(whole);

    width = e.width + 48;
    height = e.height + 20;
    const int blockHeight = e.height + 4;
    int x = (width - e.width) / 2;
    const int y = (height - blockHeight - 4) / 2;
    if (side == TIP_RIGHT) x += 4;
    if (side == TIP_LEFT) x -= 4;
    const Rectangle block(x, y, x + e.width, y + blockHeight);

    // A text of nothing but separators has no line and so no band.
    const int n = static_cast<int>(lines.size());
    if (n == 0) return;
    const int step = blockHeight / n;
    for (int i = 0; i < n; ++i) {
        const int bottom = i == n - 1 ? block.bottom : y + (i + 1) * step;
        lineRects.push_back(Rectangle(block.left, y + i * step, block.right, bottom));
    }
    for (int i = 0; i < n; ++i) {
        uint32_t colour = tooltip->TextColour();
        context::SDrawFont* lineFont = font;
        if (i == 0 && tooltip->HighlightFirstLine()) colour = tooltip->HighlightColour();
        if (i == 1 && tooltip->BoldSecondLine()) lineFont = tooltip->BoldFont();
        auto* line = new STextObjectX(lineRects[static_cast<size_t>(i)], tooltip->GetBackgroundColour(),
                                      tooltip->GetForegroundColour(), lines[static_cast<size_t>(i)].Text(), colour,
                                      tooltip->TextAlignment(), lineFont);
        labelObjects.push_back(line);
        AddObject(line);
    }
}

}  // namespace gui
}  // namespace quor
