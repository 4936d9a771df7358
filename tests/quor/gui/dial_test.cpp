// The dial and its value range: range rules, the wheel, stepped drags with
// either button, middle-click steps, Ctrl+click back to the default, the
// handle zone that keeps the capture, values the owner put out of range, and
// what it paints. Input through XTest, pixels read back.

#include "GuiFixture.h"  // first: gtest before Xlib

#include <X11/keysym.h>

#include <memory>

#include "ProbeControl.h"
#include "quor/gui/SDial.h"
#include "quor/gui/context/SDrawFont.h"

using namespace quor::gui;
using bwtest::Locked;
using bwtest::Probe;
using quor::gui::context::SDrawFont;

namespace {

class Dials : public bwtest::GuiTest {
protected:
    void SetUp() override
    {
        bwtest::GuiTest::SetUp();
        font = std::make_unique<SDrawFont>(10, true, false, false, nullptr);
        ASSERT_NE(font->Info(), nullptr) << "core fonts missing";
        listener = bwtest::MakeOwned<Probe>(&globals, nullptr, 99, 0, 0, 0, 1, 1, 0);
        // As the options dialog makes its threshold box.
        dial = bwtest::MakeOwned<SDial<int>>(&globals, nullptr, 1, "dial", SCS_ROUNDED, 300, 300, 32, 16, 0, -100, 0,
                                             -50);
        Locked([&] {
            dial->SetColours(statdata.Colour(20), statdata.Colour(20), statdata.Colour(24), statdata.Colour(0),
                             statdata.Colour(0), statdata.Colour(0), statdata.Colour(0));
            dial->SetLabel("", font.get(), 0);
            dial->SetLabelColours(0, 19);
            dial->SetHoverColours(24, 23);
            dial->SetValueFont(font.get());
            dial->SetControlColours(statdata.Colour(20), statdata.Colour(0), statdata.Colour(20),
                                    statdata.Colour(20));
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
    std::vector<int> Sent()
    {
        return Locked([&] {
            std::vector<int> params;
            for (const SEvent& e : listener->events) {
                EXPECT_EQ(e.type, EVENT_VALUE);
                EXPECT_EQ(e.sender, dial.get());
                params.push_back(e.param);
            }
            listener->Forget();
            return params;
        });
    }
    void Wheel(bool up)
    {
        Button(up ? 4 : 5, true);
        Button(up ? 4 : 5, false);
        Settle();
    }
    // Moves the pointer by dy pixels from where it is, one event.
    void MoveBy(int dy)
    {
        XTestFakeRelativeMotionEvent(test, 0, dy, 0);
        XSync(test, False);
        Settle();
    }

    std::unique_ptr<SDrawFont> font;
    bwtest::Owned<Probe> listener;
    bwtest::Owned<SDial<int>> dial;
};

TEST_F(Dials, RangesKeepTheDefaultInsideAndScaleFromEitherEnd)
{
    Locked([&] {
        SDial<int>& d = *dial;
        EXPECT_EQ(d.GetValue(), -50);
        EXPECT_EQ(d.GetValueDef(), -50);
        EXPECT_EQ(d.GetValueMed(), -50);
        EXPECT_EQ(d.GetValueRange(), 100);
        EXPECT_FLOAT_EQ(d.scale, 0.01f);
        EXPECT_EQ(d.Positions(), 101);
        EXPECT_TRUE(d.Style() & SCS_CAPTURE);
        EXPECT_TRUE(d.Style() & SCS_HOVERFRAME);

        d.SetValueDef(200);
        EXPECT_EQ(d.GetValueDef(), 0);
        d.SetValueDef(-200);
        EXPECT_EQ(d.GetValueDef(), -100);
        // From the minimum, not a fraction of the maximum; from the top down.
        EXPECT_EQ(d.ScaleValue(0.25f, false), -75);
        EXPECT_EQ(d.ScaleValue(0.25f, true), -25);
        EXPECT_EQ(d.ScaleValue(1.0f, false), 0);

        // Clipping goes through the dial's SetValue: stored, no event.
        EXPECT_TRUE(d.SetValueClipped(50));
        EXPECT_EQ(d.GetValue(), 0);
        EXPECT_FALSE(d.SetValueClipped(70));

        // The handle would travel zone width - handle width over the range.
        d.SetHandleZone(Rectangle(10, 0, 110, 16));
        d.SetValue(-50, false);
        EXPECT_EQ(d.CalcHandleOffset(), 10 + 34);
        d.SetValue(-100, false);
        EXPECT_EQ(d.CalcHandleOffset(), 10);

        d.SetValueRange(0, 0, 5);
        EXPECT_EQ(d.GetValueDef(), 0);
        EXPECT_FLOAT_EQ(d.scale, 1.0f);
        d.SetValueRange(-101, 0, -10);
        EXPECT_EQ(d.GetValueMed(), -51);  // halved towards minus infinity
        d.SetValueRange(-100, 0, 0);
        d.SetValueMin(10);
        EXPECT_EQ(d.GetValueDef(), 10);
        d.SetValueMax(5);
        EXPECT_EQ(d.GetValueDef(), 5);
        EXPECT_TRUE(d.SetValueMed());
        EXPECT_EQ(d.GetValue(), d.GetValueMed());
    });
    Settle();
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Dials, TheWheelStepsByOneAndStopsAtTheBounds)
{
    Set(-100);
    MoveTo(dial.get(), 16, 8);
    Wheel(false);
    EXPECT_EQ(Value(), -100);
    EXPECT_TRUE(Sent().empty());
    Wheel(true);
    EXPECT_EQ(Value(), -99);
    EXPECT_EQ(Sent(), std::vector<int>{-99});
    Set(0);
    Wheel(true);
    EXPECT_EQ(Value(), 0);
    EXPECT_TRUE(Sent().empty());
    Wheel(false);
    EXPECT_EQ(Sent(), std::vector<int>{-1});
}

TEST_F(Dials, ALeftDragStepsOncePerSixPixelsARightDragPerThirteen)
{
    MoveTo(dial.get(), 16, 8);
    Button(1, true);
    Settle();
    std::vector<int> seen;
    for (int i = 1; i <= 18; ++i) {
        MoveBy(-1);
        seen.push_back(Value());
    }
    // A step needs the pointer more than 5 pixels beyond the last step's.
    std::vector<int> expected;
    for (int i = 1; i <= 18; ++i) expected.push_back(-50 + i / 6);
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(Sent(), (std::vector<int>{-49, -48, -47}));
    // Down again: the reference is where the last step happened.
    for (int i = 0; i < 5; ++i) MoveBy(1);
    EXPECT_EQ(Value(), -47);
    MoveBy(1);
    EXPECT_EQ(Value(), -48);
    Button(1, false);
    Settle();
    // Released: moving changes nothing.
    MoveBy(-20);
    EXPECT_EQ(Value(), -48);
    Sent();

    MoveTo(dial.get(), 16, 8);
    Button(3, true);
    Settle();
    for (int i = 0; i < 12; ++i) MoveBy(-1);
    EXPECT_EQ(Value(), -48);
    MoveBy(-1);
    EXPECT_EQ(Value(), -47);
    MoveBy(13);
    EXPECT_EQ(Value(), -48);
    Button(3, false);
    Settle();
    EXPECT_EQ(Sent(), (std::vector<int>{-47, -48}));
}

TEST_F(Dials, AnUnsteppedDragFollowsThePixelsAndIsClipped)
{
    Locked([&] { dial->SetSteppedDrag(false); });
    Set(-5);
    MoveTo(dial.get(), 16, 8);
    Button(1, true);
    Settle();
    MoveBy(-3);
    EXPECT_EQ(Value(), -2);
    MoveBy(-4);
    EXPECT_EQ(Value(), 0);
    MoveBy(-4);
    EXPECT_EQ(Value(), 0);
    Button(1, false);
    Settle();
    EXPECT_EQ(Sent(), (std::vector<int>{-2, 0}));
}

TEST_F(Dials, MiddleClicksStepRightOfTheMiddleUpOtherwiseDown)
{
    Click(dial.get(), 16, 8, 2);  // the middle column itself
    EXPECT_EQ(Value(), -51);
    Click(dial.get(), 17, 8, 2);
    Click(dial.get(), 31, 15, 2);
    EXPECT_EQ(Value(), -49);
    EXPECT_EQ(Sent(), (std::vector<int>{-51, -50, -49}));
    Set(0);
    Click(dial.get(), 30, 8, 2);
    EXPECT_EQ(Value(), 0);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Dials, CtrlClickRestoresTheDefaultWithoutAnEvent)
{
    Set(-30);
    Key(XK_Control_L, true);
    Click(dial.get(), 10, 8, 1);
    Key(XK_Control_L, false);
    Settle();
    EXPECT_EQ(Value(), -50);
    EXPECT_TRUE(Sent().empty());
    // A plain click changes nothing.
    Set(-30);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    Click(dial.get(), 10, 8, 1);
    EXPECT_EQ(Value(), -30);
}

TEST_F(Dials, APressOutsideTheHandleZoneLetsTheMouseGo)
{
    Locked([&] { dial->SetHandleZone(Rectangle(0, 0, 15, 16)); });
    MoveTo(dial.get(), 25, 8);
    Button(1, true);
    Settle();
    EXPECT_EQ(Locked([&] { return capture; }), nullptr);
    EXPECT_FALSE(Locked([&] { return dial->GetInput()->state[MS_CAPTURED]; }));
    for (int i = 0; i < 20; ++i) MoveBy(-1);
    Button(1, false);
    Settle();
    EXPECT_EQ(Value(), -50);

    MoveTo(dial.get(), 5, 8);
    Button(1, true);
    Settle();
    EXPECT_EQ(Locked([&] { return capture; }), dial.get());
    for (int i = 0; i < 7; ++i) MoveBy(-1);
    Button(1, false);
    Settle();
    EXPECT_EQ(Value(), -49);
    EXPECT_EQ(Locked([&] { return capture; }), nullptr);
}

TEST_F(Dials, AValueTheOwnerPutOutOfRangeStepsBackToTheNearerBound)
{
    Set(200);
    EXPECT_EQ(Value(), 200);
    EXPECT_STREQ(Locked([&] { return dial->ValueText(); }).Text(), "200");
    EXPECT_TRUE(Sent().empty());
    MoveTo(dial.get(), 16, 8);
    Wheel(true);
    EXPECT_EQ(Value(), 0);
    Set(200);
    Wheel(false);
    EXPECT_EQ(Value(), 0);
    Set(-300);
    Click(dial.get(), 17, 8, 2);
    EXPECT_EQ(Value(), -100);
    Set(-300);
    Click(dial.get(), 10, 8, 2);
    EXPECT_EQ(Value(), -100);
    EXPECT_EQ(Sent(), (std::vector<int>{0, 0, -100, -100}));
}

TEST_F(Dials, TextTablesAnswerOnlyForValuesTheyHold)
{
    Locked([&] {
        dial->SetValueRange(-5, 5, 0);
        dial->SetTextTableB({SDial<int>::String("zero"), SDial<int>::String("one")}, true);
    });
    const int values[] = {0, 1, 2, -1, 5};
    const char* texts[] = {"zero", "one", "2", "-1", "5"};
    for (int i = 0; i < 5; ++i) {
        Set(values[i]);
        EXPECT_STREQ(Locked([&] { return dial->ValueText(); }).Text(), texts[i]) << values[i];
    }
    // Table A first.
    Locked([&] { dial->SetTextTableA({SDial<int>::String("nil")}, true); });
    Set(0);
    EXPECT_STREQ(Locked([&] { return dial->ValueText(); }).Text(), "nil");
    Set(1);
    EXPECT_STREQ(Locked([&] { return dial->ValueText(); }).Text(), "1");
    Settle();
}

TEST_F(Dials, ABlackRoundedBoxWithTheValueAndAHoverFrame)
{
    // Behind the rounded corners the parent's background colour.
    ASSERT_TRUE(WaitFor([&] { return PixelAt(dial.get(), 0, 0) == Rgb(77, 81, 84); }));
    EXPECT_EQ(PixelAt(dial.get(), 2, 8), Rgb(0, 0, 0));
    EXPECT_EQ(PixelAt(dial.get(), 16, 0), Rgb(77, 81, 84));
    int white = 0;
    for (int x = 3; x < 29; ++x)
        for (int y = 2; y < 14; ++y) white += PixelAt(dial.get(), x, y) == Rgb(255, 255, 255);
    EXPECT_GT(white, 10);
    MoveTo(dial.get(), 16, 8);
    Settle();
    EXPECT_TRUE(WaitFor([&] { return PixelAt(dial.get(), 16, 0) == Rgb(138, 145, 150); }));
    MoveTo(dial.get(), 16, 100);
    Settle();
    EXPECT_TRUE(WaitFor([&] { return PixelAt(dial.get(), 16, 0) == Rgb(77, 81, 84); }));
    // A new value is painted: "-50" and "-1" differ in ink.
    Set(-1);
    Settle();
    int after = 0;
    for (int x = 3; x < 29; ++x)
        for (int y = 2; y < 14; ++y) after += PixelAt(dial.get(), x, y) == Rgb(255, 255, 255);
    EXPECT_GT(after, 5);
    EXPECT_LT(after, white);
}

}  // namespace
