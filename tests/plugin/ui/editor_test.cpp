// The editor through the plug-in's boundary: lamps that follow the audio and
// MIDI processed, the options dialogs writing the parameters, the logo and
// the tooltip switch, and opening, closing and opening again.

#include "EditorFixture.h"  // first: gtest before Xlib

#include <algorithm>
#include <cstring>
#include <utility>

using bwtest::EditorTest;
using bwtest::Rgb;

namespace {

const unsigned long black = Rgb(0, 0, 0), green = Rgb(0, 255, 0), orange = Rgb(255, 128, 0);

TEST_F(EditorTest, LampsFollowTheBlocksProcessed)
{
    // As a host plays: a block every 2 ms until the lamp shows it.
    auto playUntil = [&](float dB, unsigned long colour) {
        return WaitFor([&] {
            Block(dB);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            return Lamp(audioLampX) == colour;
        });
    };
    ASSERT_TRUE(playUntil(-70.0f, black));
    std::vector<double> latencies;
    for (int round = 0; round < 10; ++round) {
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(playUntil(-20.0f, green));  // the threshold is -50 dB
        latencies.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        ASSERT_TRUE(playUntil(-70.0f, black));
    }
    std::sort(latencies.begin(), latencies.end());
    fprintf(stdout, "first loud block to lit lamp: median %.1f ms, worst %.1f ms\n", latencies[latencies.size() / 2],
            latencies.back());

    Block(-200.0f, {{0x90, 60, 100}});
    EXPECT_TRUE(WaitFor([&] { return Lamp(midiLampX) == orange; }));
    Block(-200.0f);
    EXPECT_TRUE(WaitFor([&] { return Lamp(midiLampX) == black; }));
    // Note on no longer monitored: a note on alone leaves the lamp dark,
    // a control change still lights it.
    SetParameter(1, 0.0f);
    for (int i = 0; i < 5; ++i) Block(-200.0f, {{0x90, 60, 100}});
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Lamp(midiLampX), black);
    Block(-200.0f, {{0xB0, 7, 100}});
    EXPECT_TRUE(WaitFor([&] { return Lamp(midiLampX) == orange; }));
    // A quiet block and a loud one within one idle period: lit.
    Block(-70.0f);
    Block(-20.0f);
    ASSERT_TRUE(WaitFor([&] { return Lamp(audioLampX) == green; }));
}

TEST_F(EditorTest, TheAudioDialogShowsTheThresholdAndOkWritesIt)
{
    // Shown value -> what OK writes back: dB x -0.01 in single precision.
    const struct {
        float parameter;
        int shown;
    } cases[] = {{0.5f, -50}, {0.554f, -55}, {0.0f, 0}, {1.0f, -100}};
    for (const auto& c : cases) {
        SetParameter(0, c.parameter);
        ClickAt(current, audioLampX, lampY);
        Window dialog = WaitForTopLevel("SOptionsDialog");
        ASSERT_NE(dialog, 0u) << "no dialog for " << c.parameter;
        ClickAt(dialog, 160 - 70 + 25, 100 - 30);  // OK
        ASSERT_EQ(GoneAfterClick("SOptionsDialog", dialog, 160 - 70 + 25, 100 - 30), "");
        EXPECT_EQ(Parameter(0), static_cast<float>(c.shown) * -0.01f) << c.parameter;
    }
    // A chunk may bring any threshold: the dialog shows it kept inside
    // -100..0, and OK writes that.
    for (const auto& c : {std::make_pair(-700, -100), std::make_pair(300, 0)}) {
        std::vector<uint8_t> chunk(56, 0);
        memcpy(chunk.data(), "Damaged", 7);
        memcpy(chunk.data() + 48, &c.first, 4);
        const int32_t kinds = 127;
        memcpy(chunk.data() + 52, &kinds, 4);
        ASSERT_EQ(host.SetChunk(chunk, true), 1);
        ClickAt(current, audioLampX, lampY);
        Window dialog = WaitForTopLevel("SOptionsDialog");
        ASSERT_NE(dialog, 0u);
        ClickAt(dialog, 160 - 70 + 25, 100 - 30);  // OK
        ASSERT_EQ(GoneAfterClick("SOptionsDialog", dialog, 160 - 70 + 25, 100 - 30), "");
        EXPECT_EQ(Parameter(0), static_cast<float>(c.second) * -0.01f) << c.first;
    }
    // Cancel after changing the value writes nothing.
    SetParameter(0, 0.3f);
    ClickAt(current, audioLampX, lampY);
    Window dialog = WaitForTopLevel("SOptionsDialog");
    ASSERT_NE(dialog, 0u);
    MoveTo(dialog, 160 - 56 + 16, 20 + 14 + 8);
    Press(4, true);
    Press(4, false);
    ClickAt(dialog, 20 + 25, 100 - 30);  // Cancel
    ASSERT_TRUE(WaitFor([&] { return TopLevel("SOptionsDialog") == 0; }));
    EXPECT_EQ(Parameter(0), 0.3f);
}

TEST_F(EditorTest, TheMidiDialogWritesTheKindsTicked)
{
    ClickAt(current, midiLampX, lampY);
    Window dialog = WaitForTopLevel("SOptionsDialog");
    ASSERT_NE(dialog, 0u);
    // All seven start ticked (every kind is monitored): untick all but CC.
    for (int n = 1; n <= 7; ++n)
        if (n != 3) ClickAt(dialog, 160 - 56 + 6, 20 * n + 16 + 6);
    ClickAt(dialog, 160 - 70 + 25, 228 - 30);  // OK
    ASSERT_TRUE(WaitFor([&] { return TopLevel("SOptionsDialog") == 0; }));
    for (int i = 1; i <= 7; ++i) EXPECT_EQ(Parameter(i), i == 3 ? 1.0f : 0.0f) << i;
}

TEST_F(EditorTest, TheLogoHidesTheCreditsAndTooltipsWaitForTheSwitch)
{
    ASSERT_TRUE(WaitFor([&] { return LogoInk() > 100; }));
    ClickAt(current, 50, 20);
    EXPECT_TRUE(WaitFor([&] { return LogoInk() == 0; })) << "the logo hides, the credits show";
    ClickAt(current, 50, 20);
    EXPECT_TRUE(WaitFor([&] { return LogoInk() > 100; })) << "a click where it was brings it back";

    auto hover = [&](int x) { MoveTo(current, x, lampY); };
    auto tip = [&] { return TopLevel("(Tooltip)", true) != 0; };
    // Tooltips start off: hovering a lamp shows none.
    hover(audioLampX);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_FALSE(tip());
    // The switch square turns them on (red), and the lamp shows its tip.
    ClickAt(current, 5, 5);
    EXPECT_TRUE(WaitFor([&] { return Pixel(current, 5, 5) == Rgb(255, 0, 0); }));
    hover(audioLampX + 100);
    hover(audioLampX);
    EXPECT_TRUE(WaitFor(tip));
    hover(audioLampX + 100);
    EXPECT_TRUE(WaitFor([&] { return !tip(); }));
    // A lamp click switches them off again (and opens the dialog).
    ClickAt(current, audioLampX, lampY);
    Window dialog = WaitForTopLevel("SOptionsDialog");
    ASSERT_NE(dialog, 0u);
    ClickAt(dialog, 20 + 25, 100 - 30);  // Cancel
    EXPECT_TRUE(WaitFor([&] { return Pixel(current, 5, 5) == Rgb(0, 0, 255); }));
    hover(audioLampX);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_FALSE(tip());
}

TEST_F(EditorTest, TheDialogsSwitchSquareShowsWhetherItsRowsHaveTooltips)
{
    auto tip = [&] { return TopLevel("(Tooltip)", true) != 0; };
    const unsigned long red = Rgb(255, 0, 0), blue = Rgb(0, 0, 255);
    auto openDialog = [&] {
        ClickAt(current, audioLampX, lampY);
        return WaitForTopLevel("SOptionsDialog");
    };
    auto hoverRow = [&](Window dialog) {
        MoveTo(dialog, 60, 60);
        MoveTo(dialog, 160 - 56 + 16, 20 + 14 + 8);
    };
    Window dialog = openDialog();
    ASSERT_NE(dialog, 0u);
    ClickAt(dialog, 5, 5);
    EXPECT_TRUE(WaitFor([&] { return Pixel(dialog, 5, 5) == red; }));
    hoverRow(dialog);
    EXPECT_TRUE(WaitFor(tip)) << "the row shows its tip once the square is red";
    ClickAt(dialog, 20 + 25, 100 - 30);  // Cancel
    ASSERT_TRUE(WaitFor([&] { return TopLevel("SOptionsDialog") == 0; }));
    // Opened again: closing took the rows' tooltips away, and the square
    // says so; one click brings them back.
    dialog = openDialog();
    ASSERT_NE(dialog, 0u);
    EXPECT_TRUE(WaitFor([&] { return Pixel(dialog, 5, 5) == blue; })) << "red while the rows show no tooltips";
    hoverRow(dialog);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_FALSE(tip());
    ClickAt(dialog, 5, 5);
    EXPECT_TRUE(WaitFor([&] { return Pixel(dialog, 5, 5) == red; })) << "the first click after reopening";
    hoverRow(dialog);
    EXPECT_TRUE(WaitFor(tip));
    ClickAt(dialog, 20 + 25, 100 - 30);  // Cancel
    ASSERT_TRUE(WaitFor([&] { return TopLevel("SOptionsDialog") == 0; }));
}

TEST_F(EditorTest, OpeningAgainShowsTheSamePanel)
{
    auto panelOf = [&](Window parent) {
        Window root, up, *kids = nullptr, found = 0;
        unsigned n = 0;
        XQueryTree(test, parent, &root, &up, &kids, &n);
        for (unsigned i = 0; i < n; ++i) {
            XWindowAttributes a;
            if (XGetWindowAttributes(test, kids[i], &a) && a.width == 100 && a.height == 75) found = kids[i];
        }
        if (kids) XFree(kids);
        return found;
    };
    const Window panel = panelOf(window);
    ASSERT_NE(panel, 0u);
    Close();
    Close();  // closed already: nothing
    EXPECT_EQ(panelOf(window), 0u) << "the panel leaves the host's window on close";
    const Window second = NewWindow(500, 300);
    Open(second);
    EXPECT_EQ(panelOf(second), panel);
    ERect* rect = nullptr;
    host.Dispatch(effEditGetRect, 0, 0, &rect);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 100);
    EXPECT_EQ(rect->bottom - rect->top, 75);
    // Opened again without a close: the same panel moves to the new window.
    const Window third = NewWindow(700, 300);
    Open(third);
    EXPECT_EQ(panelOf(third), panel);
    EXPECT_EQ(panelOf(second), 0u);
    // As a host plays: a block every few milliseconds (the full refresh of
    // opening drops the requests posted before it).
    EXPECT_TRUE(WaitFor([&] {
        Block(-20.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return Lamp(audioLampX) == green;
    }));
}

TEST_F(EditorTest, ClosingWithADialogOpenClosesItAsCancel)
{
    SetParameter(0, 0.25f);
    ClickAt(current, audioLampX, lampY);
    ASSERT_NE(WaitForTopLevel("SOptionsDialog"), 0u);
    Close();
    EXPECT_TRUE(WaitFor([&] { return TopLevel("SOptionsDialog") == 0; }));
    EXPECT_EQ(Parameter(0), 0.25f);
    // The host may now destroy its window: nothing of ours is left in it.
    XDestroyWindow(test, window);
    windows.erase(std::find(windows.begin(), windows.end(), window));
    XSync(test, False);
    const Window again = NewWindow(400, 300);
    Open(again);
    ClickAt(again, audioLampX, lampY);
    Window dialog = WaitForTopLevel("SOptionsDialog");
    ASSERT_NE(dialog, 0u) << "the panel takes clicks again";
    ClickAt(dialog, 20 + 25, 100 - 30);
}

// Hosts destroy their editor window before effEditClose, or without one: the
// panel goes with the window, and the next open shows a live one in the new
// window without a single X error.
TEST_F(EditorTest, AWindowTheHostDestroysFirstTakesThePanelAndTheNextOpenBuildsAnother)
{
    auto live = [&] {
        return WaitFor([&] {
            Block(-20.0f);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return Lamp(audioLampX) == green;
        }) && WaitFor([&] {
            Block(-70.0f);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return Lamp(audioLampX) == black;
        });
    };
    auto destroy = [&](Window w) {
        XDestroyWindow(test, w);
        windows.erase(std::find(windows.begin(), windows.end(), w));
        XSync(test, False);
    };
    ASSERT_TRUE(live());
    EXPECT_GT(LogoInk(), 100);
    // Destroyed, then closed, then opened in a new window.
    destroy(window);
    Close();
    const Window second = NewWindow(400, 300);
    Open(second);
    EXPECT_TRUE(live()) << "the new panel shows the lamps";
    EXPECT_GT(LogoInk(), 100);
    // Destroyed, then opened again without a close.
    destroy(second);
    const Window third = NewWindow(500, 300);
    Open(third);
    EXPECT_TRUE(live());
    // Several times over: nothing accumulates, nothing is written.
    for (int round = 0; round < 3; ++round) {
        destroy(current);
        Close();
        Open(NewWindow(300 + 100 * round, 400));
    }
    EXPECT_TRUE(live());
    EXPECT_GT(LogoInk(), 100);
    // With an options dialog open (a window of its own at the top level).
    ClickAt(current, audioLampX, lampY);
    ASSERT_NE(WaitForTopLevel("SOptionsDialog"), 0u);
    destroy(current);
    Close();
    EXPECT_TRUE(WaitFor([&] { return TopLevel("SOptionsDialog") == 0; }));
    Open(NewWindow(350, 350));
    ClickAt(current, audioLampX, lampY);
    const Window dialog = WaitForTopLevel("SOptionsDialog");
    ASSERT_NE(dialog, 0u) << "the new panel takes clicks";
    ClickAt(dialog, 20 + 25, 100 - 30);
    Close();
    EXPECT_EQ(Stderr(), "");
    // The parked panel survives the host's window, as before.
    destroy(current);
    Open(NewWindow(600, 400));
    EXPECT_TRUE(live());
    EXPECT_EQ(Stderr(), "");
}

}  // namespace
