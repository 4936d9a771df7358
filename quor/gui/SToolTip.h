#pragma once
// Tooltips: one small borderless child control per window that pops up next
// to whichever of the window's controls the pointer entered, showing that
// control's text.
//
// This is the part the control base calls into (opening, closing, placement
// data, the flip flag, the registered controls); text layout in bands and the
// drawing of the tip are still to come.

#include <vector>

#include "quor/data/datastring.h"
#include "quor/gui/SControl.h"

namespace quor {
namespace gui {

class SWindow;
class SToolTip;

class SToolTipData {
public:
    SToolTipData(SToolTip* tooltip, SControl* owner, int side);
    virtual ~SToolTipData();
    SToolTipData(const SToolTipData&) = delete;
    SToolTipData& operator=(const SToolTipData&) = delete;

    // Closes its tooltip, if any.
    void Close();
    // The flipped offset while the tooltip had to flip, else the offset.
    Point GetOffset() const;
    void SetOffset(const Point& p, bool);
    // Lays the text out as the tip's content.
    void AddLabel(const char* text, unsigned flags);

    SToolTip* tooltip;
    SControl* owner;
    Rectangle bounds;
    Point offset;
    Point flippedOffset;
    std::vector<quor::data::datastring<32, char>> lines;
    int side;
    int width = 16;
    int height = 16;
};

class SToolTip : public SControl {
public:
    SToolTip(SWindow* parent, bool);
    ~SToolTip() override;

    virtual void Open(SToolTipData* data, const Point& p);
    virtual void Close();
    bool SetData(SToolTipData* data);
    void AddControl(SControl* control);
    void EnableTooltips(bool on);
    void ToggleTooltips() { EnableTooltips(!enabled); }

    SToolTipData* Data() const { return data; }
    bool IsOpen() const { return open; }
    bool TooltipsEnabled() const { return enabled; }
    const std::vector<SControl*>& Controls() const { return controls; }

    bool flipped = false;

private:
    SToolTipData* data = nullptr;
    bool open = false;
    bool enabled = false;
    std::vector<SControl*> controls;
};

}  // namespace gui
}  // namespace quor
