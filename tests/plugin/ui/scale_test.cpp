// The editor enlarged by a whole factor, through the plug-in's boundary: the
// pictures of the panel, both dialogs and a tooltip at 2 and 3 against the
// ones at 1x, the same clicks, wheel steps and drags giving the same
// parameters, and the ways the factor is chosen.

#include "EditorFixture.h"  // first: gtest before Xlib

#include <X11/Xatom.h>

#include <cstdlib>
#include <map>
#include <string>

#include "ScaledPicture.h"

using bwtest::EditorTest;
using bwtest::Picture;
using bwtest::Rgb;

namespace {

class ScaleTest : public EditorTest {
protected:
    void SetUp() override
    {
        unsetenv("BLINKWATCHER_SCALE");
        unsetenv("GDK_SCALE");
        EditorTest::SetUp();
    }

    void TearDown() override
    {
        unsetenv("BLINKWATCHER_SCALE");
        unsetenv("GDK_SCALE");
        EditorTest::TearDown();
    }

    // The editor closed and opened again in a new host window of the size it
    // asks for, with BLINKWATCHER_SCALE = f.
    void OpenAt(int f)
    {
        if (open) Close();
        setenv("BLINKWATCHER_SCALE", std::to_string(f).c_str(), 1);
        factor = f;
        const ERect r = Rect();
        ASSERT_EQ(r.right - r.left, 100 * f);
        ASSERT_EQ(r.bottom - r.top, 75 * f);
        window = NewWindow(300, 300, 100 * f, 75 * f);
        Open(window);
        ASSERT_EQ(Rect().right, 100 * f) << "after opening";
        Away();
    }

    ERect Rect()
    {
        ERect* r = nullptr;
        host.Dispatch(effEditGetRect, 0, 0, &r);
        return r ? *r : ERect{0, 0, 0, 0};
    }

    // The pointer over nothing of ours.
    void Away() { bwtest::FakeMotion(test, 1, 1); }

    Picture Grab(Window w) { return bwtest::Grab(test, w); }

    // Waits for the window's picture to become `small` enlarged; the blocks
    // still differing after the wait.
    int Matches(Window w, const Picture& small)
    {
        int left = -1;
        WaitFor([&] { return (left = bwtest::BlocksDiffering(small, Grab(w), factor)) == 0; });
        return left;
    }

    // Positions in the editor's and the dialogs' own pixels.
    void ClickAtScaled(Window w, int x, int y) { ClickAt(w, x * factor, y * factor); }
    void MoveToScaled(Window w, int x, int y) { MoveTo(w, x * factor, y * factor); }
    Window OpenDialog(int lampX)
    {
        ClickAtScaled(current, lampX, lampY);
        Window dialog = WaitForTopLevel("SOptionsDialog");
        Away();
        return dialog;
    }
    void CloseDialog(Window dialog, bool ok, int height)
    {
        ClickAtScaled(dialog, ok ? 160 - 70 + 25 : 20 + 25, height - 30);
        WaitFor([&] { return TopLevel("SOptionsDialog") == 0; });
    }
    Window Tooltip() { return TopLevel("(Tooltip)", true); }

    int factor = 1;
};

TEST_F(ScaleTest, EveryPictureIsTheOneAtOneXEnlarged)
{
    std::map<std::string, Picture> reference;
    for (int f : {1, 2, 3}) {
        OpenAt(f);
        std::map<std::string, Picture> shown;
        auto check = [&](const std::string& what, Window w) {
            if (f == 1) {
                // Settled when two grabs 50 ms apart agree.
                Picture last;
                WaitFor([&] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    Picture now = Grab(w);
                    const bool same = !now.pixels.empty() && now.pixels == last.pixels;
                    last = now;
                    return same;
                });
                reference[what] = last;
                EXPECT_GT(last.width, 0) << what;
            } else {
                EXPECT_EQ(Matches(w, reference[what]), 0) << what << " at " << f;
            }
        };
        // Painted: the switch square and the logo (the host's window is black).
        ASSERT_TRUE(WaitFor([&] {
            return Pixel(current, 42 * f, 50 * f) == Rgb(0, 0, 0) && Pixel(current, 5 * f, 5 * f) == Rgb(0, 0, 255) &&
                   Pixel(current, 50 * f, 30 * f) != Rgb(0, 0, 0);
        })) << f << ": " << std::hex << Pixel(current, 42 * f, 50 * f) << " " << Pixel(current, 5 * f, 5 * f) << " "
            << Pixel(current, 50 * f, 30 * f);
        check("panel, lamps dark", current);
        ASSERT_TRUE(WaitFor([&] {
            Block(-20.0f, {{0x90, 60, 100}});
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            return Pixel(current, 42 * f, 50 * f) == Rgb(0, 255, 0) && Pixel(current, 60 * f, 50 * f) == Rgb(255, 128, 0);
        }));
        check("panel, lamps lit", current);
        ASSERT_TRUE(WaitFor([&] {
            Block(-70.0f);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            return Pixel(current, 42 * f, 50 * f) == Rgb(0, 0, 0);
        }));

        Window dialog = OpenDialog(audioLampX);
        ASSERT_NE(dialog, 0u) << f;
        check("audio dialog", dialog);
        CloseDialog(dialog, false, 100);
        dialog = OpenDialog(midiLampX);
        ASSERT_NE(dialog, 0u) << f;
        check("midi dialog", dialog);
        CloseDialog(dialog, false, 228);

        // Tooltips on, the audio lamp's shown, and off again for the next
        // round. The panel looks where the pointer is when it handles a click:
        // the switch must show the click taken before the pointer moves on.
        auto toggle = [&](unsigned long colour) {
            ClickAtScaled(current, 5, 5);
            ASSERT_TRUE(WaitFor([&] { return Pixel(current, 5 * f, 5 * f) == colour; })) << f;
        };
        toggle(Rgb(255, 0, 0));
        MoveToScaled(current, audioLampX, lampY);
        Window tip = 0;
        ASSERT_TRUE(WaitFor([&] { return (tip = Tooltip()) != 0; })) << f;
        check("tooltip", tip);
        // Gone before the click: it covers the switch.
        Away();
        ASSERT_TRUE(WaitFor([&] { return Tooltip() == 0; })) << f;
        toggle(Rgb(0, 0, 255));
        Away();
    }
}

TEST_F(ScaleTest, ClicksWheelStepsAndDragsWriteWhatTheyWriteAtOneX)
{
    // The parameters after the same gestures, in each factor's pixels.
    std::vector<std::vector<float>> written;
    for (int f : {1, 2, 3}) {
        OpenAt(f);
        SetParameter(0, 0.5f);
        for (int i = 1; i <= 7; ++i) SetParameter(i, 1.0f);
        std::vector<float> after;
        // Audio: two wheel steps up, a drag 14 pixels up by the pixel, OK.
        Window dialog = OpenDialog(audioLampX);
        ASSERT_NE(dialog, 0u) << f;
        const int dialX = 160 - 56 + 16, dialY = 20 + 14 + 8;
        MoveToScaled(dialog, dialX, dialY);
        for (int i = 0; i < 2; ++i) {
            Press(4, true);
            Press(4, false);
        }
        Press(1, true);
        // The dial keeps the pointer only if it is still over it when the
        // press is handled.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        for (int dy = 1; dy <= 14; ++dy) MoveToScaled(dialog, dialX, dialY - dy);
        Press(1, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        CloseDialog(dialog, true, 100);
        after.push_back(Parameter(0));
        // Three wheel steps down and Cancel: nothing written.
        dialog = OpenDialog(audioLampX);
        ASSERT_NE(dialog, 0u) << f;
        MoveToScaled(dialog, dialX, dialY);
        for (int i = 0; i < 3; ++i) {
            Press(5, true);
            Press(5, false);
        }
        CloseDialog(dialog, false, 100);
        after.push_back(Parameter(0));
        // MIDI: the second and fifth kinds unticked, OK.
        dialog = OpenDialog(midiLampX);
        ASSERT_NE(dialog, 0u) << f;
        for (int n : {2, 5}) ClickAtScaled(dialog, 160 - 56 + 6, 20 * n + 16 + 6);
        CloseDialog(dialog, true, 228);
        for (int i = 1; i <= 7; ++i) after.push_back(Parameter(i));
        written.push_back(after);
    }
    ASSERT_EQ(written[0].size(), 9u);
    EXPECT_NE(written[0][0], 0.5f) << "the gestures changed the threshold at 1x";
    EXPECT_EQ(written[0][3], 0.0f);
    EXPECT_EQ(written[1], written[0]) << "at 2";
    EXPECT_EQ(written[2], written[0]) << "at 3";
}

TEST_F(ScaleTest, TheFactorComesFromTheUsersSettings)
{
    struct Case {
        const char* own;
        const char* gdk;
        int width;
    };
    // Before an open, effEditGetRect answers at the factor an open would take
    // (every value is in the table of ScaleFactor's test).
    const Case cases[] = {{nullptr, nullptr, 100}, {"3", "2", 300}, {"7", "2", 200}, {nullptr, "9", 400}};
    Close();
    for (const Case& c : cases) {
        c.own ? setenv("BLINKWATCHER_SCALE", c.own, 1) : unsetenv("BLINKWATCHER_SCALE");
        c.gdk ? setenv("GDK_SCALE", c.gdk, 1) : unsetenv("GDK_SCALE");
        const ERect r = Rect();
        EXPECT_EQ(r.right - r.left, c.width) << (c.own ? c.own : "-") << " " << (c.gdk ? c.gdk : "-");
        EXPECT_EQ((r.bottom - r.top) * 4, c.width * 3);
    }
    // Opening reports a value out of range, once, and takes the next setting.
    setenv("BLINKWATCHER_SCALE", "5", 1);
    setenv("GDK_SCALE", "2", 1);
    window = NewWindow(300, 300, 200, 150);
    Open(window);
    EXPECT_EQ(Rect().right, 200);
    Close();
    Open(window);
    const std::string text = Stderr();
    const size_t line = text.find("BLINKWATCHER_SCALE=\"5\" ignored");
    EXPECT_NE(line, std::string::npos) << text;
    EXPECT_EQ(text.find("BLINKWATCHER_SCALE=\"5\"", line + 1), std::string::npos) << "once";
    Close();

    // Xft.dpi in the server's resource database, read when the plug-in's
    // connection opens: the plug-in loaded again after it is set.
    unsetenv("BLINKWATCHER_SCALE");
    unsetenv("GDK_SCALE");
    const Atom resources = XInternAtom(test, "RESOURCE_MANAGER", False);
    for (const auto& c : {std::make_pair("Xft.dpi:\t192\n", 200), std::make_pair("Xft.dpi: 1000\n", 400),
                          std::make_pair("Xft.antialias: 1\n", 100)}) {
        const std::string text = std::string("Xcursor.size: 24\n") + c.first;
        XChangeProperty(test, DefaultRootWindow(test), resources, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text.c_str()), static_cast<int>(text.size()));
        XSync(test, False);
        host.Close();
        ASSERT_TRUE(host.Load(BW_PLUGIN));
        effect = host.Effect();
        EXPECT_EQ(Rect().right, c.second) << c.first;
        // And the factor when the editor opens.
        window = NewWindow(300, 300, c.second, c.second * 3 / 4);
        Open(window);
        EXPECT_EQ(Rect().right, c.second) << c.first;
        Close();
    }
    XDeleteProperty(test, DefaultRootWindow(test), resources);
    XSync(test, False);
    host.Close();
    ASSERT_TRUE(host.Load(BW_PLUGIN));
    effect = host.Effect();
    EXPECT_EQ(Rect().right, 100) << "nothing set";
}

}  // namespace
