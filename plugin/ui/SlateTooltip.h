#pragma once
// The look the panel and its option dialogs share: slate behind white text,
// the first line highlighted, the second bold, rounded with a marker.

#include "plugin/SStaticData.h"
#include "quor/gui/SToolTip.h"

inline quor::gui::SToolTip* MakeSlateTooltip(quor::gui::SWindow* owner)
{
    const uint32_t slate = statdata.Colour(24), white = statdata.Colour(0);
    quor::gui::SToolTip* tooltip = new quor::gui::SToolTip(owner, true);
    tooltip->SetColours(slate, slate, slate, white, white, white, white);
    tooltip->SetTipTextColour(white);
    tooltip->SetHighlightFirstLine(true);
    tooltip->SetHighlightColour(statdata.Colour(2));
    tooltip->SetMarkerColour(statdata.Colour(4));
    tooltip->SetRounded(true);
    tooltip->SetBoldSecondLine(true);
    return tooltip;
}
