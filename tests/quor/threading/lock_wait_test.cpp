// Timers and idle functions stopped, restarted or replaced by a thread that
// holds the toolkit lock, while their thread is in a call that needs that
// lock: nothing may wait for that call (it would never end), the holder must
// keep the lock throughout (callers further up rely on it), and nothing may
// be delivered once a stop has returned.

#include <gtest/gtest.h>
#include <dirent.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <thread>

#include "plugin/SGlobals.h"
#include "quor/gui/SControl.h"
#include "quor/gui/SEvent.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/threading/SThread.h"
#include "quor/threading/STimer.h"
#include "quor/threading/STimerIdle.h"
#include "quor/threading/watchdog.h"

using namespace quor::gui;
using namespace quor::threading;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

// A timer listener or idle function: both need the toolkit lock.
struct Stall {
    std::atomic<int> entered{0};
    std::atomic<int> locked{0};

    void Call()
    {
        entered++;
        SToolkitHold hold;
        locked++;
    }
    void WaitEntered() const
    {
        while (entered.load() < 1) std::this_thread::sleep_for(milliseconds(1));
    }
    static void Idle(void* self) { static_cast<Stall*>(self)->Call(); }
};

void Nothing(void*) {}

// A control that listens to its own timers.
class Stalling : public SControl {
public:
    explicit Stalling(SGlobals* g) : SControl(g) {}
    ~Stalling() override { CleanUp(); }
    void ParseEvent(SEvent*) override { stall.Call(); }
    Stall stall;
};

struct Rig {
    SGlobals globals;
    Stalling control{&globals};
    STimer* added = nullptr;
    void (*idleSlot)(void*) = &Stall::Idle;
    void (*otherSlot)(void*) = &Nothing;

    void OwnTimer()
    {
        SToolkitHold hold;
        control.EnableEventHandler(EVENT_TIMER);
        control.AddEventListener(&control, EVENT_TIMER);
        control.CreateTimer(5, true);
    }
    void IdleFunction()
    {
        control.CreateIdleTimer(5, false);
        control.CreateIdleFunction(&idleSlot, &control.stall);
    }
};

struct Case {
    const char* name;
    std::function<void(Rig&)> setup;
    std::function<void(Rig&)> action;  // run holding the toolkit lock
    bool stops;                         // whether the stalled calls end with it
};

const Case cases[] = {
    {"StartTimerOnARunningTimer", [](Rig& r) { r.OwnTimer(); }, [](Rig& r) { r.control.StartTimer(5); }, false},
    {"StopTimer", [](Rig& r) { r.OwnTimer(); }, [](Rig& r) { r.control.StopTimer(false); }, true},
    {"StopTimerAndDestroyIt", [](Rig& r) { r.OwnTimer(); }, [](Rig& r) { r.control.StopTimer(true); }, true},
    {"StopAnAddedTimer", [](Rig& r) { r.added = r.control.AddTimer(5, true); }, [](Rig& r) { r.added->Stop(); },
     true},
    {"DeleteAnAddedTimer", [](Rig& r) { r.added = r.control.AddTimer(5, true); },
     [](Rig& r) {
         delete r.added;
         r.added = nullptr;
     },
     true},
    {"RestartAnAddedTimer", [](Rig& r) { r.added = r.control.AddTimer(5, true); },
     [](Rig& r) { r.added->Start(5); }, false},
    {"ReplaceAnIdleFunction", [](Rig& r) { r.IdleFunction(); },
     [](Rig& r) { r.control.CreateIdleFunction(&r.otherSlot, &r.control.stall); }, true},
    {"RemoveAnIdleFunction", [](Rig& r) { r.IdleFunction(); }, [](Rig& r) { r.control.DestroyIdleFunction(); },
     true},
    {"DestroyTheIdleTimer", [](Rig& r) { r.IdleFunction(); }, [](Rig& r) { r.control.DestroyIdleTimer(); }, true},
    {"DeleteTheControl", [](Rig& r) { r.added = r.control.AddTimer(5, true); }, [](Rig& r) { r.control.CleanUp(); },
     true},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class LockedWhileACallWaits : public ::testing::TestWithParam<Case> {};

// The threads the process runs now.
int ThreadCount()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* e = readdir(dir))
            if (e->d_name[0] != '.') ++count;
        closedir(dir);
    }
    return count;
}

}  // namespace

TEST_P(LockedWhileACallWaits, NothingWaitsForTheCallAndTheLockIsKeptThroughout)
{
    const Case& c = GetParam();
    Watchdog dog(c.name);
    Rig rig;
    c.setup(rig);
    Stall& stall = rig.control.stall;
    stall.WaitEntered();
    {
        // Held twice: a caller further up holds it too.
        SToolkitHold outer;
        SToolkitHold inner;
        int before = stall.locked.load();
        // Long enough for the timer or idle thread (5 ms period) to come
        // round and wait for the lock; how long does not matter otherwise.
        std::this_thread::sleep_for(milliseconds(50));
        {
            // A hang detector, not a speed limit: a deadlock ends the run here.
            Watchdog hang((std::string(c.name) + " deadlocked").c_str(), std::chrono::seconds(10));
            c.action(rig);
        }
        EXPECT_EQ(stall.locked.load(), before) << "the toolkit lock was let go in the middle of " << c.name;
    }
    if (c.stops) {
        // The call that waited ends without reaching its locked part, and no
        // other comes.
        int entered = stall.entered.load();
        std::this_thread::sleep_for(milliseconds(60));
        EXPECT_EQ(stall.entered.load(), entered) << "called again after " << c.name;
    }
    rig.control.CleanUp();
}

INSTANTIATE_TEST_SUITE_P(Timers, LockedWhileACallWaits, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(TimerPeriod, ZeroRunsAtTheShortestPeriodInsteadOfSpinning)
{
    Watchdog dog("ZeroRunsAtTheShortestPeriodInsteadOfSpinning");
    struct Counter : SControl {
        void ParseEvent(SEvent*) override { count++; }
        std::atomic<int> count{0};
    };
    Counter control;
    {
        SToolkitHold hold;
        control.AddEventListener(&control, EVENT_TIMER);
    }
    STimer timer(&control, 1, 0);
    auto start = Clock::now();
    timer.Start(0);
    std::this_thread::sleep_for(milliseconds(100));
    timer.Stop();
    auto elapsed = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
    // One event at once, then at most one per millisecond: a bound that any
    // machine meets, and that a spinning timer breaks by far.
    EXPECT_LE(control.count.load(), elapsed + 1);
    EXPECT_GE(control.count.load(), 1);
    EXPECT_EQ(timer.Period(), 1u);
}

TEST(AddedTimers, EndWithTheirControlAndMayBeDeletedBeforeIt)
{
    Watchdog dog("AddedTimersEndWithTheirControl");
    struct Counter : SControl {
        void ParseEvent(SEvent*) override { count++; }
        std::atomic<int> count{0};
    };
    SThread::ReapFinished(true);
    const int baseline = ThreadCount();
    SGlobals globals;
    Counter listener;
    auto* control = new SControl(&globals);
    STimer* first;
    STimer* second;
    {
        SToolkitHold hold;
        control->AddEventListener(&listener, EVENT_TIMER);
        first = control->AddTimer(5, true);
        second = control->AddTimer(5, true);
        control->AddTimer(5, false);
    }
    ASSERT_GE(ThreadCount(), baseline + 2);
    while (listener.count.load() < 4) std::this_thread::sleep_for(milliseconds(1));
    // Given back early: the control forgets it (ASan sees a second delete).
    delete first;
    EXPECT_TRUE(second->Running());
    {
        SToolkitHold hold;
        delete control;
    }
    // The timer threads end by themselves; before they did, they kept
    // calling into the freed control.
    auto limit = Clock::now() + std::chrono::seconds(5);
    while (ThreadCount() != baseline && Clock::now() < limit) std::this_thread::sleep_for(milliseconds(1));
    ASSERT_EQ(ThreadCount(), baseline) << "timer threads outlived their control";
    int after = listener.count.load();
    std::this_thread::sleep_for(milliseconds(30));
    EXPECT_EQ(listener.count.load(), after);
}
