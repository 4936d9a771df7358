// The factor from the user's settings, in the order they count, with the
// values that must be passed over.

#include <gtest/gtest.h>

#include "quor/gui/SScaleFactor.h"

namespace {

using quor::gui::ScaleFromSettings;

TEST(ScaleFactor, TheFirstUsableSettingWinsAndBadValuesArePassedOver)
{
    const struct {
        const char *own, *gdk, *resources;
        int factor;
        bool rejected;
    } cases[] = {
        {nullptr, nullptr, nullptr, 1, false},
        {"", "", "", 1, false},
        {"1", "3", "Xft.dpi: 288", 1, false},
        {" 4 ", nullptr, nullptr, 4, false},
        {"5", "2", nullptr, 2, true},
        {"0", nullptr, "Xft.dpi: 192", 2, true},
        {"-2", nullptr, nullptr, 1, true},
        {"2x", nullptr, nullptr, 1, true},
        {"1.5", "3", nullptr, 3, true},
        {"99999999999999999999", "2", nullptr, 2, true},
        {nullptr, "2", "Xft.dpi: 288", 2, false},
        {nullptr, "7", nullptr, 4, false},
        {nullptr, "0", "Xft.dpi: 192", 2, false},
        {nullptr, "2.0", "Xft.dpi: 288", 3, false},
        {nullptr, "two", nullptr, 1, false},
        {nullptr, nullptr, "Xft.dpi:\t96\n", 1, false},
        {nullptr, nullptr, "Xft.dpi: 143.9", 1, false},
        {nullptr, nullptr, "Xft.dpi: 144", 2, false},
        {nullptr, nullptr, "*.background: grey\nXft.antialias: 1\nXft.dpi: 192\nXft.hinting: 1", 2, false},
        {nullptr, nullptr, "Xft.dpi: 960", 4, false},
        {nullptr, nullptr, "Xft.dpi: 20", 1, false},
        {nullptr, nullptr, "Xft.dpi: 0", 1, false},
        {nullptr, nullptr, "Xft.dpi: nan", 1, false},
        {nullptr, nullptr, "Xft.dpi: inf", 1, false},
        {nullptr, nullptr, "Xft.dpi:", 1, false},
        {nullptr, nullptr, "Xft.dpi 192", 1, false},
        {nullptr, nullptr, "Xft.dpix: 192", 1, false},
    };
    for (const auto& c : cases) {
        const auto choice = ScaleFromSettings(c.own, c.gdk, c.resources);
        EXPECT_EQ(choice.factor, c.factor) << (c.own ? c.own : "-") << " | " << (c.gdk ? c.gdk : "-") << " | "
                                           << (c.resources ? c.resources : "-");
        EXPECT_EQ(choice.ownRejected, c.rejected) << (c.own ? c.own : "-");
    }
}

}  // namespace
