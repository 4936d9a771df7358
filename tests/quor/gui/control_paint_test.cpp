// Painting and dispatch: a control paints when its own requests come back
// through the queue, read by the toolkit's own thread; hosts may also call
// "_XEventProc" without ever delivering anything twice.

#include "GuiFixture.h"  // first: gtest before Xlib

#include <X11/Xatom.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ProbeControl.h"
#include "plugin/PluginTestSupport.h"
#include "quor/gui/SAtoms.h"
#include "quor/gui/SWindowRegistry.h"
#include "quor/threading/STimer.h"

using namespace quor::gui;
using bwtest::Locked;
using bwtest::Probe;

namespace {

class ControlPaint : public bwtest::GuiTest {
protected:
    bwtest::Owned<Probe> Make(int style, int x, int y, int w, int h, unsigned long colour)
    {
        auto p = bwtest::MakeOwned<Probe>(&globals, nullptr, 1, style, x, y, w, h, colour);
        Locked([&] { p->Show(); });
        Settle();
        return p;
    }

    void SendClientMessage(Window w, const char* type)
    {
        bwtest::SendClientMessage(test, w, type);
        Settle();
    }
};

// A probe that takes a new colour on each left click.
class Switch : public Probe {
public:
    using Probe::Probe;
    void MouseStateChanged(bool* s, int code) override
    {
        Probe::MouseStateChanged(s, code);
        if (code == MS_LBUTTON || code == MS_LDOUBLE) {
            colour = next;
            Refresh();
        }
    }
    unsigned long next = 0;
};

TEST_F(ControlPaint, AClickRepaintsThroughTheToolkitsOwnDispatchAlone)
{
    auto owned = bwtest::MakeOwned<Switch>(&globals, nullptr, 1, 0, 30, 30, 40, 30, Rgb(200, 0, 0));
    Switch& s = *owned;
    s.next = Rgb(0, 200, 0);
    Locked([&] { s.Show(); });
    ASSERT_TRUE(WaitFor([&] { return PixelAt(&s, 20, 15) == Rgb(200, 0, 0); }));
    MoveTo(&s, 20, 15);
    auto start = std::chrono::steady_clock::now();
    Button(1, true);
    Button(1, false);
    // Nobody but the toolkit reads its connection here.
    ASSERT_TRUE(WaitFor([&] { return PixelAt(&s, 20, 15) == Rgb(0, 200, 0); }));
    auto took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    fprintf(stderr, "click to repaint: %.2f ms\n", took);
}

TEST_F(ControlPaint, QueuedExposesGiveOneDrawOfTheWholeClient)
{
    auto p = Make(0, 30, 30, 50, 40, Rgb(0, 0, 200));
    Locked([&] { p->Forget(); });
    {
        // The dispatcher cannot paint while the test holds the lock, so all
        // three arrive before the first is handled.
        quor::gui::SToolkitHold hold;
        for (int i = 0; i < 3; ++i) {
            XEvent e = {};
            e.xexpose.type = Expose;
            e.xexpose.window = p->GetWindow();
            e.xexpose.x = i;
            e.xexpose.width = 3;
            e.xexpose.height = 3;
            XSendEvent(test, p->GetWindow(), False, ExposureMask, &e);
        }
        XSync(test, False);
    }
    Settle();
    Locked([&] {
        ASSERT_EQ(p->draws.size(), 1u);
        EXPECT_EQ(p->draws[0], Rectangle(0, 0, 50, 40));
    });
    EXPECT_EQ(PixelAt(p.get(), 49, 39), Rgb(0, 0, 200));
}

TEST_F(ControlPaint, RefreshRequestsOnAnUnmappedControlSendNothing)
{
    auto owned = bwtest::MakeOwned<Probe>(&globals, nullptr, 1, 0, 30, 30, 50, 40, Rgb(0, 0, 200));
    Probe& p = *owned;
    Locked([&] {
        XLockDisplay(own);
        unsigned long before = NextRequest(own);
        p.Refresh();
        p.RefreshRectangle(Rectangle(0, 0, 5, 5));
        p.RefreshOutlines();
        p.RefreshArea(3);
        EXPECT_EQ(NextRequest(own), before);
        p.Show();  // maps and asks for the first paint
        EXPECT_GE(NextRequest(own), before + 2);
        XUnlockDisplay(own);
    });
    Settle();
    Locked([&] { EXPECT_FALSE(p.draws.empty()); });
}

TEST_F(ControlPaint, OnlyDialogsAndApplicationWindowsAnswerACloseRequest)
{
    auto child = Make(0, 10, 10, 20, 20, 0);
    auto dialog = Make(SCS_DIALOG, 40, 10, 20, 20, 0);
    auto rooted = Make(SCS_DIALOG | SCS_ROOTPARENT, 70, 10, 20, 20, 0);
    auto app = Make(SCS_APPWINDOW, 100, 10, 20, 20, 0);
    for (Probe* p : {child.get(), dialog.get(), rooted.get(), app.get()})
        SendClientMessage(p->GetWindow(), "WM_PROTOCOLS");
    Locked([&] {
        EXPECT_EQ(child->closes + child->stops, 0);
        EXPECT_EQ(dialog->closes, 1);
        EXPECT_EQ(rooted->closes + rooted->stops, 0);
        EXPECT_EQ(app->stops, 1);
    });
}

TEST_F(ControlPaint, WindowsAreMadeAsTheirKindAsks)
{
    // Window managers' atoms exist only when one runs: make them first.
    Atom motif = XInternAtom(test, "_MOTIF_WM_HINTS", False);
    XInternAtom(test, "WM_DELETE_WINDOW", False);
    XSync(test, False);
    auto top = Make(0, 10, 10, 80, 60, 0);
    auto* child = new Probe(&globals, top.get(), 2, SCS_BORDER, 5, 5, 20, 20, 0);  // a child: no border
    auto bordered = Make(SCS_DIALOG | SCS_ROOTPARENT | SCS_BORDER, 150, 10, 20, 20, 0);
    auto* dialog = new Probe(&globals, top.get(), 3, SCS_DIALOG, 30, 5, 20, 20, 0);
    auto app = Make(SCS_APPWINDOW, 100, 10, 40, 30, 0);
    Locked([&] {
        top->Add(child);
        top->Add(dialog);
    });
    auto parentOf = [this](Window w) {
        Window r, up = 0, *kids = nullptr;
        unsigned n;
        XQueryTree(test, w, &r, &up, &kids, &n);
        if (kids) XFree(kids);
        return up;
    };
    EXPECT_EQ(parentOf(child->GetWindow()), top->GetWindow());
    EXPECT_EQ(parentOf(dialog->GetWindow()), top->GetWindow());
    EXPECT_EQ(parentOf(app->GetWindow()), root);
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(test, child->GetWindow(), &a));
    EXPECT_EQ(a.border_width, 0);
    ASSERT_TRUE(XGetWindowAttributes(test, bordered->GetWindow(), &a));
    EXPECT_EQ(a.border_width, 3);
    EXPECT_FALSE(a.override_redirect) << "a bordered dialog is left to the window manager";
    EXPECT_EQ(parentOf(bordered->GetWindow()), root);
    ASSERT_TRUE(XGetWindowAttributes(test, app->GetWindow(), &a));
    EXPECT_TRUE(a.override_redirect);
    EXPECT_EQ(a.all_event_masks & 0x163A07F, 0x163A07F);
    ASSERT_TRUE(XGetWindowAttributes(test, dialog->GetWindow(), &a));
    EXPECT_EQ(a.all_event_masks & 0x163A07F, 0x228000) << "a dialog listens to exposure, structure and focus only";
    // Top-level windows: a name, a fixed size, the close protocol.
    char* title = nullptr;
    ASSERT_TRUE(XFetchName(test, app->GetWindow(), &title));
    EXPECT_STREQ(title, "probe");
    XFree(title);
    XSizeHints hints;
    long supplied;
    ASSERT_TRUE(XGetWMNormalHints(test, app->GetWindow(), &hints, &supplied));
    EXPECT_EQ(hints.flags & 0x78, 0x78);
    EXPECT_EQ(hints.min_width, 40);
    EXPECT_EQ(hints.max_height, 30);
    Atom* protocols = nullptr;
    int count = 0;
    ASSERT_TRUE(XGetWMProtocols(test, app->GetWindow(), &protocols, &count));
    EXPECT_EQ(count, 1);
    XFree(protocols);
    // Undecorated unless bordered: decorations field valid, no decorations.
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char* data = nullptr;
    XGetWindowProperty(test, app->GetWindow(), motif, 0, 4, False, AnyPropertyType, &type, &format, &items, &after,
                       &data);
    ASSERT_EQ(items, 4u);
    EXPECT_EQ(reinterpret_cast<long*>(data)[0], 2);
    EXPECT_EQ(reinterpret_cast<long*>(data)[2], 0);
    XFree(data);
    data = nullptr;
    XGetWindowProperty(test, child->GetWindow(), motif, 0, 4, False, AnyPropertyType, &type, &format, &items, &after,
                       &data);
    EXPECT_EQ(items, 0u);
    if (data) XFree(data);
}

TEST_F(ControlPaint, PaintMessagesDrawTheirParts)
{
    class Parts : public Probe {
    public:
        using Probe::Probe;
        void DrawArea(unsigned area) override { areas.push_back(area); }
        void DrawRegion(context::SDrawRegion* r) override { regions.push_back(r); }
        void DrawOutlines(const Rectangle& r) override { outlines.push_back(r); }
        std::vector<unsigned> areas;
        std::vector<context::SDrawRegion*> regions;
        std::vector<Rectangle> outlines;
    };
    auto owned = bwtest::MakeOwned<Parts>(&globals, nullptr, 1, 0, 30, 30, 50, 40, 0);
    Parts& p = *owned;
    Locked([&] { p.Show(); });
    Settle();
    // Any address must survive the trip, the upper half of a 64-bit one too.
    auto* region = reinterpret_cast<context::SDrawRegion*>(static_cast<uintptr_t>(0x12345678) |
                                                           (sizeof(void*) > 4 ? ~static_cast<uintptr_t>(0xFFFFFFFFu) : 0));
    Locked([&] {
        p.outlines.clear();
        p.RefreshArea(7);
        p.RefreshRegion(region);
        p.RefreshOutlines();
    });
    Settle();
    Locked([&] {
        EXPECT_EQ(p.areas, std::vector<unsigned>{7});
        EXPECT_EQ(p.regions, std::vector<context::SDrawRegion*>{region});
        EXPECT_EQ(p.outlines, std::vector<Rectangle>{Rectangle(0, 0, 50, 40)});
    });
}

TEST_F(ControlPaint, ARegionMessageFromAnotherClientDrawsNothing)
{
    class Regions : public Probe {
    public:
        using Probe::Probe;
        void DrawRegion(context::SDrawRegion* r) override { regions.push_back(r); }
        std::vector<context::SDrawRegion*> regions;
    };
    auto owned = bwtest::MakeOwned<Regions>(&globals, nullptr, 1, 0, 30, 30, 50, 40, 0);
    Regions& p = *owned;
    Locked([&] { p.Show(); });
    Settle();
    auto* region = reinterpret_cast<context::SDrawRegion*>(static_cast<uintptr_t>(0x1000));
    Locked([&] {
        p.RefreshRegion(region);
        p.RefreshRegion(region);
    });
    Settle();
    // What another client can send: any pair of numbers (an address, the
    // numbers just used, 0), each of which once reached DrawRegion as is.
    const long forged[][2] = {{0x12345678, static_cast<long>(0xFFFFFFFFu)}, {0x1000, 0}, {1, 0}, {2, 0}, {0, 0}};
    for (const auto& items : forged) {
        XEvent e = {};
        e.xclient.type = ClientMessage;
        e.xclient.window = p.GetWindow();
        e.xclient.message_type = XInternAtom(test, "WM_PAINT_REGION", False);
        e.xclient.format = 32;
        e.xclient.data.l[1] = items[0];
        e.xclient.data.l[2] = items[1];
        XSendEvent(test, p.GetWindow(), False, 0, &e);
    }
    Settle();
    Locked([&] { EXPECT_EQ(p.regions, (std::vector<context::SDrawRegion*>{region, region})); });
}

TEST_F(ControlPaint, HostsCallTheDispatcherNamedByTheWindowAndForeignEventsAreIgnored)
{
    auto p = Make(0, 30, 30, 50, 40, 0);
    Locked([&] { p->Forget(); });
    // As a host reads it: one 32-bit item (a long, on 64-bit hosts), called
    // as a function with the event.
    Atom proc = XInternAtom(test, "_XEventProc", False);
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char* data = nullptr;
    ASSERT_EQ(XGetWindowProperty(test, p->GetWindow(), proc, 0, 2, False, AnyPropertyType, &type, &format, &items,
                                 &after, &data),
              Success);
    ASSERT_EQ(format, 32);
    ASSERT_EQ(items, 1u);
    unsigned long address = *reinterpret_cast<unsigned long*>(data);
    XFree(data);
    ASSERT_NE(address, 0u);
    ASSERT_LE(address, 0xFFFFFFFFul);
    auto hostCall = reinterpret_cast<void (*)(XEvent*)>(address);

    XEvent e = {};
    e.xbutton.type = ButtonPress;
    e.xbutton.window = p->GetWindow();
    e.xbutton.button = 1;
    e.xbutton.time = 5000;
    // The same window on the host's own connection: not ours to handle.
    e.xbutton.display = test;
    hostCall(&e);
    EXPECT_TRUE(Locked([&] { return p->codes.empty(); }));
    e.xbutton.display = own;
    hostCall(&e);
    EXPECT_EQ(Locked([&] { return p->codes; }), std::vector<int>{MS_LBUTTON});

    // The window names its control by a key the registry knows.
    uint32_t key = 0;
    ASSERT_TRUE(Locked([&] { return SControl::getProperty(own, p->GetWindow(), SAtoms::Get(own, "_QUORWND"), &key); }));
    EXPECT_EQ(SWindowRegistry::FindKey(key), p.get());
}

TEST_F(ControlPaint, PropertyReadsOfAMissingWindowFailQuietly)
{
    uint32_t value = 7;
    Window gone = XCreateSimpleWindow(test, root, 0, 0, 1, 1, 0, 0, 0);
    XDestroyWindow(test, gone);
    XSync(test, False);
    Locked([&] {
        EXPECT_FALSE(SControl::getProperty(own, gone, SAtoms::Get(own, "_QUORWND"), &value));
        EXPECT_TRUE(SControl::xerror);
    });
    EXPECT_EQ(value, 7u);
    // A real error on the toolkit's connection is trapped, never fatal.
    uint64_t before = SXErrorTrap::Count();
    Locked([&] {
        XMapWindow(own, gone);
        XSync(own, False);
    });
    // Whichever thread reads the connection first handles the error.
    EXPECT_TRUE(WaitFor([&] { return SXErrorTrap::Count() == before + 1; }));
    trapped = SXErrorTrap::Count();  // expected: not a failure of this test
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    for (size_t from = 0, end; from < text.size(); from = end + 1) {
        end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(from, end - from));
    }
    return lines;
}

TEST_F(ControlPaint, TheErrorLogGivesOneLineAnErrorTenAnOpeningAndThenACount)
{
    Window gone = XCreateSimpleWindow(test, root, 0, 0, 1, 1, 0, 0, 0);
    XDestroyWindow(test, gone);
    XSync(test, False);
    auto fail = [&](int n) {
        const uint64_t before = SXErrorTrap::Count();
        Locked([&] {
            for (int i = 0; i < n; ++i) XMapWindow(own, gone);
            XSync(own, False);
        });
        EXPECT_TRUE(WaitFor([&] { return SXErrorTrap::Count() == before + static_cast<uint64_t>(n); }));
    };
    std::vector<std::string> first, second;
    {
        bwtest::StderrCapture capture;
        SXErrorTrap::BeginLog();
        fail(25);
        SXErrorTrap::EndLog();
        first = Lines(capture.Text());
    }
    {
        bwtest::StderrCapture capture;
        SXErrorTrap::BeginLog();
        fail(3);
        SXErrorTrap::EndLog();
        second = Lines(capture.Text());
    }
    trapped = SXErrorTrap::Count();  // expected: not a failure of this test
    char id[32];
    snprintf(id, sizeof id, "XID 0x%lx", static_cast<unsigned long>(gone));
    const std::string one = std::string("XError Message: BadWindow (invalid Window parameter); request 8 (X_MapWindow), "
                                        "minor 0, serial ");
    ASSERT_EQ(first.size(), 11u) << testing::PrintToString(first);
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(first[i].compare(0, one.size(), one), 0) << first[i];
        EXPECT_NE(first[i].find(id), std::string::npos) << first[i];
    }
    EXPECT_EQ(first[10], "XError Message: 15 more X errors not shown (25 since the editor opened)");
    // The next opening has its ten lines again, and no count when all showed.
    ASSERT_EQ(second.size(), 3u) << testing::PrintToString(second);
    for (const std::string& line : second) EXPECT_EQ(line.compare(0, one.size(), one), 0) << line;
}

TEST_F(ControlPaint, WindowsAnotherClientDestroysAreForgottenWithoutAnError)
{
    Window host = XCreateSimpleWindow(test, root, 100, 100, 80, 80, 0, 0, 0);
    XMapWindow(test, host);
    XSync(test, False);
    auto parent = Make(0, 0, 0, 60, 60, Rgb(0, 0, 200));
    auto* child = new Probe(&globals, parent.get(), 2, 0, 5, 5, 20, 20, Rgb(200, 0, 0));
    Locked([&] {
        parent->Add(child);
        child->Show();
        parent->Reparent(static_cast<int>(host));
    });
    Settle();
    const Window was = parent->GetWindow(), childWas = child->GetWindow();
    ASSERT_NE(was, 0u);
    // The host's window goes, and ours inside it.
    XDestroyWindow(test, host);
    XSync(test, False);
    Locked([&] {
        // Sent before the DestroyNotify is handled: an error, and no fault.
        XMapWindow(own, was);
        XSync(own, False);
        SControl::CollectDestroyed(own);
        EXPECT_EQ(parent->GetWindow(), 0u);
        EXPECT_EQ(child->GetWindow(), 0u);
        EXPECT_EQ(SWindowRegistry::Find(own, was), nullptr);
        EXPECT_EQ(SWindowRegistry::Find(own, childWas), nullptr);
        // Nothing is asked of them any more.
        parent->Hide();
        parent->Show();
        child->Refresh();
        parent->Reparent(0);
    });
    parent.reset();
    Settle();
    // The teardown fails on any error counted on the toolkit's connection.
}

TEST_F(ControlPaint, FocusGoesOnlyToViewableWindows)
{
    auto parent = Make(0, 30, 30, 80, 60, 0);
    auto* child = new Probe(&globals, parent.get(), 2, 0, 5, 5, 20, 20, 0);
    Locked([&] {
        parent->Add(child);
        child->Show();
        parent->Hide();
        // Mapped inside an unmapped parent: not viewable. Asking the server
        // would be an error that ends a host.
        child->Focus(true);
        child->Focus(false);
    });
    Settle();
    Window focus;
    int revert;
    XGetInputFocus(test, &focus, &revert);
    EXPECT_NE(focus, child->GetWindow());
}

TEST_F(ControlPaint, RoundShapeCutsTheCorners)
{
    const int W = 30, H = 20;
    Backdrop(200, 200, 60, 60, Rgb(255, 255, 255));
    auto owned = bwtest::MakeOwned<Probe>(&globals, nullptr, 1, 0, 210, 210, W, H, Rgb(255, 0, 0));
    Probe& p = *owned;
    Locked([&] {
        p.Show();
        p.SetRoundShape(true);
    });
    Settle();
    ASSERT_TRUE(WaitFor([&] { return ScreenPixel(210 + W / 2, 210 + H / 2) == Rgb(255, 0, 0); }));
    // Pixels cut from the top-left corner; the others mirror it.
    auto cut = [](int x, int y) { return (y == 0 && x < 5) || (y == 1 && x < 3) || (y == 2 && x < 2) || (y < 5 && y >= 3 && x < 1); };
    XImage* image = XGetImage(test, root, 210, 210, W, H, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    std::string got, want;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            got += XGetPixel(image, x, y) == Rgb(255, 0, 0) ? '#' : '.';
            int mx = x < W / 2 ? x : W - 1 - x, my = y < H / 2 ? y : H - 1 - y;
            want += cut(mx, my) ? '.' : '#';
        }
        got += '\n';
        want += '\n';
    }
    XDestroyImage(image);
    EXPECT_EQ(got, want);
    Locked([&] { p.SetRoundShape(false); });
    Settle();
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(210, 210) == Rgb(255, 0, 0); }));
}

TEST_F(ControlPaint, DestroyingAControlWaitsForItsTimerEventInProgress)
{
    class Slow : public Probe {
    public:
        Slow(SGlobals* g, std::atomic<int>* calls_, std::atomic<bool>* finished_)
            : Probe(g, nullptr, 1, 0, 10, 10, 10, 10, 0), calls(calls_), finished(finished_)
        {
        }
        // Its own timer's events reach this class: stop them while it is
        // still whole.
        ~Slow() override { CleanUp(); }
        void ParseEvent(SEvent*) override
        {
            ++*calls;
            finished->store(false);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            finished->store(true);
        }
        std::atomic<int>* calls;
        std::atomic<bool>* finished;
    };
    std::atomic<int> calls{0};
    std::atomic<bool> finished{false};
    auto* slow = new Slow(&globals, &calls, &finished);
    Locked([&] {
        slow->EnableEventHandler(EVENT_TIMER);
        slow->AddEventListener(slow, EVENT_TIMER);
        slow->CreateTimer(1, true);
    });
    ASSERT_TRUE(WaitFor([&] { return calls.load() >= 3; }));
    bwtest::LockedDelete()(slow);
    // No delivery was cut short, and none comes after.
    EXPECT_TRUE(finished.load());
    int after = calls.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(calls.load(), after);
}

}  // namespace
