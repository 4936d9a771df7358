// The process-wide message box: on screen with no editor open, centred,
// reused, closed by its OK, also after the host handed over its display,
// and called from another thread while it paints; every message also on
// standard error.

#include "GuiFixture.h"  // first: gtest before Xlib

#include <algorithm>
#include <atomic>
#include <string>

#include "plugin/PluginTestSupport.h"
#include "quor/gui/SDisplay.h"
#include "quor/gui/SInfo.h"
#include "quor/gui/SMessageDialog.h"
#include "quor/gui/context/SDrawFont.h"
#include "quor/system/SSystemData.h"

using namespace quor::gui;
using bwtest::Locked;

namespace {

class Info : public bwtest::GuiTest {
protected:
    bool Viewable(Window w)
    {
        XWindowAttributes a;
        return XGetWindowAttributes(test, w, &a) && a.map_state == IsViewable;
    }
    // The box is centred on the monitor its centre lies on.
    void ExpectCentred(SMessageDialog* box)
    {
        Locked([&] {
            Rectangle m = sd.DisplayInfo()->MonitorRect(box);
            Point at = box->GetScreenPosition();
            EXPECT_EQ(at.x, m.left + ((m.Width() - box->Width()) >> 1));
            EXPECT_EQ(at.y, m.top + ((m.Height() - box->Height()) >> 1));
        });
    }
    // Test programs share one X server, and every box starts at the centre:
    // ours is looked at and clicked in a corner that no other test uses.
    void MoveAside(SMessageDialog* box)
    {
        Locked([&] {
            box->SetPosition(700, 600);
            box->Foreground(true);
        });
        Settle();
    }
    void CloseWithOk(SMessageDialog* box)
    {
        Click(box->MessageButton(), 20, 10);
        ASSERT_TRUE(WaitFor([&] { return !Viewable(box->GetWindow()); }));
        EXPECT_FALSE(Locked([&] { return box->Shown(); }));
    }
};

TEST_F(Info, TheBoxShowsWithoutAnEditorIsReusedAndRecentredAndClosesWithOk)
{
    bwtest::StderrCapture capture;
    SInfo("Failed to load bank\n(Reason: Saved with newer version)", "Blinkwatcher");
    SMessageDialog* box = Locked([] { return SInfoBox(); });
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(WaitFor([&] { return Viewable(box->GetWindow()); }));
    Settle();
    ExpectCentred(box);
    const int firstWidth = Locked([&] { return box->Width(); });
    MoveAside(box);
    EXPECT_EQ(PixelAt(box, firstWidth / 2, 35), Rgb(77, 81, 84));

    // A second message while the first is shown: same box, new texts, new size, centred again.
    SInfo("Short", "A much longer title than the message before it had");
    Settle();
    EXPECT_EQ(Locked([] { return SInfoBox(); }), box);
    Locked([&] {
        EXPECT_STREQ(box->Message().Text(), "Short");
        EXPECT_STREQ(box->TitleLabel()->GetLabel()->Text(), "A much longer title than the message before it had");
        EXPECT_NE(box->Width(), firstWidth);
    });
    ExpectCentred(box);
    MoveAside(box);
    CloseWithOk(box);
    EXPECT_EQ(capture.Text(), bwtest::InfoLine("Blinkwatcher", "Failed to load bank\n(Reason: Saved with newer version)") +
                                  "A much longer title than the message before it had: Short\n");
}

TEST_F(Info, AfterTheHostHandedOverItsDisplayTheBoxStillPaintsAndCloses)
{
    Display* hostDisplay = XOpenDisplay(DisplayString(own));
    ASSERT_NE(hostDisplay, nullptr);
    __atomic_store_n(&dp, hostDisplay, __ATOMIC_RELEASE);
    bwtest::StderrCapture quiet;
    SInfo("Painted on our own connection", "Blinkwatcher");
    SMessageDialog* box = Locked([] { return SInfoBox(); });
    ASSERT_TRUE(WaitFor([&] { return Viewable(box->GetWindow()); }));
    MoveAside(box);
    EXPECT_EQ(PixelAt(box, 5, 60), Rgb(0, 0, 0));
    EXPECT_EQ(PixelAt(box->MessageButton(), 4, 10), Rgb(44, 44, 44));
    CloseWithOk(box);
    __atomic_store_n(&dp, static_cast<Display*>(nullptr), __ATOMIC_RELEASE);
    XCloseDisplay(hostDisplay);
}

TEST_F(Info, MessagesFromAnotherThreadWhileTheBoxPaintsAreNeverTorn)
{
    bwtest::StderrCapture capture;
    SInfo("start", "Blinkwatcher");
    SMessageDialog* box = Locked([] { return SInfoBox(); });
    constexpr int rounds = 40;
    std::atomic<bool> done{false};
    std::thread host([&] {
        for (int i = 0; i < rounds; ++i)
            SInfo(i % 2 ? "odd\nmessage" : "even", i % 2 ? "Odd title" : "Even title that is longer");
        done = true;
    });
    // Meanwhile the box is asked to paint again and again, and what is seen
    // under the lock is always one message's texts and layout.
    while (!done) {
        Locked([&] {
            box->Refresh();
            const std::string title = box->Title().Text();
            const char* message = title == "Odd title" ? "odd\nmessage" : title == "Blinkwatcher" ? "start" : "even";
            EXPECT_STREQ(box->Message().Text(), message) << title;
            const int tw = box->TitleFont()->TextWidth(box->Title().Text());
            const SMessageDialog::Extent m = SMessageDialog::Measure(box->Message().Text(), box->MessageFont());
            EXPECT_EQ(box->Width(), std::max(tw, m.width) + 64);
        });
        std::this_thread::yield();
    }
    host.join();
    MoveAside(box);
    Locked([&] { EXPECT_STREQ(box->Title().Text(), "Odd title"); });
    std::string lines = capture.Text();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), rounds + 1) << "every message on standard error";
    CloseWithOk(box);
}

}  // namespace
