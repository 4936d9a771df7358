// Windows with children, the generic loop, and events between controls.

#include "GuiFixture.h"  // first: gtest before Xlib

#include <memory>
#include <thread>

#include "ProbeControl.h"
#include "quor/gui/SLabel.h"

using namespace quor::gui;
using bwtest::Locked;
using bwtest::Probe;

namespace {

class Windows : public bwtest::GuiTest {};

// Notes its deletion in a shared list.
class Noted : public SWindow {
public:
    Noted(SGlobals* g, SControl* parent, unsigned id, std::vector<unsigned>* deleted_)
        : SWindow(g, parent, id, "noted", 0, 0, 0, 10, 10, 0, false), deleted(deleted_)
    {
    }
    ~Noted() override { deleted->push_back(GetId()); }
    std::vector<unsigned>* deleted;
};

TEST_F(Windows, ChildrenAreOwnedAndDeletedLastAddedFirst)
{
    std::vector<unsigned> deleted;
    auto* top = new Noted(&globals, nullptr, 1, &deleted);
    Locked([&] {
        auto* a = new Noted(&globals, top, 7, &deleted);
        auto* b = new Noted(&globals, top, 3, &deleted);
        auto* c = new Noted(&globals, top, 9, &deleted);
        auto* grandchild = new Noted(&globals, b, 42, &deleted);
        b->Add(grandchild);
        top->Add(a);
        top->Add(b);
        top->Add(c);
        top->Add(nullptr);
        EXPECT_EQ(top->LowestId(), 3);
        EXPECT_EQ(top->HighestId(), 9);
        EXPECT_TRUE(top->Style() & SCS_CHILDREN);
        // Found through the intermediate child, by id and by window.
        EXPECT_TRUE(top->IsSubcontrol(42u));
        EXPECT_FALSE(top->IsSubcontrol(43u));
        EXPECT_TRUE(top->IsSubcontrol(static_cast<int>(grandchild->GetWindow())));
        EXPECT_FALSE(a->IsSubcontrol(static_cast<int>(grandchild->GetWindow())));

        top->Remove(c, true);
        SWindow stranger(&globals, nullptr, 77, "stranger", 0, 0, 0, 5, 5, 0, false);
        top->Remove(&stranger, true);  // not a child: left alone
        EXPECT_EQ(deleted, std::vector<unsigned>{9});
        EXPECT_TRUE(top->Style() & SCS_CHILDREN);
        delete top;
    });
    // The window's own destructor body runs first; then its children go,
    // the last added first, each with its own children.
    EXPECT_EQ(deleted, (std::vector<unsigned>{9, 1, 3, 42, 7}));
}

TEST_F(Windows, RemovingTheLastChildClearsTheChildrenBit)
{
    auto owned = bwtest::MakeOwned<SWindow>(&globals, nullptr, 1, "top", 0, 0, 0, 10, 10, 0, false);
    SWindow& top = *owned;
    auto* only = new SWindow(&globals, &top, 2, "only", 0, 0, 0, 5, 5, 0, false);
    Locked([&] {
        top.Add(only);
        top.Remove(only, true);
        EXPECT_FALSE(top.Style() & SCS_CHILDREN);
        EXPECT_TRUE(top.Children().empty());
        top.WindowMaximize(true);
        EXPECT_FALSE(top.Flags() & SCF_RESTORED);
        top.WindowMaximize(false);
        EXPECT_TRUE(top.Flags() & SCF_RESTORED);
    });
}

TEST_F(Windows, EnableAndModifiersReachEveryChild)
{
    auto owned = bwtest::MakeOwned<SWindow>(&globals, nullptr, 1, "top", 0, 0, 0, 10, 10, 0, false);
    SWindow& top = *owned;
    auto* a = new SWindow(&globals, &top, 2, "a", 0, 0, 0, 5, 5, 0, false);
    auto* b = new SWindow(&globals, &top, 3, "b", 0, 0, 0, 5, 5, 0, false);
    Locked([&] {
        top.Add(a);
        top.Add(b);
        top.EnableChildren(false);
        EXPECT_FALSE(a->Enabled());
        EXPECT_FALSE(b->Enabled());
        top.KeyStateSet(0x1 | 0x8);
        top.UpdateModifiers(0, false);
        EXPECT_TRUE(b->GetInput()->state[MS_SHIFT]);
        EXPECT_TRUE(b->GetInput()->state[MS_ALT]);
        EXPECT_FALSE(b->GetInput()->state[MS_CONTROL]);
        EXPECT_EQ(b->KeyStateGet(), 0x9);
    });
}

TEST_F(Windows, TheLoopReturnsToItsCallerWhenTheWindowIsClosed)
{
    auto* app = new Probe(&globals, nullptr, 1, SCS_APPWINDOW, 20, 20, 40, 30, 0);
    Locked([&] { app->Show(); });
    Settle();
    Window w = app->GetWindow();
    std::thread closer([this, w] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        bwtest::SendClientMessage(test, w, "WM_PROTOCOLS");
    });
    app->Loop();  // ends when the close request stops it; the process goes on
    closer.join();
    Locked([&] {
        EXPECT_EQ(app->stops, 1);
        EXPECT_EQ(app->GetWindow(), 0u);  // an application window cleans up after its loop
        app->WindowClose();               // stops, never ends the process
        EXPECT_FALSE(app->Running());
        delete app;
    });
}

TEST_F(Windows, TheLoopRunFromAHandlerOnTheDispatchingThreadReadsTheEventsItself)
{
    // Waiting for the dispatching thread to serve the events would hang it:
    // the loop runs on it.
    auto* app = new Probe(&globals, nullptr, 1, SCS_APPWINDOW, 20, 20, 40, 30, 0);
    struct Runner : SControl {
        using SControl::SControl;
        void ParseEvent(SEvent*) override
        {
            app->Loop();
            ++returns;
        }
        SWindow* app = nullptr;
        int returns = 0;
    };
    auto runner = bwtest::MakeOwned<Runner>(&globals);
    auto label = bwtest::MakeOwned<SLabel<false>>(&globals, nullptr, 7, "loop", 0, 1100, 950, 40, 20, 0, false);
    Locked([&] {
        runner->app = app;
        label->AddEventListener(runner.get(), EVENT_CONTROL);
        label->Show();
        app->Show();
    });
    Settle();
    Window w = app->GetWindow();
    MoveTo(label.get(), 10, 10);
    Button(1, true);
    Button(1, false);
    ASSERT_TRUE(WaitFor([&] { return Locked([&] { return app->Running(); }); }));
    bwtest::SendClientMessage(test, w, "WM_PROTOCOLS");
    ASSERT_TRUE(WaitFor([&] { return Locked([&] { return runner->returns; }) == 1; }))
        << "the loop on the dispatching thread never saw the close request";
    Locked([&] {
        EXPECT_EQ(app->stops, 1);
        EXPECT_EQ(app->GetWindow(), 0u);
        delete app;
    });
}

TEST(Events, ManagerSlotsAndListeners)
{
    SEventManager m;
    EXPECT_EQ(m.GetEventHandler(13), nullptr);
    EXPECT_EQ(m.GetEventHandler(-1), nullptr);
    ASSERT_NE(m.GetEventHandler(12), nullptr);
    EXPECT_EQ(m.GetEventHandler(12)->type, 12);
    m.EnableHandler(13);
    EXPECT_FALSE(m.EventHandled(13));
    m.EnableHandler(12);
    EXPECT_TRUE(m.EventHandled(12));
    SControl a, b;
    m.EnableListener(&a, 3);
    m.EnableListener(&b, 3);
    m.EnableListener(&a, 3);
    m.EnableListener(nullptr, 3);
    m.EnableListener(&a, 13);
    EXPECT_EQ(m.GetEventHandler(3)->listeners, (std::vector<SControl*>{&a, &b}));
    m.DisableListener(&a, 3);
    EXPECT_EQ(m.GetEventHandler(3)->listeners, std::vector<SControl*>{&b});
}

}  // namespace
