// Dialogs, the message box and SInfo on a real X server: what construction
// makes, the layout to the texts, the pixels painted, which clicks close it
// (XTest), modal loops, and messages from another thread while it paints.

#include "GuiFixture.h"  // first: gtest before Xlib

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <vector>

#include "plugin/PluginTestSupport.h"
#include "quor/gui/SAtoms.h"
#include "quor/gui/SCursor.h"
#include "quor/gui/SDisplay.h"
#include "quor/gui/SInfo.h"
#include "quor/gui/SMessageDialog.h"
#include "quor/gui/context/SDrawFont.h"
#include "quor/system/SSystemData.h"

using namespace quor::gui;
using bwtest::Locked;

namespace {

class Dialogs : public bwtest::GuiTest {
protected:
    void WaitViewable(SControl* c, bool viewable)
    {
        XWindowAttributes a;
        ASSERT_TRUE(WaitFor([&] {
            return XGetWindowAttributes(test, c->GetWindow(), &a) && (a.map_state == IsViewable) == viewable;
        }));
    }
    // Every box starts at the centre of a server that test programs share:
    // ours is looked at and clicked where no other test looks.
    void MoveAside(SMessageDialog* box)
    {
        Locked([&] {
            box->SetPosition(700, 700);
            box->Foreground(true);
        });
        Settle();
    }
    // Pressed and let go without waiting for the dispatch, which a modal
    // loop inside a handler holds.
    void RawClick(SControl* c, int x, int y)
    {
        MoveTo(c, x, y);
        Button(1, true);
        Button(1, false);
    }
    void SendClose(SControl* c)
    {
        XEvent e = {};
        e.xclient.type = ClientMessage;
        e.xclient.window = c->GetWindow();
        e.xclient.message_type = SAtoms::Get(test, "WM_PROTOCOLS");
        e.xclient.format = 32;
        XSendEvent(test, e.xclient.window, False, 0, &e);
        XSync(test, False);
    }
    void ExpectCentred(SMessageDialog* box)
    {
        Locked([&] {
            Rectangle m = sd.DisplayInfo()->MonitorRect(box);
            EXPECT_EQ(box->GetScreenPosition(), Point(m.left + ((m.Width() - box->Width()) >> 1),
                                                      m.top + ((m.Height() - box->Height()) >> 1)));
        });
    }
};

TEST_F(Dialogs, ABoxHasItsOwnResourcesLivesOnOurConnectionAndIsSizedToItsTexts)
{
    // Even after the host handed over its display.
    Display* host = XOpenDisplay(DisplayString(own));
    __atomic_store_n(&dp, host, __ATOMIC_RELEASE);
    auto box = bwtest::MakeOwned<SMessageDialog>();
    __atomic_store_n(&dp, static_cast<Display*>(nullptr), __ATOMIC_RELEASE);
    XCloseDisplay(host);
    Locked([&] {
        EXPECT_EQ(std::string(box->GetName().Text()).rfind("SDialog (ID ", 0), 0u);
        EXPECT_EQ(box->GetId(), 0u);
        EXPECT_EQ(box->Style() & ~SCS_CHILDREN, 0x880101u);
        EXPECT_EQ(box->DialogGlobals()->cursor, box->Cursor());
        EXPECT_EQ(box->Cursor()->GetWindow(), box->GetWindow());
        EXPECT_TRUE(box->TitleFont()->Bold() && box->TitleFont()->Size() == 10);
        EXPECT_EQ(box->MessageFont()->Size(), 7);
        SControl* children[] = {box->TitleLabel(), box->MessageLabel(), box->MessageButton()};
        const Rectangle places[] = {Rectangle(10, 10, 310, 40), Rectangle(10, 40, 310, 190),
                                    Rectangle(140, 200, 180, 220)};
        for (unsigned i = 0; i < 3; ++i) {
            EXPECT_EQ(children[i]->GetId(), i + 1);
            EXPECT_EQ(children[i]->GetGlobals(), box->DialogGlobals());
            EXPECT_EQ(children[i]->GetRect(), places[i]);
            EXPECT_EQ(children[i]->GetDisplay(), own);
        }

        context::SDrawFont* font = box->MessageFont();
        const int line = font->Ascent() + font->Descent();
        const char* title = "A title wider than both lines";
        const int tw = box->TitleFont()->TextWidth(title);
        ASSERT_GT(tw, font->TextWidth("second line"));
        box->SetMessage("first\nsecond line", title);
        EXPECT_EQ(box->GetRect(), Rectangle(0, 0, tw + 64, 2 * line + 128));
        EXPECT_EQ(box->TitleLabel()->GetRect(), Rectangle(10, 10, tw + 54, 30));
        EXPECT_EQ(box->MessageLabel()->GetRect(), Rectangle(10, 40, tw + 54, 2 * line + 78));
        EXPECT_EQ(box->MessageButton()->GetRect(), Rectangle((tw + 64) / 2 - 20, 2 * line + 88, (tw + 64) / 2 + 20,
                                                             2 * line + 108));
        // No message: no line height at all; no texts at all: the minimal box.
        box->SetMessage("", title);
        EXPECT_EQ(box->GetRect(), Rectangle(0, 0, tw + 64, 128));
        EXPECT_EQ(box->MessageButton()->GetRect().top, 88);
        box->SetMessage(nullptr, nullptr);
        EXPECT_EQ(box->GetRect(), Rectangle(0, 0, 64, 128));
        EXPECT_EQ(SMessageDialog::Measure("A\n\nB", font).height, 3 * line);
        EXPECT_EQ(SMessageDialog::Measure("wide\n", font).height, 2 * line);
        EXPECT_EQ(SMessageDialog::Measure("x", nullptr).width, 0);
    });
}

TEST_F(Dialogs, SInfoShowsTheBoxWithoutAnEditorReusesItAndOnlyALeftClickOnOkClosesIt)
{
    // With an editor open on the host's display, too: the box paints on ours.
    Display* host = XOpenDisplay(DisplayString(own));
    __atomic_store_n(&dp, host, __ATOMIC_RELEASE);
    bwtest::StderrCapture capture;
    SInfo("Failed to load bank\n(Reason: Saved with newer version)", "Blinkwatcher");
    SMessageDialog* box = Locked([] { return SInfoBox(); });
    ASSERT_NE(box, nullptr);
    WaitViewable(box, true);
    ExpectCentred(box);
    const int first = Locked([&] { return box->Width(); });
    SInfo("Short", "A much longer title than the message before it had");
    EXPECT_EQ(Locked([] { return SInfoBox(); }), box);
    Locked([&] {
        EXPECT_STREQ(box->Message().Text(), "Short");
        EXPECT_STREQ(box->TitleLabel()->GetLabel()->Text(), "A much longer title than the message before it had");
        EXPECT_NE(box->Width(), first);
    });
    ExpectCentred(box);
    EXPECT_EQ(capture.Text(), bwtest::InfoLine("Blinkwatcher", "Failed to load bank\n(Reason: Saved with newer version)") +
                                  "A much longer title than the message before it had: Short\n");

    MoveAside(box);
    EXPECT_EQ(PixelAt(box, 5, 60), Rgb(0, 0, 0)) << "edge markers";
    EXPECT_EQ(PixelAt(box, first / 2, 35), Rgb(77, 81, 84)) << "background between the labels";
    SButton<false>* ok = box->MessageButton();
    EXPECT_EQ(PixelAt(ok, 4, 10), Rgb(44, 44, 44));
    int ink = 0;
    for (int x = 0; x < 200; ++x) ink += PixelAt(box->TitleLabel(), x, 10) == Rgb(255, 255, 255);
    EXPECT_GT(ink, 5) << "title text";
    Click(ok, 20, 10, 3);
    Click(ok, 20, 10, 2);
    EXPECT_TRUE(Locked([&] { return box->Shown(); }));
    Click(ok, 20, 10, 1);
    WaitViewable(box, false);
    EXPECT_FALSE(Locked([&] { return box->Shown(); }));
    __atomic_store_n(&dp, static_cast<Display*>(nullptr), __ATOMIC_RELEASE);
    XCloseDisplay(host);
}

// The box takes the factor when it appears: the same picture, each pixel a
// block, and its button where it is drawn.
TEST_F(Dialogs, TheBoxIsShownEnlargedAtTheFactorChosenWhenItAppears)
{
    auto grab = [&](SControl* c, std::vector<unsigned long>& pixels) {
        const int w = Locked([&] { return c->Width() * c->Scale(); });
        const int h = Locked([&] { return c->Height() * c->Scale(); });
        pixels.clear();
        XImage* image = XGetImage(test, c->GetWindow(), 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h),
                                  AllPlanes, ZPixmap);
        if (!image) return;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) pixels.push_back(XGetPixel(image, x, y));
        XDestroyImage(image);
    };
    auto show = [&](const char* factor) {
        if (factor)
            setenv("BLINKWATCHER_SCALE", factor, 1);
        else
            unsetenv("BLINKWATCHER_SCALE");
        bwtest::StderrCapture quiet;
        SInfo("Failed to load plugin\n(Reason: test)", "Blinkwatcher");
        SMessageDialog* box = Locked([] { return SInfoBox(); });
        Locked([&] {
            box->SetPosition(100, 100);
            box->Foreground(true);
        });
        WaitViewable(box, true);
        Settle();
        return box;
    };
    std::vector<unsigned long> small, big;
    SMessageDialog* box = show(nullptr);
    const int w = Locked([&] { return box->Width(); }), h = Locked([&] { return box->Height(); });
    ASSERT_TRUE(WaitFor([&] {
        std::vector<unsigned long> before = small;
        grab(box, small);
        return small.size() == static_cast<size_t>(w * h) && small == before;
    }));
    for (int s : {2, 3}) {
        box = show(s == 2 ? "2" : "3");
        EXPECT_EQ(Locked([&] { return box->Width(); }), w) << "its own size stays";
        int differing = -1;
        WaitFor([&] {
            grab(box, big);
            if (big.size() != static_cast<size_t>(w * h * s * s)) return false;
            differing = 0;
            for (int y = 0; y < h * s; ++y)
                for (int x = 0; x < w * s; ++x)
                    differing += big[static_cast<size_t>(y * w * s + x)] != small[static_cast<size_t>(y / s * w + x / s)];
            return differing == 0;
        });
        EXPECT_EQ(differing, 0) << "pixels not the 1x ones at " << s;
        Click(box->MessageButton(), 20, 10, 1);
        WaitViewable(box, false);
    }
    unsetenv("BLINKWATCHER_SCALE");
    Locked([&] { box->SetScale(1); });
}

TEST_F(Dialogs, MessagesFromAnotherThreadWhileTheBoxPaintsAreNeverTorn)
{
    bwtest::StderrCapture capture;
    SInfo("start", "Blinkwatcher");
    SMessageDialog* box = Locked([] { return SInfoBox(); });
    std::atomic<bool> done{false};
    std::thread host([&] {
        for (int i = 0; i < 40; ++i) SInfo(i % 2 ? "odd\nmessage" : "even", i % 2 ? "Odd" : "Even title, longer");
        done = true;
    });
    while (!done) {
        Locked([&] {
            box->Refresh();
            const std::string title = box->Title().Text();
            EXPECT_STREQ(box->Message().Text(), title == "Odd" ? "odd\nmessage" : title == "Blinkwatcher" ? "start" : "even");
            const int tw = box->TitleFont()->TextWidth(title.c_str());
            EXPECT_EQ(box->Width(), std::max(tw, SMessageDialog::Measure(box->Message().Text(), box->MessageFont()).width) + 64);
        });
    }
    host.join();
    std::string lines = capture.Text();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 41) << "every message on standard error";
    MoveAside(box);
    Click(box->MessageButton(), 20, 10);
    WaitViewable(box, false);
}

TEST_F(Dialogs, TheBoxShowsTheMessageThatTheLogEndsWith)
{
    bwtest::StderrCapture capture;
    SMessageDialog* box = nullptr;
    std::thread other;
    {
        // Another thread's message comes while this one holds the lock; it
        // may only be logged once it is shown too.
        SToolkitHold hold;
        other = std::thread([] { SInfo("from the other thread", "Blinkwatcher"); });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        SInfo("from this thread", "Blinkwatcher");
        box = SInfoBox();
    }
    other.join();
    const std::string log = capture.Text();
    ASSERT_NE(box, nullptr);
    const std::string last = log.substr(log.rfind('\n', log.size() - 2) + 1);
    EXPECT_EQ(last, bwtest::InfoLine("Blinkwatcher", Locked([&] { return std::string(box->Message().Text()); })))
        << "log:\n" << log;
    MoveAside(box);
    Click(box->MessageButton(), 20, 10);
    WaitViewable(box, false);
}

TEST_F(Dialogs, AModalLoopWaitsForTheDispatchingThreadOrReadsTheEventsInsideIt)
{
    auto box = bwtest::MakeOwned<SMessageDialog>();
    // From a thread of its own it waits: OK, or a close request that the
    // dispatching thread hands to the dialog, ends it.
    for (bool byClick : {true, false}) {
        std::thread modal([&] {
            Locked([&] {
                box->SetPosition(700, 700);
                box->ShowModal("one line", "A title wider than the line itself");
            });
        });
        WaitViewable(box.get(), true);
        // The title does not widen a modal box.
        EXPECT_EQ(Locked([&] { return box->Width(); }), box->MessageFont()->TextWidth("one line") + 64);
        if (byClick)
            Click(box->MessageButton(), 20, 10);
        else
            SendClose(box.get());
        modal.join();
        EXPECT_FALSE(box->ModalRunning());
    }
    // Opened from a handler on the dispatching thread, it reads the events
    // itself: OK closes it; a close request returns and leaves it shown.
    struct Opener : SControl {
        using SControl::SControl;
        void ParseEvent(SEvent*) override { box->ShowModal("nested", "T"), ++returns; }
        SMessageDialog* box = nullptr;
        int returns = 0;
    };
    auto opener = bwtest::MakeOwned<Opener>(&globals);
    auto label = bwtest::MakeOwned<SLabel<false>>(&globals, nullptr, 7, "open", 0, 1100, 950, 40, 20, 0, false);
    Locked([&] {
        opener->box = box.get();
        label->AddEventListener(opener.get(), EVENT_CONTROL);
        label->Show();
    });
    Settle();
    for (int round = 1; round <= 2; ++round) {
        RawClick(label.get(), 10, 10);
        WaitViewable(box.get(), true);
        if (round == 1)
            RawClick(box->MessageButton(), 20, 10);
        else
            SendClose(box.get());
        ASSERT_TRUE(WaitFor([&] { return Locked([&] { return opener->returns; }) == round; }));
    }
    Locked([&] {
        EXPECT_TRUE(box->Shown() && box->ModalRunning());
        box->CloseDialog();
    });
}

}  // namespace
