// Mouse and keys reaching controls: through real input (XTest) served by the
// toolkit's dispatching thread, and through eventProc as a host forwarding
// events would call it (where exact server times are needed).

#include "GuiFixture.h"  // first: gtest before Xlib

#include <X11/keysym.h>

#include <memory>

#include "ProbeControl.h"

using namespace quor::gui;
using bwtest::Locked;
using bwtest::Probe;

namespace {

class ControlInput : public bwtest::GuiTest {
protected:
    bwtest::Owned<Probe> Make(int style, int x = 40, int y = 40, int w = 60, int h = 40)
    {
        auto p = bwtest::MakeOwned<Probe>(&globals, nullptr, 1, style, x, y, w, h, Rgb(200, 0, 0));
        Locked([&] { p->Show(); });
        Settle();
        Locked([&] { p->Forget(); });
        return p;
    }

    // A press as a host would forward it, at a chosen server time.
    bool Press(Probe* p, unsigned button, unsigned long time, int type = ButtonPress)
    {
        XEvent e = {};
        e.xbutton.type = type;
        e.xbutton.display = p->GetDisplay();
        e.xbutton.window = p->GetWindow();
        e.xbutton.button = button;
        e.xbutton.time = time;
        e.xbutton.x = 5;
        e.xbutton.y = 5;
        return SControl::eventProc(&e);
    }

    std::vector<int> Codes(Probe* p)
    {
        return Locked([&] { return p->codes; });
    }
};

TEST_F(ControlInput, DoubleClickWindowIsBelow360msOfServerTimeForTheSameButton)
{
    auto p = Make(0);
    ASSERT_TRUE(Press(p.get(), 1, 10000));
    Press(p.get(), 1, 10000, ButtonRelease);
    Press(p.get(), 1, 10359);  // 359 ms: a double click
    Press(p.get(), 1, 10359, ButtonRelease);
    Press(p.get(), 1, 10719);  // 360 ms after the last press: single again
    Press(p.get(), 1, 10719, ButtonRelease);
    Press(p.get(), 3, 10800);  // another button between breaks the pair
    Press(p.get(), 3, 10800, ButtonRelease);
    Press(p.get(), 1, 10900);
    Press(p.get(), 1, 10900, ButtonRelease);
    Press(p.get(), 1, 10950);  // a third quick press counts again
    Press(p.get(), 1, 10950, ButtonRelease);
    Press(p.get(), 1, 11000);
    std::vector<int> presses;
    for (int c : Codes(p.get()))
        if (c != MS_RELEASED) presses.push_back(c);
    EXPECT_EQ(presses, (std::vector<int>{MS_LBUTTON, MS_LDOUBLE, MS_LBUTTON, MS_RBUTTON, MS_LBUTTON, MS_LDOUBLE,
                                         MS_LDOUBLE}));
    // Server times wrap: a pair across the wrap is still 20 ms apart.
    Locked([&] { p->Forget(); });
    Press(p.get(), 2, 0xFFFFFFF6ul);
    Press(p.get(), 2, 0xFFFFFFF6ul, ButtonRelease);
    Press(p.get(), 2, 10);
    EXPECT_EQ(Codes(p.get()).back(), MS_MDOUBLE);
}

TEST_F(ControlInput, RealClicksReportPressReleaseAndADoubleClick)
{
    auto p = Make(0);
    Click(p.get(), 10, 10);
    Click(p.get(), 10, 10);
    std::vector<int> codes = Codes(p.get());
    std::vector<int> presses;
    for (int c : codes)
        if (c == MS_LBUTTON || c == MS_LDOUBLE || c == MS_RELEASED) presses.push_back(c);
    // Two real clicks in a row are well within 360 ms of each other.
    EXPECT_EQ(presses, (std::vector<int>{MS_LBUTTON, MS_RELEASED, MS_LDOUBLE, MS_RELEASED}));
    Locked([&] {
        ASSERT_FALSE(p->states.empty());
        EXPECT_TRUE(p->states.back()[MS_INSIDE]);
        EXPECT_EQ(p->GetInput()->lastX, 10);
        EXPECT_EQ(p->GetInput()->lastY, 10);
    });
}

TEST_F(ControlInput, WheelReportsOnlyTheWheelAndNeverCaptures)
{
    auto p = Make(SCS_CAPTURE);
    MoveTo(p.get(), 20, 20);
    Button(4, true);
    Button(4, false);
    Button(5, true);
    Button(5, false);
    Settle();
    Locked([&] {
        std::vector<std::pair<int, bool>> wheel;  // code, up
        for (size_t i = 0; i < p->codes.size(); ++i) {
            int c = p->codes[i];
            EXPECT_TRUE(c == MS_WHEEL || c == MS_RELEASED || c == MS_ENTERED || c == MS_MOVED) << c;
            if (c == MS_WHEEL) {
                wheel.emplace_back(c, p->states[i][MS_WHEELUP]);
                EXPECT_NE(p->states[i][MS_WHEELUP], p->states[i][MS_WHEELDOWN]);
                EXPECT_FALSE(p->states[i][MS_LBUTTON] || p->states[i][MS_RBUTTON] || p->states[i][MS_MBUTTON]);
            }
        }
        ASSERT_EQ(wheel.size(), 2u);
        EXPECT_TRUE(wheel[0].second);
        EXPECT_FALSE(wheel[1].second);
        EXPECT_EQ(capture, nullptr);
    });
}

TEST_F(ControlInput, CaptureKeepsMotionAndReleaseAfterLeaving)
{
    auto p = Make(SCS_CAPTURE);
    MoveTo(p.get(), 10, 10);
    Button(1, true);
    Settle();
    Locked([&] {
        EXPECT_EQ(capture, p.get());
        EXPECT_TRUE(p->GetInput()->state[MS_CAPTURED]);
    });
    MoveTo(p.get(), 150, 10);  // far outside, to the right
    Button(1, false);
    Settle();
    Settle();  // and the crossing that the end of the grab brings
    Locked([&] {
        // The motion outside still reached the control, relative to it.
        EXPECT_EQ(p->GetInput()->lastX, 150);
        bool released = false;
        for (int c : p->codes) released = released || c == MS_RELEASED;
        EXPECT_TRUE(released);
        EXPECT_EQ(capture, nullptr);
        EXPECT_FALSE(p->GetInput()->state[MS_CAPTURED]);
        p->Forget();
    });
    MoveTo(p.get(), 160, 12);  // no capture: motion outside is not ours
    Settle();
    EXPECT_TRUE(Codes(p.get()).empty());
}

TEST_F(ControlInput, ADisabledParentSwallowsClicksUnlessTheChildIsModal)
{
    auto parent = Make(0, 40, 40, 120, 80);
    auto* child = new Probe(&globals, parent.get(), 2, 0, 10, 10, 50, 30, Rgb(0, 0, 200));
    Locked([&] {
        parent->Add(child);
        child->Show();
        parent->Enable(false);
    });
    Settle();
    Locked([&] { child->Forget(); });
    Click(child, 5, 5);
    EXPECT_TRUE(Codes(child).empty());
    Locked([&] { child->SetModal(true); });
    Click(child, 5, 5);
    std::vector<int> codes = Codes(child);
    EXPECT_NE(std::find(codes.begin(), codes.end(), MS_LBUTTON), codes.end());
}

TEST_F(ControlInput, KeysTranslateToCodesAndClasses)
{
    auto p = Make(0);
    MoveTo(p.get(), 10, 10);
    Locked([&] { p->Focus(true); });
    Settle();
    // The keypad's digits need Num Lock.
    Key(XK_Num_Lock, true);
    Key(XK_Num_Lock, false);
    Key(XK_KP_7, true);
    Key(XK_KP_7, false);
    Key(XK_Num_Lock, true);
    Key(XK_Num_Lock, false);
    Key(XK_F5, true);
    Key(XK_F5, false);
    Key(XK_Shift_R, true);
    Key(XK_a, true);
    Key(XK_a, false);
    Key(XK_Shift_R, false);
    Key(XK_Escape, true);
    Key(XK_Escape, false);
    Settle();
    std::vector<bwtest::KeyRecord> keys = Locked([&] { return p->keys; });
    std::vector<bwtest::KeyRecord> presses;
    for (const auto& k : keys)
        if (k.pressed && k.code != static_cast<int>(XK_Num_Lock)) presses.push_back(k);
    ASSERT_EQ(presses.size(), 5u);
    EXPECT_EQ(presses[0].code, 55);  // "7"
    EXPECT_EQ(presses[0].keyClass, KEYCLASS_CHAR);
    EXPECT_EQ(presses[1].code, static_cast<int>(XK_F5));
    EXPECT_EQ(presses[1].keyClass, KEYCLASS_FUNCTION);
    EXPECT_EQ(presses[2].code, 17);
    EXPECT_EQ(presses[2].keyClass, KEYCLASS_MODIFIER);
    EXPECT_TRUE(presses[2].shift);
    EXPECT_EQ(presses[3].mask, 1);  // "A" with Shift held
    EXPECT_TRUE(presses[3].shift);
    EXPECT_EQ(presses[4].code, 1);  // Escape
    EXPECT_EQ(presses[4].keyClass, KEYCLASS_EDIT);
    EXPECT_FALSE(presses[4].shift);  // released meanwhile
}

TEST_F(ControlInput, HotKeysRaiseAKeyEventWithKeysymAndModifiers)
{
    auto p = Make(0);
    Locked([&] {
        p->AddHotKey(XK_F7);
        p->EnableEventHandler(EVENT_KEY);
        p->AddEventListener(p.get(), EVENT_KEY);
    });
    MoveTo(p.get(), 10, 10);
    Locked([&] { p->Focus(true); });
    Key(XK_Control_L, true);
    Key(XK_F7, true);
    Key(XK_F7, false);
    Key(XK_Control_L, false);
    Settle();
    Locked([&] {
        ASSERT_EQ(p->events.size(), 1u);
        EXPECT_EQ(p->events[0].type, EVENT_KEY);
        EXPECT_EQ(p->events[0].dataType, EVENT_DATA_POINTER);
        EXPECT_EQ(p->events[0].sender, p.get());
        EXPECT_EQ(p->payloads[0], (std::vector<int32_t>{0, static_cast<int32_t>(XK_F7), 2}));
    });
}

}  // namespace
