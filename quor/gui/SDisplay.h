#pragma once
// Monitor layout. For now only the screen of the current display is known;
// the Xinerama and work-area rules arrive with the cursor and display work.

#include <vector>

namespace quor {
namespace gui {

struct SMonitorRect {
    int left, top, right, bottom;  // right and bottom exclusive
};

class SDisplay {
public:
    SDisplay() = default;
    virtual ~SDisplay() = default;

    // Fills the monitor rectangles from the current display; false (and no X
    // call) when there is no display.
    bool AllMonitorRects();

    const std::vector<SMonitorRect>& Monitors() const { return monitors; }

private:
    std::vector<SMonitorRect> monitors;
};

}  // namespace gui
}  // namespace quor
