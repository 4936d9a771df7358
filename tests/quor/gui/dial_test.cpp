// The dial and its value range: range rules, the wheel, drags with either
// button, middle-click steps, Ctrl+click back to the default, the handle zone
// that keeps the capture, values the owner put out of range, and what it
// paints. Input through XTest, pixels read back.

#include "GuiFixture.h"  // first: gtest before Xlib

#include <X11/keysym.h>

#include <memory>

#include "ProbeControl.h"
#include "quor/gui/SDial.h"
#include "quor/gui/context/SDrawBitmap.h"
#include "quor/gui/context/SDrawFont.h"

using namespace quor::gui;
using bwtest::Locked;
using bwtest::Probe;
using V = std::vector<int>;

namespace {

class Dials : public bwtest::GuiTest {
protected:
    void SetUp() override
    {
        bwtest::GuiTest::SetUp();
        font = std::make_unique<context::SDrawFont>(10, true, false, false, nullptr);
        ASSERT_NE(font->Info(), nullptr) << "core fonts missing";
        listener = bwtest::MakeOwned<Probe>(&globals, nullptr, 99, 0, 0, 0, 1, 1, 0);
        // As the options dialog makes its threshold box.
        dial = bwtest::MakeOwned<SDial<int>>(&globals, nullptr, 1, "dial", SCS_ROUNDED, 300, 300, 32, 16, 0, -100, 0,
                                             -50);
        auto c = [](int i) { return statdata.Colour(i); };
        Locked([&] {
            dial->SetColours(c(20), c(20), c(24), c(0), c(0), c(0), c(0));
            dial->SetLabel("", font.get(), 0);
            dial->SetLabelColours(0, 19);
            dial->SetHoverColours(24, 23);
            dial->SetValueFont(font.get());
            dial->SetControlColours(c(20), c(0), c(20), c(20));
            dial->AddEventListener(listener.get(), EVENT_VALUE);
            dial->Show();
        });
        MoveTo(dial.get(), 16, 200);
        Settle();
    }
    void TearDown() override
    {
        dial.reset();
        listener.reset();
        bwtest::GuiTest::TearDown();
    }

    int Value() { return Locked([&] { return dial->GetValue(); }); }
    void Set(int v)
    {
        Locked([&] { dial->SetValue(v, false); });
    }
    // The params of the EVENT_VALUEs sent since the last call.
    V Sent()
    {
        return Locked([&] {
            V params;
            for (const SEvent& e : listener->events) params.push_back(e.type == EVENT_VALUE ? e.param : 9999);
            listener->Forget();
            return params;
        });
    }
    void Press(unsigned button)
    {
        Button(button, true);
        Button(button, false);
        Settle();
    }
    // Moves the pointer by dy pixels, one event per call.
    void MoveBy(int dy, int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            Window r, c;
            int x, y, wx, wy;
            unsigned m;
            XQueryPointer(test, root, &r, &c, &x, &y, &wx, &wy, &m);
            XTestFakeRelativeMotionEvent(test, 0, dy, 0);
            XSync(test, False);
            WaitForPointer(x, y + dy, 0, 0);
            Settle();
        }
    }

    std::unique_ptr<context::SDrawFont> font;
    bwtest::Owned<Probe> listener;
    bwtest::Owned<SDial<int>> dial;
};

TEST_F(Dials, RangesKeepTheDefaultInsideAndScaleFromEitherEnd)
{
    Locked([&] {
        SDial<int>& d = *dial;
        EXPECT_EQ(V({d.GetValue(), d.GetValueDef(), d.GetValueMed(), d.GetValueRange()}), V({-50, -50, -50, 100}));
        EXPECT_FLOAT_EQ(d.scale, 0.01f);
        d.SetValueDef(200);
        EXPECT_EQ(d.GetValueDef(), 0);
        EXPECT_EQ(V({d.ScaleValue(0.25f, false), d.ScaleValue(0.25f, true)}), V({-75, -25}));
        EXPECT_TRUE(d.SetValueClipped(50));  // stored clipped, sends nothing
        EXPECT_EQ(d.GetValue(), 0);
        d.SetHandleZone(Rectangle(10, 0, 110, 16));
        d.SetValue(-50, false);
        EXPECT_EQ(d.CalcHandleOffset(), 10 + (100 - 32) / 2);
        d.SetValueRange(-101, 0, -10);
        EXPECT_EQ(d.GetValueMed(), -51);  // halved towards minus infinity
        d.SetValueRange(-100, 0, 0);
        d.SetValueMin(10);
        EXPECT_EQ(d.GetValueDef(), 10);
        d.SetValueRange(3, 3, 0);
        EXPECT_FLOAT_EQ(d.scale, 1.0f);
        // Value texts: from a table only for the values it holds.
        d.SetValueRange(-5, 5, 0);
        d.SetTextTableB({SDial<int>::String("zero"), SDial<int>::String("one")}, true);
        for (int v : {0, 1, 2, -1}) {
            d.SetValue(v, false);
            EXPECT_STREQ(d.ValueText().Text(), v == 0 ? "zero" : v == 1 ? "one" : v == 2 ? "2" : "-1");
        }
    });
    Settle();  // paints -1 with the table set
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Dials, WheelAndMiddleClicksStepByOneWithinTheRange)
{
    Set(-100);
    MoveTo(dial.get(), 16, 8);
    Press(5);
    EXPECT_EQ(Value(), -100);
    EXPECT_TRUE(Sent().empty());
    Press(4);
    EXPECT_EQ(Value(), -99);
    EXPECT_EQ(Sent(), V{-99});
    // The middle column itself steps down, right of it up.
    Click(dial.get(), 16, 8, 2);
    Click(dial.get(), 17, 8, 2);
    Click(dial.get(), 31, 15, 2);
    EXPECT_EQ(Sent(), V({-100, -99, -98}));
    Set(0);
    Click(dial.get(), 30, 8, 2);
    Press(4);
    EXPECT_EQ(Value(), 0);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Dials, AValueTheOwnerPutOutOfRangeIsShownAndStepsBackToTheNearerBound)
{
    Set(200);
    EXPECT_STREQ(Locked([&] { return dial->ValueText(); }).Text(), "200");
    MoveTo(dial.get(), 16, 8);
    Press(4);
    Set(200);
    Press(5);
    Set(-300);
    Click(dial.get(), 17, 8, 2);
    Set(-300);
    Click(dial.get(), 10, 8, 2);
    EXPECT_EQ(Sent(), V({0, 0, -100, -100}));
}

TEST_F(Dials, DragsStepPerSixPixelsLeftPerThirteenRightOrByThePixel)
{
    MoveTo(dial.get(), 16, 8);
    Button(1, true);
    Settle();
    V seen;
    for (int i = 1; i <= 12; ++i) {
        MoveBy(-1);
        seen.push_back(Value());
    }
    EXPECT_EQ(seen, V({-50, -50, -50, -50, -50, -49, -49, -49, -49, -49, -49, -48}));
    MoveBy(1, 5);  // down: from where the last step happened
    EXPECT_EQ(Value(), -48);
    MoveBy(1);
    EXPECT_EQ(Value(), -49);
    Button(1, false);
    MoveBy(-20);  // released: no drag
    EXPECT_EQ(Sent(), V({-49, -48, -49}));

    MoveTo(dial.get(), 16, 8);
    Button(3, true);
    Settle();
    MoveBy(-1, 12);
    EXPECT_EQ(Value(), -49);
    MoveBy(-1);
    EXPECT_EQ(Value(), -48);
    Button(3, false);

    Locked([&] { dial->SetSteppedDrag(false); });
    Set(-5);
    MoveTo(dial.get(), 16, 8);
    Button(1, true);
    Settle();
    MoveBy(-3);
    MoveBy(-4, 2);
    Button(1, false);
    Settle();
    EXPECT_EQ(Sent(), V({-48, -2, 0}));  // clipped at the maximum
}

TEST_F(Dials, CtrlClickResetsQuietlyAndOnlyTheHandleZoneKeepsTheMouse)
{
    Set(-30);
    Key(XK_Control_L, true);
    Click(dial.get(), 10, 8, 1);
    Key(XK_Control_L, false);
    EXPECT_EQ(Value(), -50);
    EXPECT_TRUE(Sent().empty());

    Locked([&] { dial->SetHandleZone(Rectangle(0, 0, 15, 16)); });
    for (int x : {25, 5}) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));  // no double click
        MoveTo(dial.get(), x, 8);
        Button(1, true);
        Settle();
        EXPECT_EQ(Locked([&] { return capture; }), x == 5 ? dial.get() : nullptr);
        MoveBy(-1, 7);
        Button(1, false);
        Settle();
    }
    EXPECT_EQ(Sent(), V{-49});  // only the press inside dragged
}

TEST_F(Dials, ABlackRoundedBoxWithTheValueAndAHoverFrame)
{
    auto ink = [&] {
        int n = 0;
        for (int x = 3; x < 29; ++x)
            for (int y = 2; y < 14; ++y) n += PixelAt(dial.get(), x, y) == Rgb(255, 255, 255);
        return n;
    };
    // The parent's colour behind the rounded corners, an outline in the same
    // colour until the pointer is over it.
    ASSERT_TRUE(WaitFor([&] { return PixelAt(dial.get(), 2, 8) == Rgb(0, 0, 0); }));
    EXPECT_EQ(PixelAt(dial.get(), 0, 0), Rgb(77, 81, 84));
    EXPECT_EQ(PixelAt(dial.get(), 16, 0), Rgb(77, 81, 84));
    const int fifty = ink();
    EXPECT_GT(fifty, 10);
    MoveTo(dial.get(), 16, 8);
    EXPECT_TRUE(WaitFor([&] { return PixelAt(dial.get(), 16, 0) == Rgb(138, 145, 150); }));
    MoveTo(dial.get(), 16, 100);
    EXPECT_TRUE(WaitFor([&] { return PixelAt(dial.get(), 16, 0) == Rgb(77, 81, 84); }));
    Set(-1);
    Settle();
    EXPECT_GT(ink(), 5);
    EXPECT_LT(ink(), fifty);
}

// A skin: a red background and a blue 8 x 8 handle, from XPM lines.
TEST_F(Dials, ASkinOfTwoImagesReplacesTheDrawnBox)
{
    auto image = [](int w, int h, const char* colour) {
        std::vector<std::string> lines{std::to_string(w) + " " + std::to_string(h) + " 1 1",
                                       std::string("x c ") + colour};
        lines.insert(lines.end(), static_cast<size_t>(h), std::string(static_cast<size_t>(w), 'x'));
        std::vector<const char*> text;
        for (const std::string& l : lines) text.push_back(l.c_str());
        return new context::SDrawBitmap(text.data(), w, h, false);
    };
    Locked([&] {
        dial->SetBitmaps(image(32, 16, "#FF0000"), image(8, 8, "#0000FF"));
        EXPECT_TRUE(dial->TypeFlags() & CONTROLLABLE_BITMAPS);
        EXPECT_EQ(dial->HandleRect(), Rectangle(0, 0, 8, 8));
        dial->Refresh();
    });
    EXPECT_TRUE(WaitFor([&] { return PixelAt(dial.get(), 3, 3) == Rgb(0, 0, 255); }));
    EXPECT_EQ(PixelAt(dial.get(), 20, 12), Rgb(255, 0, 0));
    // One missing: both freed, drawn as a box again.
    Locked([&] {
        dial->SetBitmaps(nullptr, image(8, 8, "#0000FF"));
        EXPECT_FALSE(dial->TypeFlags() & CONTROLLABLE_BITMAPS);
        dial->Refresh();
    });
    EXPECT_TRUE(WaitFor([&] { return PixelAt(dial.get(), 3, 3) == Rgb(0, 0, 0); }));
}

}  // namespace
