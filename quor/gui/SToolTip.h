#pragma once
// Tooltips: one small borderless control per window that pops up next to
// whichever of the window's controls the pointer entered, showing that
// control's text (its SToolTipData). Tooltips are switched on and off as a
// whole; the owner may paint a small square (the tip rectangle) in the
// indicator colour to show which.
//
// Colours given here are pixel values.

#include <cstdint>
#include <vector>

#include "quor/gui/SControl.h"
#include "quor/gui/SToolTipData.h"

namespace quor {
namespace gui {
namespace context {
class SDrawFont;
class SDrawing;
}  // namespace context

class SWindow;

class SToolTip : public SControl {
public:
    // A child of `parent` (it adds itself), on the root window, hidden. The
    // flag is not used.
    SToolTip(SWindow* parent, bool);
    ~SToolTip() override;

    // Closes itself when the pointer leaves it.
    void MouseStateChanged(bool* state, int kind) override;
    // The box (rounded or square), the content, and the marker pointing at
    // the control.
    void Draw(const Rectangle& r) override;

    // Shows `data` with the tip's top-left corner at `p` (root coordinates),
    // sized to the content. Null data is ignored.
    virtual void Open(SToolTipData* data, const Point& p);
    virtual void Close();
    // Makes `data` current and sizes the tip, without showing it; false for
    // null data.
    bool SetData(SToolTipData* data);

    // The controls whose tooltip flag EnableTooltips sets.
    void AddControl(SControl* control);
    void RemoveControl(SControl* control);
    // `data` goes away: closed and dropped if it is the content shown.
    void Forget(SToolTipData* data);

    // Every registered control gets the flag; the indicator turns red when
    // on, blue when off.
    void EnableTooltips(bool on);
    void ToggleTooltips() { EnableTooltips(!enabled); }
    // Fills the tip rectangle on `d` in the indicator colour.
    void DrawTiprect(context::SDrawing* d);

    // Appearance, read when a text is laid out (AddLabel) or drawn.
    void SetTipTextColour(uint32_t pixel) { textColour = pixel; }
    void SetTextAlignment(int align) { textAlignment = align; }
    void SetHighlightFirstLine(bool on) { highlightFirstLine = on; }
    void SetHighlightColour(uint32_t pixel) { highlightColour = pixel; }
    void SetMarkerColour(uint32_t pixel) { markerColour = pixel; }
    void SetRounded(bool on) { rounded = on; }
    void SetBoldSecondLine(bool on) { boldSecondLine = on; }
    void SetTipRect(const Rectangle& r) { tipRect = r; }
    void SetIndicatorColour(uint32_t pixel) { indicatorColour = pixel; }

    SToolTipData* Data() const { return data; }
    bool IsOpen() const { return open; }
    bool TooltipsEnabled() const { return enabled; }
    const std::vector<SControl*>& Controls() const { return controls; }
    context::SDrawFont* Font() const { return font; }
    context::SDrawFont* BoldFont() const { return boldFont; }
    uint32_t TextColour() const { return textColour; }
    int TextAlignment() const { return textAlignment; }
    bool HighlightFirstLine() const { return highlightFirstLine; }
    uint32_t HighlightColour() const { return highlightColour; }
    uint32_t MarkerColour() const { return markerColour; }
    bool Rounded() const { return rounded; }
    bool BoldSecondLine() const { return boldSecondLine; }
    const Rectangle& TipRect() const { return tipRect; }
    uint32_t IndicatorColour() const { return indicatorColour; }

    // Set while the placement had to move the tip to the opposite side.
    bool flipped = false;
    // How far (in the tip's pixels) the placement moved the tip along the
    // control's side to keep it on the monitor: the marker moves back by as
    // much, to point at the control still.
    int markerShift = 0;

private:
    void Fit(SToolTipData* d);
    void DrawMarker();

    [[maybe_unused]] SWindow* owner;  // the window it was made for; tips find their controls through their data
    SToolTipData* data = nullptr;
    context::SDrawFont* font = nullptr;
    context::SDrawFont* boldFont = nullptr;
    SToolTipData* pending = nullptr;
    bool open = false;
    uint32_t textColour;
    int textAlignment = 0;
    bool highlightFirstLine = true;
    uint32_t highlightColour;
    uint32_t markerColour;
    bool rounded = false;
    bool boldSecondLine = false;
    std::vector<SControl*> controls;
    Rectangle tipRect{1, 1, 10, 10};
    uint32_t indicatorColour;
    bool enabled = false;
};

}  // namespace gui
}  // namespace quor
