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

namespace {

struct Extent {
    int width = 0;
    int height = 0;
};

// A text without line feed is one line, however empty. With line feeds each
// piece between them adds a line's height; an empty piece counts the height
// of the last measured one, or of a "W" before any.
Extent Measure(const char* text, context::SDrawFont* font)
{
    Extent e;
    if (!*text) return e;
    const int lineHeight = font->Ascent() + font->Descent();
    if (!strchr(text, '\n')) {
        e.width = font->TextWidth(text);
        e.height = lineHeight;
        return e;
    }
    int last = -1;
    for (const char* piece = text;;) {
        const char* end = strchr(piece, '\n');
        size_t length = end ? static_cast<size_t>(end - piece) : strlen(piece);
        if (length > 0) {
            e.width = std::max(e.width, font->TextWidth(std::string(piece, length).c_str()));
            e.height += lineHeight;
            last = lineHeight;
        } else {
            e.height += last >= 0 ? last : lineHeight;
        }
        if (!end) break;
        piece = end + 1;
    }
    return e;
}

}  // namespace

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

    const Extent e = Measure(text, font);
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
