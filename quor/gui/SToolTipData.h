#pragma once
// What one control's tooltip shows: its text laid out in bands, one drawable
// object per line, and on which side of the control the tip opens.

#include <memory>
#include <vector>

#include "quor/data/datastring.h"
#include "quor/gui/SDrawObject.h"
#include "quor/gui/SGeometry.h"

namespace quor {
namespace gui {

class SControl;
class SToolTip;

// Sides of the control.
enum : int { TIP_ABOVE = 0, TIP_RIGHT = 1, TIP_BELOW = 2, TIP_LEFT = 3 };

class SToolTipData {
public:
    typedef quor::data::datastring<32, char> String;

    SToolTipData(SToolTip* tooltip, SControl* owner, int side);
    virtual ~SToolTipData();
    SToolTipData(const SToolTipData&) = delete;
    SToolTipData& operator=(const SToolTipData&) = delete;

    // Closes its tooltip, if any.
    void Close();
    // The flipped offset while the tooltip had to flip, else the offset.
    Point GetOffset() const;
    void SetOffset(const Point& p, bool);
    // Takes the object over and grows the bounds around it.
    void AddObject(SDrawObject* object);
    // Lays the text out in the tooltip's font, one band per line, replacing
    // the text laid out before. Nothing without a tooltip or its font.
    void AddLabel(const char* text, unsigned flags);
    void AddLabel(const String& text, unsigned flags) { AddLabel(text.Text(), flags); }
    // The bounds: the union of the objects' rectangles.
    void Calculate();

    SToolTip* tooltip;
    SControl* owner;
    std::vector<std::unique_ptr<SDrawObject>> objects;
    Rectangle bounds;
    Point offset;
    Point flippedOffset;
    std::vector<String> lines;
    std::vector<Rectangle> lineRects;
    int side;
    int width = 16;
    int height = 16;

private:
    // The objects AddLabel made, so that a new text replaces them.
    std::vector<SDrawObject*> labelObjects;
};

}  // namespace gui
}  // namespace quor
