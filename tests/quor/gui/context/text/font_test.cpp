// Core fonts: the XLFD names built from size and style, the search among
// Helvetica sizes, and fonts that cannot be loaded.

#include <gtest/gtest.h>

#include <string>

#include "TextFixture.h"
#include "quor/gui/context/SDrawFont.h"

using quor::gui::context::SDrawFont;

namespace {

std::string First(int size, bool bold, bool italic, const char* family = nullptr)
{
    return SDrawFont::FirstName(size, bold, italic, family).Text();
}

bool ServerHas(Display* d, const std::string& pattern)
{
    int count = 0;
    char** names = XListFonts(d, pattern.c_str(), 1, &count);
    if (names) XFreeFontNames(names);
    return count > 0;
}

// Connection swapped out for the duration of a test: as if no X server
// answered at load.
class NoDisplay {
public:
    NoDisplay() : savedDp(dp), savedDps(dps) { dp = nullptr, dps = nullptr; }
    ~NoDisplay() { dp = savedDp, dps = savedDps; }

private:
    Display* savedDp;
    Display* savedDps;
};

}  // namespace

TEST(FontNames, PixelSizeAddsAQuarterRoundedDown)
{
    EXPECT_EQ(SDrawFont::PixelSize(7), 8);
    EXPECT_EQ(SDrawFont::PixelSize(8), 10);
    EXPECT_EQ(SDrawFont::PixelSize(10), 12);
    EXPECT_EQ(SDrawFont::PixelSize(12), 15);
    EXPECT_EQ(SDrawFont::PixelSize(4), 5);
    EXPECT_EQ(SDrawFont::PixelSize(3), 3);
    EXPECT_EQ(SDrawFont::PixelSize(-1), -2);  // toward minus infinity
    EXPECT_EQ(SDrawFont::PixelSize(-4), -5);
}

TEST(FontNames, EachStepBuildsItsName)
{
    // The toolkit's own sizes all land in the Helvetica step.
    EXPECT_EQ(First(10, true, false), "-adobe-helvetica-bold-r-*--12-*-*-*-*-*-iso8859-1");
    EXPECT_EQ(First(10, false, false), "-adobe-helvetica-medium-r-*--12-*-*-*-*-*-iso8859-1");
    EXPECT_EQ(First(8, false, true), "-adobe-helvetica-medium-o-*--10-*-*-*-*-*-iso8859-1");
    EXPECT_EQ(First(7, true, true), "-adobe-helvetica-bold-o-*--8-*-*-*-*-*-iso8859-1");
    // Below 8 pixels: misc fixed, style ignored.
    EXPECT_EQ(First(4, true, true), "-misc-fixed-medium-r-*--5-*-*-*-*-*-iso8859-1");
    EXPECT_EQ(First(6, false, false), "-misc-fixed-medium-r-*--7-*-*-*-*-*-iso8859-1");
    // 13 pixels and up: the search starts four sizes above, never italic.
    EXPECT_EQ(First(12, false, true), "-adobe-helvetica-medium-r-normal--19-*-*-*-*-*-iso8859-1");
    EXPECT_EQ(First(11, true, false), "-adobe-helvetica-bold-r-normal--17-*-*-*-*-*-iso8859-1");
    EXPECT_EQ(SDrawFont::SearchName(13, true), "-adobe-helvetica-bold-r-normal--13-*-*-*-*-*-iso8859-1");
    // A family is inserted unchanged, at any size.
    EXPECT_EQ(First(10, true, true, "adobe-courier"), "-adobe-courier-bold-i-normal--12-*-*-*-*-*-iso8859-1");
    EXPECT_EQ(First(2, false, false, "misc-fixed"), "-misc-fixed-medium-r-normal--2-*-*-*-*-*-iso8859-1");
    EXPECT_EQ(First(20, false, false, "b&h-lucida"), "-b&h-lucida-medium-r-normal--25-*-*-*-*-*-iso8859-1");
}

class Fonts : public bwtest::Canvas {};

TEST_F(Fonts, ToolkitFontsLoadWithTheirMetrics)
{
    for (int size : {7, 8, 10})
        for (bool bold : {false, true}) {
            SDrawFont f(size, bold, false, false, nullptr);
            EXPECT_EQ(f.Name(), First(size, bold, false).c_str());
            ASSERT_NE(f.Info(), nullptr) << f.Name().Text() << ": install xfonts-75dpi/100dpi";
            EXPECT_NE(f.Id(), 0u);
            EXPECT_EQ(f.Size(), size);
            EXPECT_EQ(f.Bold(), bold);
            EXPECT_GT(f.Ascent(), 0);
            EXPECT_GE(f.Descent(), 0);
            EXPECT_EQ(f.GetDisplay(), display);
            // The font's line height is near its pixel size.
            EXPECT_NEAR(f.Ascent() + f.Descent(), SDrawFont::PixelSize(size), 4) << f.Name().Text();
            EXPECT_EQ(f.TextWidth("Audio"), XTextWidth(f.Info(), "Audio", 5));
            EXPECT_EQ(f.TextWidth(""), 0);
            EXPECT_EQ(f.TextWidth(nullptr), 0);
        }
    SDrawFont bold(10, true, false, false, nullptr), plain(10, false, false, false, nullptr);
    EXPECT_GT(bold.TextWidth("Blinkwatcher"), plain.TextWidth("Blinkwatcher"));
}

TEST_F(Fonts, LargeSizesTakeTheFirstServerSizeCountingDown)
{
    for (int size : {11, 12, 16, 20})
        for (bool bold : {false, true}) {
            SDrawFont f(size, bold, false, false, nullptr);
            ASSERT_NE(f.Info(), nullptr);
            std::string expected = "-adobe-helvetica-bold-r-normal--34-*-*-*-*-*-iso8859-1";
            for (int s = SDrawFont::PixelSize(size) + 4; s >= 13; --s)
                if (ServerHas(display, SDrawFont::SearchName(s, bold).Text())) {
                    expected = SDrawFont::SearchName(s, bold).Text();
                    break;
                }
            EXPECT_EQ(std::string(f.Name().Text()), expected) << size;
        }
}

TEST_F(Fonts, MissingFontLeavesNoInfoAndRaisesNoError)
{
    SDrawFont f(10, true, false, false, "bw-no-such-foundry-nofamily");
    EXPECT_EQ(f.Info(), nullptr);
    EXPECT_EQ(f.Id(), 0u);
    EXPECT_EQ(f.Ascent(), 0);
    EXPECT_EQ(f.TextWidth("Audio"), 0);
    EXPECT_EQ(f.Name(), "-bw-no-such-foundry-nofamily-bold-r-normal--12-*-*-*-*-*-iso8859-1");
    // Fixture's TearDown checks that the server reported no error.
}

TEST_F(Fonts, ReleaseFreesTheFontEarly)
{
    SDrawFont f(10, false, false, false, nullptr);
    ASSERT_NE(f.Info(), nullptr);
    f.Release();
    EXPECT_EQ(f.Info(), nullptr);
    EXPECT_EQ(f.Id(), 0u);
    EXPECT_EQ(f.GetDisplay(), nullptr);
    f.Release();  // twice is harmless; so is the destructor afterwards
}

TEST(FontsWithoutDisplay, NameIsBuiltButNothingIsLoaded)
{
    NoDisplay none;
    SDrawFont f(10, true, false, false, nullptr);
    EXPECT_EQ(f.Name(), "-adobe-helvetica-bold-r-*--12-*-*-*-*-*-iso8859-1");
    EXPECT_EQ(f.Info(), nullptr);
    EXPECT_EQ(f.Id(), 0u);
    SDrawFont large(14, false, false, false, nullptr);
    EXPECT_EQ(large.Info(), nullptr);
    // Text operations with such a font, and on a surface without display, do
    // nothing.
    quor::gui::context::SDrawing drawing;
    drawing.SetFont(&f);
    drawing.DrawText("Audio", 1, 1);
    drawing.DrawLabel("Audio", quor::gui::context::SDrawing::Rectangle(0, 0, 20, 20), 0,
                      quor::gui::context::SDrawing::Point(0, 0));
    drawing.DrawRotatedText("Audio", quor::gui::context::SDrawing::Rectangle(0, 0, 20, 20), 90, 0,
                            quor::gui::context::SDrawing::Point(0, 0));
    drawing.DrawVerticalLabel("Audio", quor::gui::context::SDrawing::Rectangle(0, 0, 20, 20), 8, 0,
                              quor::gui::context::SDrawing::Point(0, 0), false, false, nullptr);
    drawing.SetTextColour(5, false);
    EXPECT_EQ(drawing.GetTextColour(false), 5);
    int w = -1, h = -1;
    quor::gui::context::SDrawing::GetTextDimensions("Audio", &w, &h, &f);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
}

TEST_F(Fonts, FreedOnTheirOwnConnectionAndNeverOnOneLetGo)
{
    // A second connection stands in for the host's display, in a process
    // whose own connection could not be opened.
    Display* host = XOpenDisplay(DisplayString(display));
    ASSERT_NE(host, nullptr);
    Display* saved = dp;
    Display* savedOwn = dps;
    dp = host;
    dps = nullptr;
    SDrawFont* held = new SDrawFont(10, false, false, false, nullptr);
    SDrawFont* dropped = new SDrawFont(10, true, false, false, nullptr);
    ASSERT_NE(held->Info(), nullptr);
    ASSERT_NE(dropped->Info(), nullptr);
    EXPECT_EQ(held->GetDisplay(), host);

    // While the connection is held, the font goes back through it.
    unsigned long before = NextRequest(host);
    const unsigned long ownBefore = NextRequest(display);
    delete held;
    EXPECT_GT(NextRequest(host), before);
    EXPECT_EQ(NextRequest(display), ownBefore);

    // Once let go of (the host may have closed it), no request goes to it.
    XFontStruct* info = dropped->Info();
    quor::gui::context::ForgetHostDisplay();
    before = NextRequest(host);
    delete dropped;
    EXPECT_EQ(NextRequest(host), before);
    XFreeFont(host, info);  // what closing that connection would have done
    XCloseDisplay(host);
    dp = saved;
    dps = savedOwn;
}
