// The image label: the whole image copied from its XPM data, pixel for
// pixel, a second image replacing the first (whose pixmap is freed), and
// clicks reported with their button, twice for a double click.

#include "quor/gui/GuiFixture.h"  // first: gtest before Xlib

#include <cstdio>
#include <map>
#include <string>

#include "plugin/ui/SImageLabel.h"
#include "plugin/ui/images/images.h"
#include "quor/gui/ProbeControl.h"
#include "quor/gui/context/SDrawBitmap.h"

using namespace quor::gui;
using bwtest::Locked;
using bwtest::Probe;

namespace {

// The colour of each pixel of an XPM image, read from its own text.
class XpmPicture {
public:
    explicit XpmPicture(const char* const* lines)
    {
        int colours = 0;
        sscanf(lines[0], "%d %d %d %d", &width, &height, &colours, &perPixel);
        for (int i = 1; i <= colours; ++i) {
            const std::string line = lines[i];
            const std::string key = line.substr(0, static_cast<size_t>(perPixel));
            const size_t hash = line.find("c #");
            rgb[key] = std::stoul(line.substr(hash + 3, 6), nullptr, 16);
        }
        rows = lines + 1 + colours;
    }
    unsigned long At(int x, int y) const
    {
        return rgb.at(std::string(rows[y] + x * perPixel, static_cast<size_t>(perPixel)));
    }

    int width = 0, height = 0, perPixel = 0;

private:
    std::map<std::string, unsigned long> rgb;
    const char* const* rows = nullptr;
};

const char* const checker[] = {
    "4 2 2 1",
    "r c #FF0000",
    "b c #0000FF",
    "rbrb",
    "brbr",
};

class ImageLabel : public bwtest::GuiTest {
protected:
    void SetUp() override
    {
        bwtest::GuiTest::SetUp();
        listener = bwtest::MakeOwned<Probe>(&globals, nullptr, 99, 0, 0, 0, 1, 1, 0);
        label = bwtest::MakeOwned<SImageLabel>(&globals, nullptr, 1, "(Bkwr) Label: Title", 0, 110, 110, 80, 25, 0);
        Locked([&] { label->AddEventListener(listener.get(), EVENT_CONTROL); });
    }
    void TearDown() override
    {
        label.reset();
        listener.reset();
        bwtest::GuiTest::TearDown();
    }

    std::vector<int> Params()
    {
        return Locked([&] {
            std::vector<int> params;
            for (const SEvent& e : listener->events) {
                EXPECT_EQ(e.sender, label.get());
                EXPECT_EQ(e.dataType, EVENT_DATA_PARAM);
                params.push_back(e.param);
            }
            return params;
        });
    }

    // Whether the server still has the pixmap, once the toolkit's requests
    // so far have reached it.
    bool PixmapExists(Pixmap p)
    {
        Settle();
        Window r;
        int x, y;
        unsigned w, h, border, depth;
        SXErrorTrap::Probe probe(test);
        Status ok = XGetGeometry(test, p, &r, &x, &y, &w, &h, &border, &depth);
        return ok && !probe.Failed();
    }

    bwtest::Owned<Probe> listener;
    bwtest::Owned<SImageLabel> label;
};

TEST_F(ImageLabel, NeverLoadedItDrawsNothingAndReportsEachPressADoubleClickTwice)
{
    Backdrop(100, 100, 100, 45, Rgb(0, 255, 0));
    Locked([&] { label->Show(); });
    Settle();
    // What lay behind shows through: nothing was painted.
    EXPECT_EQ(PixelAt(label.get(), 0, 0), Rgb(0, 255, 0));
    EXPECT_EQ(PixelAt(label.get(), 79, 24), Rgb(0, 255, 0));
    MoveTo(label.get(), 40, 12);
    for (unsigned button : {2u, 1u, 3u}) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));  // apart from the pair before
        for (int i = 0; i < 2; ++i) {
            Button(button, true);
            Button(button, false);
        }
        Settle();
    }
    EXPECT_EQ(Params(), (std::vector<int>{2, 2, 1, 1, 3, 3}));
}

TEST_F(ImageLabel, TheImageIsCopiedWholeAndASecondOneReplacesAndFreesIt)
{
    const XpmPicture logo(quor::images::text_logo);
    ASSERT_EQ(logo.width * 1000 + logo.height, 80025);
    Locked([&] {
        label->LoadBackground(quor::images::text_logo, 80, 25);
        label->Show();
    });
    ASSERT_TRUE(WaitFor([&] { return PixelAt(label.get(), 79, 24) == logo.At(79, 24); }));
    const Point at = OnScreen(label.get(), 0, 0);
    XImage* shown = XGetImage(test, root, at.x, at.y, 80, 25, AllPlanes, ZPixmap);
    ASSERT_NE(shown, nullptr);
    int wrong = 0;
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 80; ++x) wrong += XGetPixel(shown, x, y) != logo.At(x, y);
    XDestroyImage(shown);
    EXPECT_EQ(wrong, 0);

    const Pixmap first = Locked([&] { return label->Bitmap()->GetPixmap(); });
    EXPECT_TRUE(PixmapExists(first));
    Locked([&] { label->LoadBackground(checker, 4, 2); });
    EXPECT_FALSE(PixmapExists(first));
    const Pixmap second = Locked([&] { return label->Bitmap()->GetPixmap(); });
    EXPECT_TRUE(PixmapExists(second));
    // Asked for a corner, it repaints the whole image.
    Locked([&] { label->RefreshRectangle(Rectangle(70, 20, 80, 25)); });
    EXPECT_TRUE(WaitFor([&] {
        return PixelAt(label.get(), 0, 0) == Rgb(255, 0, 0) && PixelAt(label.get(), 1, 0) == Rgb(0, 0, 255) &&
               PixelAt(label.get(), 0, 1) == Rgb(0, 0, 255);
    }));
    // Data that is not an image leaves no image: nothing drawn, no X error.
    const char* const broken[] = {"not an image"};
    Locked([&] {
        label->LoadBackground(broken, 4, 2);
        label->Refresh();
    });
    EXPECT_FALSE(PixmapExists(second));
    EXPECT_EQ(Locked([&] { return label->Bitmap()->GetPixmap(); }), 0u);
    Locked([&] { label->LoadBackground(nullptr, 80, 25); });  // no data, no image
    EXPECT_EQ(Locked([&] { return label->Bitmap(); }), nullptr);
}

}  // namespace
