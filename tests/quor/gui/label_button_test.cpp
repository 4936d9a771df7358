// Labels and buttons: their text layout, and their answers to real clicks
// (XTest), checked by the events they send and the pixels they paint.

#include "GuiFixture.h"  // first: gtest before Xlib

#include <memory>

#include "ProbeControl.h"
#include "quor/gui/SButton.h"
#include "quor/gui/context/SDrawBitmap.h"
#include "quor/gui/context/SDrawFont.h"

using namespace quor::gui;
using bwtest::Locked;
using bwtest::Probe;
using quor::gui::context::SDrawFont;

namespace {

class Labels : public bwtest::GuiTest {
protected:
    void SetUp() override
    {
        bwtest::GuiTest::SetUp();
        font = std::make_unique<SDrawFont>(10, false, false, false, nullptr);
        ASSERT_NE(font->Info(), nullptr) << "core fonts missing";
        listener = bwtest::MakeOwned<Probe>(&globals, nullptr, 99, 0, 0, 0, 1, 1, 0);
    }
    void TearDown() override
    {
        listener.reset();
        bwtest::GuiTest::TearDown();
    }

    template <typename T>
    bwtest::Owned<T> Make(int style, int x, int y, int w, int h)
    {
        auto c = bwtest::MakeOwned<T>(&globals, nullptr, 1, "c", style, x, y, w, h, 0, false);
        Locked([&] {
            c->SetColours(statdata.Colour(24), statdata.Colour(13), statdata.Colour(20), statdata.Colour(0),
                          statdata.Colour(0), statdata.Colour(0), statdata.Colour(0));
            c->AddEventListener(listener.get(), EVENT_CONTROL);
        });
        return c;
    }

    std::vector<int> Params()
    {
        return Locked([&] {
            std::vector<int> params;
            for (const SEvent& e : listener->events) params.push_back(e.param);
            return params;
        });
    }

    std::unique_ptr<SDrawFont> font;
    bwtest::Owned<Probe> listener;
};

TEST_F(Labels, LinesShareTheBlockAndEmptyLinesOnlyAddHeight)
{
    auto label = Make<SLabel<false>>(0, 20, 20, 120, 80);
    const int h = font->Ascent() + font->Descent();
    Locked([&] {
        label->SetLabel("A\n\nB", font.get(), ALIGN_LEFT | ALIGN_BOTTOM);
        EXPECT_EQ(label->TextHeight(), 3 * h);
        ASSERT_EQ(label->Lines().size(), 2u);
        EXPECT_STREQ(label->Lines()[1].Text(), "B");
        // Left and "bottom" keep the block at the top; two bands of 1.5 lines.
        ASSERT_EQ(label->LineRects().size(), 2u);
        EXPECT_EQ(label->LineRects()[0].top, 0);
        EXPECT_EQ(label->LineRects()[0].Height(), 3 * h / 2);
        EXPECT_EQ(label->LineRects()[1].bottom, 3 * h);
        EXPECT_EQ(label->LineRects()[0].left, 0);

        label->SetAlignment(ALIGN_RIGHT | ALIGN_BOTTOM);
        label->SetLabel("wide line\nx");
        EXPECT_EQ(label->LineRects().back().bottom, 80);
        EXPECT_EQ(label->LineRects().back().right, 120);
        EXPECT_EQ(label->TextWidth(), font->TextWidth("wide line"));

        // One line ignores the block and takes the whole label.
        label->SetLabel("one line");
        ASSERT_EQ(label->LineRects().size(), 1u);
        EXPECT_EQ(label->LineRects()[0], Rectangle(0, 0, 120, 80));
        label->SetSize(60, 30);
        EXPECT_EQ(label->LineRects()[0], Rectangle(0, 0, 60, 30));

        // Nothing but separators: no line, no band, no division by zero.
        label->SetLabel("\n\t\r\n");
        EXPECT_TRUE(label->Lines().empty());
        EXPECT_TRUE(label->LineRects().empty());
        label->SetSize(61, 31);
        EXPECT_TRUE(label->LineRects().empty());
    });
    // Without a font a text is ignored.
    auto bare = Make<SLabel<false>>(0, 20, 120, 40, 20);
    Locked([&] {
        bare->SetLabel("ignored");
        EXPECT_STREQ(bare->GetLabel()->Text(), "");
    });
}

TEST_F(Labels, ALabelPaintsItsTextAndReportsTheButtonClicked)
{
    auto label = Make<SLabel<false>>(0, 20, 20, 80, 30);
    Locked([&] {
        label->SetLabel("HH", font.get(), 0);
        label->SetLabelColours(1, 19);  // yellow
        label->Show();
    });
    Settle();
    // Yellow ink somewhere in the middle, the background around it.
    ASSERT_TRUE(WaitFor([&] { return PixelAt(label.get(), 1, 1) == Rgb(77, 81, 84); }));
    int ink = 0;
    for (int x = 25; x < 55; ++x)
        for (int y = 5; y < 25; ++y) ink += PixelAt(label.get(), x, y) == Rgb(255, 255, 0);
    EXPECT_GT(ink, 10);
    Click(label.get(), 40, 15, 1);
    Click(label.get(), 40, 15, 3);
    MoveTo(label.get(), 40, 15);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));  // not a double click
    Button(2, true);
    Button(2, false);
    Settle();
    EXPECT_EQ(Params(), (std::vector<int>{1, 3, 2}));
}

TEST_F(Labels, APushButtonSendsOnePressAndEndsUp)
{
    auto button = Make<SButton<false>>(0, 20, 20, 60, 30);
    Locked([&] {
        button->SetLabel("OK", font.get(), 0);
        button->Show();
    });
    Settle();
    Click(button.get(), 30, 15);
    EXPECT_EQ(Params(), std::vector<int>{1});
    EXPECT_EQ(Locked([&] { return button->GetValue(); }), 0);
}

TEST_F(Labels, ATriggerButtonReportsEachButtonAndReturnsToZero)
{
    auto button = Make<SButton<false>>(SCS_ROUNDED, 20, 20, 60, 30);
    Locked([&] {
        button->SetType(BUTTON_TRIGGER);
        button->SetLabel("OK", font.get(), 0);
        button->Show();
    });
    Settle();
    for (unsigned b : {1u, 3u, 2u}) {
        MoveTo(button.get(), 30, 15);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));  // apart: no double clicks
        Button(b, true);
        Button(b, false);
        Settle();
        EXPECT_EQ(Locked([&] { return button->GetValue(); }), 0);
    }
    EXPECT_EQ(Params(), (std::vector<int>{1, 3, 2}));
}

TEST_F(Labels, AReleaseWhileDisabledStillEndsThePress)
{
    // A press that opens a modal dialog disables the button before its
    // release arrives. The release must still end the press: else the
    // button's next press, once the dialog has gone, is taken for the same
    // press held on and ignored (when the pointer has not moved meanwhile).
    auto button = Make<SButton<false>>(0, 20, 20, 60, 30);
    Locked([&] {
        button->SetType(BUTTON_TRIGGER);
        button->SetLabel("OK", font.get(), 0);
        button->Show();
    });
    Settle();
    MoveTo(button.get(), 30, 15);
    Button(1, true);
    Settle();
    Locked([&] { button->Enable(false); });
    Button(1, false);
    Settle();
    Locked([&] { button->Enable(true); });
    std::this_thread::sleep_for(std::chrono::milliseconds(400));  // no double click
    Button(1, true);
    Button(1, false);
    Settle();
    EXPECT_EQ(Params(), (std::vector<int>{1, 1}));
}

TEST_F(Labels, SettingTheValueQuietlyChangesTheLookOnly)
{
    auto button = Make<SButton<false>>(0, 20, 20, 60, 30);
    Locked([&] {
        button->SetType(BUTTON_NOTIFYOFF);
        button->Show();
    });
    Settle();
    ASSERT_TRUE(WaitFor([&] { return PixelAt(button.get(), 5, 5) == Rgb(77, 81, 84); }));
    Locked([&] { EXPECT_TRUE(button->SetValue(1, false)); });
    // The active background, and nothing sent.
    EXPECT_TRUE(WaitFor([&] { return PixelAt(button.get(), 5, 5) == Rgb(0, 255, 0); }));
    Locked([&] { EXPECT_FALSE(button->SetValue(1, true)); });
    Settle();
    EXPECT_TRUE(Params().empty());
    // A toggle button switched off by a click says so (type 0x4).
    Click(button.get(), 30, 15);
    EXPECT_EQ(Params(), std::vector<int>{0});
}

// A plain colour as a bitmap, from XPM lines.
context::SDrawBitmap* Plain(int w, int h, const char* colour)
{
    std::vector<std::string> lines{std::to_string(w) + " " + std::to_string(h) + " 1 1", std::string("x c ") + colour};
    lines.insert(lines.end(), static_cast<size_t>(h), std::string(static_cast<size_t>(w), 'x'));
    std::vector<const char*> text;
    for (const std::string& l : lines) text.push_back(l.c_str());
    return new context::SDrawBitmap(text.data(), w, h, false);
}

TEST_F(Labels, BitmapsGivenTwiceOrForBothStatesAreFreedOnceAndKeptWhileInUse)
{
    auto button = Make<SButton<false>>(0, 20, 20, 32, 16);
    context::SDrawBitmap* red = Plain(32, 16, "#FF0000");
    context::SDrawBitmap* blue = Plain(32, 16, "#0000FF");
    // Each step: the pair given, the value, the colour then shown. Bitmaps
    // freed too early show up as X errors (the fixture fails on any) or
    // as a double free when the button goes.
    struct Step {
        context::SDrawBitmap* off;
        context::SDrawBitmap* on;
        int value;
        unsigned long shown;
    } steps[] = {
        {red, red, 0, Rgb(255, 0, 0)},   {red, red, 1, Rgb(255, 0, 0)},   {red, blue, 1, Rgb(0, 0, 255)},
        {red, blue, 0, Rgb(255, 0, 0)},  {blue, red, 0, Rgb(0, 0, 255)},  {blue, blue, 1, Rgb(0, 0, 255)},
        {blue, blue, 0, Rgb(0, 0, 255)},
    };
    Locked([&] { button->Show(); });
    Settle();
    int n = 0;
    for (const Step& step : steps) {
        Locked([&] {
            button->SetBitmaps(step.off, step.on);
            button->SetValue(step.value, false);
            button->Refresh();
        });
        EXPECT_TRUE(WaitFor([&] { return PixelAt(button.get(), 5, 5) == step.shown; })) << "step " << n;
        ++n;
    }
    // red went with the pair (blue, blue); blue goes with the button.
    button.reset();
}

TEST_F(Labels, TheHoverFrameFollowsThePointer)
{
    auto button = Make<SButton<false>>(0, 20, 20, 60, 30);
    Locked([&] {
        button->SetHoverColours(4, 13);  // red while off
        button->Show();
    });
    Settle();
    MoveTo(button.get(), 200, 200);
    Settle();
    MoveTo(button.get(), 30, 15);
    Settle();
    EXPECT_TRUE(WaitFor([&] { return PixelAt(button.get(), 0, 10) == Rgb(255, 0, 0); }));
    MoveTo(button.get(), 200, 15);
    Settle();
    EXPECT_TRUE(WaitFor([&] { return PixelAt(button.get(), 0, 10) != Rgb(255, 0, 0); }));
}

}  // namespace
