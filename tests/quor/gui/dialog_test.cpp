// Dialogs and the message box on a real X server: what construction makes,
// the layout to the texts, the pixels painted, which clicks close it (XTest),
// and the modal loop from a thread and from inside an event handler.

#include "GuiFixture.h"  // first: gtest before Xlib

#include <atomic>

#include "plugin/SStaticData.h"
#include "quor/gui/SAtoms.h"
#include "quor/gui/SCursor.h"
#include "quor/gui/SMessageDialog.h"
#include "quor/gui/context/SDrawFont.h"

using namespace quor::gui;
using bwtest::Locked;

namespace {

class Dialogs : public bwtest::GuiTest {
protected:
    bool Viewable(Window w)
    {
        XWindowAttributes a;
        return XGetWindowAttributes(test, w, &a) && a.map_state == IsViewable;
    }
    void WaitViewable(SControl* c, bool viewable)
    {
        Window w = Locked([&] { return c->GetWindow(); });
        ASSERT_TRUE(WaitFor([&] { return Viewable(w) == viewable; })) << "still " << !viewable;
    }
    // How many pixels of a control the screen shows in `rgb`.
    int Count(SControl* c, unsigned long rgb)
    {
        Point at = OnScreen(c, 0, 0);
        Rectangle r = Locked([&] { return c->GetClientRect(); });
        XImage* image = XGetImage(test, root, at.x, at.y, static_cast<unsigned>(r.Width()),
                                  static_cast<unsigned>(r.Height()), AllPlanes, ZPixmap);
        if (!image) return -1;
        int n = 0;
        for (int y = 0; y < r.Height(); ++y)
            for (int x = 0; x < r.Width(); ++x) n += XGetPixel(image, x, y) == rgb;
        XDestroyImage(image);
        return n;
    }
    // Presses and lets go without waiting for the dispatch: a modal loop
    // inside a handler holds the dispatching thread.
    void RawClick(SControl* c, int x, int y, unsigned button = 1)
    {
        MoveTo(c, x, y);
        Button(button, true);
        Button(button, false);
    }
    void SendClose(SControl* c)
    {
        XEvent e = {};
        e.xclient.type = ClientMessage;
        e.xclient.window = Locked([&] { return c->GetWindow(); });
        e.xclient.message_type = SAtoms::Get(test, "WM_PROTOCOLS");
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(SAtoms::Get(test, "WM_DELETE_WINDOW"));
        XSendEvent(test, e.xclient.window, False, 0, &e);
        XSync(test, False);
    }
};

TEST_F(Dialogs, AMessageBoxIsBuiltOnItsOwnResourcesAndOnTheToolkitsConnection)
{
    // An editor has handed over the host's display: the box still goes to
    // our own connection, where the toolkit's thread serves it.
    Display* hostDisplay = XOpenDisplay(DisplayString(own));
    ASSERT_NE(hostDisplay, nullptr);
    __atomic_store_n(&dp, hostDisplay, __ATOMIC_RELEASE);
    auto box = bwtest::MakeOwned<SMessageDialog>();
    __atomic_store_n(&dp, static_cast<Display*>(nullptr), __ATOMIC_RELEASE);
    Locked([&] {
        EXPECT_EQ(box->GetDisplay(), own);
        EXPECT_EQ(std::string(box->GetName().Text()).rfind("SDialog (ID ", 0), 0u) << box->GetName().Text();
        EXPECT_EQ(box->GetId(), 0u);
        EXPECT_EQ(box->Style() & ~SCS_CHILDREN, 0x880101u);
        EXPECT_EQ(box->GetRect(), Rectangle(0, 0, 320, 240));
        ASSERT_NE(box->DialogGlobals(), nullptr);
        EXPECT_EQ(box->DialogGlobals()->cursor, box->Cursor());
        EXPECT_EQ(box->Cursor()->GetWindow(), box->GetWindow());
        EXPECT_NE(box->Cursor()->GetCursor(), 0u);
        EXPECT_TRUE(box->TitleFont()->Bold());
        EXPECT_EQ(box->TitleFont()->Size(), 10);
        EXPECT_EQ(box->MessageFont()->Size(), 7);
        EXPECT_FALSE(box->MessageFont()->Bold());
        SControl* children[] = {box->TitleLabel(), box->MessageLabel(), box->MessageButton()};
        const Rectangle places[] = {Rectangle(10, 10, 310, 40), Rectangle(10, 40, 310, 190),
                                    Rectangle(140, 200, 180, 220)};
        for (unsigned i = 0; i < 3; ++i) {
            EXPECT_EQ(children[i]->GetId(), i + 1);
            EXPECT_EQ(children[i]->GetGlobals(), box->DialogGlobals());
            EXPECT_EQ(children[i]->GetRect(), places[i]);
            EXPECT_EQ(children[i]->GetDisplay(), own);
        }
        EXPECT_EQ(box->MessageButton()->Type(), BUTTON_TRIGGER);
        EXPECT_STREQ(box->MessageButton()->GetLabel()->Text(), "OK");
        EXPECT_FALSE(box->Shown());
    });
    XCloseDisplay(hostDisplay);
}

TEST_F(Dialogs, TheBoxIsSizedToTheMessageAndTheTitle)
{
    auto box = bwtest::MakeOwned<SMessageDialog>();
    Locked([&] {
        context::SDrawFont* font = box->MessageFont();
        const int line = font->Ascent() + font->Descent();
        ASSERT_GT(line, 0) << "core fonts missing";
        const char* title = "A title wider than both lines";
        const int tw = box->TitleFont()->TextWidth(title);
        ASSERT_GT(tw, font->TextWidth("second line"));
        box->SetMessage("first\nsecond line", title);
        EXPECT_EQ(box->GetRect(), Rectangle(0, 0, tw + 64, 2 * line + 128));
        EXPECT_EQ(box->TitleLabel()->GetRect(), Rectangle(10, 10, tw + 54, 30));
        EXPECT_EQ(box->MessageLabel()->GetRect(), Rectangle(10, 40, tw + 54, 2 * line + 78));
        EXPECT_EQ(box->MessageButton()->GetRect().left, (tw + 64) / 2 - 20);
        EXPECT_EQ(box->MessageButton()->GetRect().top, 2 * line + 88);
        EXPECT_STREQ(box->Title().Text(), title);

        // No message: no line height at all; no text at all: the minimal box.
        box->SetMessage("", "Title");
        const int short_ = box->TitleFont()->TextWidth("Title");
        EXPECT_EQ(box->GetRect(), Rectangle(0, 0, short_ + 64, 128));
        EXPECT_EQ(box->MessageButton()->GetRect(), Rectangle((short_ + 64) / 2 - 20, 88, (short_ + 64) / 2 + 20, 108));
        box->SetMessage(nullptr, nullptr);
        EXPECT_EQ(box->GetRect(), Rectangle(0, 0, 64, 128));
        EXPECT_STREQ(box->Message().Text(), "");

        // Empty lines count the line before them; a trailing line feed adds one.
        EXPECT_EQ(SMessageDialog::Measure("A\n\nB", font).height, 3 * line);
        EXPECT_EQ(SMessageDialog::Measure("\nA", font).height, 2 * line);
        EXPECT_EQ(SMessageDialog::Measure("wide\n", font).width, font->TextWidth("wide"));
        EXPECT_EQ(SMessageDialog::Measure("x", nullptr).width, 0);
        EXPECT_EQ(SMessageDialog::Measure("", font).height, 0);
    });
}

TEST_F(Dialogs, TheBoxPaintsAndOnlyALeftClickOnOkClosesIt)
{
    auto box = bwtest::MakeOwned<SMessageDialog>();
    Locked([&] {
        box->SetPosition(700, 600);
        box->ShowMessage("Failed to load plugin\n(Reason: System not supported)", "Blinkwatcher");
    });
    WaitViewable(box.get(), true);
    Settle();
    const int W = Locked([&] { return box->Width(); });
    EXPECT_EQ(PixelAt(box.get(), 5, 60), Rgb(0, 0, 0)) << "edge markers";
    EXPECT_EQ(PixelAt(box.get(), W / 2, 35), Rgb(77, 81, 84)) << "background between the labels";
    EXPECT_GT(Count(box->TitleLabel(), Rgb(255, 255, 255)), 10) << "title text";
    EXPECT_GT(Count(box->MessageLabel(), Rgb(255, 255, 255)), 10) << "message text";
    SButton<false>* ok = box->MessageButton();
    EXPECT_EQ(PixelAt(ok, 4, 10), Rgb(44, 44, 44));

    Click(ok, 20, 10, 3);
    Click(ok, 20, 10, 2);
    EXPECT_TRUE(Locked([&] { return box->Shown(); }));
    EXPECT_TRUE(Viewable(box->GetWindow()));
    Click(ok, 20, 10, 1);
    WaitViewable(box.get(), false);
    Locked([&] {
        EXPECT_FALSE(box->Shown());
        EXPECT_EQ(ok->GetValue(), 0);
    });
}

TEST_F(Dialogs, AModalLoopWaitsForTheDispatchingThreadOrRunsInsideIt)
{
    auto box = bwtest::MakeOwned<SMessageDialog>();
    // From a thread of its own: it waits; the OK click or a close request
    // that the dispatching thread handles ends it.
    for (bool byClick : {true, false}) {
        std::atomic<bool> returned{false};
        std::thread modal([&] {
            Locked([&] {
                box->SetPosition(700, 600);
                box->ShowModal("one line", "A title wider than the line itself");
            });
            returned = true;
        });
        WaitViewable(box.get(), true);
        Locked([&] {
            EXPECT_TRUE(box->ModalRunning());
            // The title does not widen a modal box.
            EXPECT_EQ(box->Width(), box->MessageFont()->TextWidth("one line") + 64);
        });
        if (byClick)
            Click(box->MessageButton(), 20, 10);
        else
            SendClose(box.get());
        EXPECT_TRUE(WaitFor([&] { return returned.load(); }));
        modal.join();
        WaitViewable(box.get(), false);
        EXPECT_FALSE(box->ModalRunning());
    }

    // From a handler on the dispatching thread: the loop reads the events
    // itself, so OK still closes it; a close request returns at once and
    // leaves the box to the caller.
    struct Opener : SControl {
        using SControl::SControl;
        void ParseEvent(SEvent*) override
        {
            box->ShowModal("nested", "T");
            ++returns;
        }
        SMessageDialog* box = nullptr;
        int returns = 0;
    };
    auto opener = bwtest::MakeOwned<Opener>(&globals);
    auto label = bwtest::MakeOwned<SLabel<false>>(&globals, nullptr, 7, "open", 0, 1100, 950, 40, 20, 0, false);
    Locked([&] {
        opener->box = box.get();
        box->SetPosition(700, 600);
        label->AddEventListener(opener.get(), EVENT_CONTROL);
        label->Show();
    });
    Settle();
    RawClick(label.get(), 10, 10);
    WaitViewable(box.get(), true);
    RawClick(box->MessageButton(), 20, 10);
    ASSERT_TRUE(WaitFor([&] { return Locked([&] { return opener->returns; }) == 1; }));
    WaitViewable(box.get(), false);

    RawClick(label.get(), 10, 10);
    WaitViewable(box.get(), true);
    SendClose(box.get());
    ASSERT_TRUE(WaitFor([&] { return Locked([&] { return opener->returns; }) == 2; }));
    Settle();
    Locked([&] {
        EXPECT_TRUE(box->Shown());
        EXPECT_TRUE(box->ModalRunning());
        box->CloseDialog();
        EXPECT_FALSE(box->ModalRunning());
    });
}

}  // namespace
