#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "quor/gui/SControl.h"
#include "quor/threading/SThread.h"
#include "quor/threading/STimerIdle.h"
#include "quor/threading/watchdog.h"

using namespace quor::gui;
using namespace quor::threading;
using std::chrono::milliseconds;

namespace {

// One registered idle function: the slot the idle thread reads the function
// from, and what the calls did.
struct Idler {
    void (*slot)(void*) = &Idler::Call;
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false};
    std::atomic<bool> removed{false};
    std::atomic<int> lateCalls{0};
    std::atomic<bool> wrongThread{false};
    milliseconds busy{0};
    std::function<void()> action;

    static void Call(void* p)
    {
        auto* self = static_cast<Idler*>(p);
        if (self->removed) self->lateCalls++;
        if (!STimerIdle::OnIdleThread()) self->wrongThread = true;
        self->inside = true;
        if (self->busy.count()) std::this_thread::sleep_for(self->busy);
        if (self->action) self->action();
        self->inside = false;
        self->calls++;
    }
    void WaitForCalls(int n) const
    {
        while (calls.load() < n) std::this_thread::sleep_for(milliseconds(1));
    }
};

// The idle state is process-wide: every test must leave it empty.
class Idle : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(STimerIdle::Entries().empty());
        ASSERT_FALSE(STimerIdle::ThreadRunning());
    }
    void TearDown() override
    {
        EXPECT_TRUE(STimerIdle::Entries().empty());
        EXPECT_FALSE(STimerIdle::ThreadRunning());
        SThread::ReapFinished(true);
    }
};

}  // namespace

TEST_F(Idle, SamePairTwiceGivesOneEntry)
{
    Watchdog dog("SamePairTwiceGivesOneEntry");
    SControl control;
    Idler idler;
    control.CreateIdleFunction(&idler.slot, &idler);  // no idle timer yet: nothing
    EXPECT_TRUE(STimerIdle::Entries().empty());
    control.CreateIdleTimer(10, false);
    EXPECT_TRUE(STimerIdle::ThreadRunning());
    STimerIdle* first = control.IdleTimer();
    control.CreateIdleTimer(50, false);  // once only
    EXPECT_EQ(control.IdleTimer(), first);
    EXPECT_EQ(STimerIdle::ThreadPeriod(), 10);

    control.CreateIdleFunction(&idler.slot, &idler);
    control.CreateIdleFunction(&idler.slot, &idler);
    EXPECT_FALSE(STimerIdle::Register(&idler, &idler.slot));
    auto entries = STimerIdle::Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].argument, &idler);
    EXPECT_EQ(entries[0].function, &idler.slot);
    idler.WaitForCalls(3);
    EXPECT_FALSE(idler.wrongThread);

    control.DestroyIdleFunction();
    EXPECT_TRUE(STimerIdle::Entries().empty());
    EXPECT_TRUE(STimerIdle::ThreadRunning());  // only destroying the idle timer stops it
    control.DestroyIdleTimer();
    EXPECT_EQ(control.IdleTimer(), nullptr);
}

TEST_F(Idle, CallsEveryFunctionInInsertionOrderEachPass)
{
    Watchdog dog("CallsEveryFunctionInInsertionOrderEachPass");
    std::mutex lock;
    std::vector<int> order;
    Idler a, b, empty;
    a.action = [&] {
        std::lock_guard<std::mutex> g(lock);
        order.push_back(1);
    };
    b.action = [&] {
        std::lock_guard<std::mutex> g(lock);
        order.push_back(2);
    };
    empty.slot = nullptr;  // a registered slot without a function is skipped
    SControl control;
    control.CreateIdleTimer(5, false);
    STimerIdle::Register(&a, &a.slot);
    STimerIdle::Register(&empty, &empty.slot);
    STimerIdle::Register(&b, &b.slot);
    b.WaitForCalls(5);
    STimerIdle::Unregister(&a, &a.slot);
    STimerIdle::Unregister(&empty, &empty.slot);
    STimerIdle::Unregister(&b, &b.slot);
    control.DestroyIdleTimer();

    std::lock_guard<std::mutex> g(lock);
    ASSERT_GE(order.size(), 10u);
    // Registration may land mid-pass, so start at the first complete pair.
    size_t i = order[0] == 1 ? 0 : 1;
    for (; i + 1 < order.size(); i += 2) {
        EXPECT_EQ(order[i], 1) << "at " << i;
        EXPECT_EQ(order[i + 1], 2) << "at " << i + 1;
    }
    EXPECT_EQ(empty.calls, 0);
}

TEST_F(Idle, DestroyingTheOnlyIdleTimerStopsTheThreadAndANewOneRestartsIt)
{
    Watchdog dog("DestroyingTheOnlyIdleTimerStopsTheThread");
    Idler idler;
    {
        SControl control;
        control.CreateIdleTimer(30, false);
        EXPECT_EQ(STimerIdle::ThreadPeriod(), 30);
        control.CreateIdleFunction(&idler.slot, &idler);
        idler.WaitForCalls(1);
        control.DestroyIdleTimer();  // removes the last entry: the thread ends
        EXPECT_TRUE(STimerIdle::Entries().empty());
        EXPECT_FALSE(STimerIdle::ThreadRunning());
        idler.removed = true;
        EXPECT_FALSE(idler.inside);
        std::this_thread::sleep_for(milliseconds(80));
        EXPECT_EQ(idler.lateCalls, 0);
    }
    idler.removed = false;
    SControl again;
    again.CreateIdleTimer(7, false);
    EXPECT_TRUE(STimerIdle::ThreadRunning());
    EXPECT_EQ(STimerIdle::ThreadPeriod(), 7);
    int before = idler.calls;
    again.CreateIdleFunction(&idler.slot, &idler);
    idler.WaitForCalls(before + 3);
    // The control's destructor cleans up its idle timer too.
}

TEST_F(Idle, FirstIdleTimerMayGoWhileTheThreadRunsOn)
{
    Watchdog dog("FirstIdleTimerMayGoWhileTheThreadRunsOn");
    // Two plug-in instances: the first editor closes while the second stays.
    auto* first = new SControl();
    SControl second;
    Idler a, b;
    first->CreateIdleTimer(4, false);
    first->CreateIdleFunction(&a.slot, &a);
    second.CreateIdleTimer(60, false);
    second.CreateIdleFunction(&b.slot, &b);
    b.WaitForCalls(1);
    delete first;  // frees the STimerIdle the thread was started with
    a.removed = true;
    EXPECT_TRUE(STimerIdle::ThreadRunning());
    EXPECT_EQ(STimerIdle::ThreadPeriod(), 4);  // the copied period stays
    int before = b.calls;
    b.WaitForCalls(before + 5);
    EXPECT_EQ(a.lateCalls, 0);
    second.DestroyIdleTimer();
}

TEST_F(Idle, NeverCalledAgainAfterDestroyIdleFunctionReturns)
{
    Watchdog dog("NeverCalledAgainAfterDestroyIdleFunctionReturns", std::chrono::seconds(100));
    SControl keeper;  // keeps the thread alive throughout
    keeper.CreateIdleTimer(1, false);
    std::atomic<int> caughtInside{0};
    auto hammer = [&caughtInside](int seed) {
        SControl control;
        control.CreateIdleTimer(1, false);
        Idler idler;
        idler.busy = milliseconds(2);
        unsigned r = static_cast<unsigned>(seed);
        for (int round = 0; round < 60; ++round) {
            idler.removed = false;
            control.CreateIdleFunction(&idler.slot, &idler);
            r = r * 1103515245u + 12345u;
            std::this_thread::sleep_for(milliseconds((r >> 16) % 8));
            control.DestroyIdleFunction();
            idler.removed = true;
            if (idler.inside) caughtInside++;
            std::this_thread::sleep_for(milliseconds(3));
        }
        EXPECT_EQ(idler.lateCalls, 0);
        EXPECT_GT(idler.calls, 0);
    };
    std::thread t1(hammer, 1), t2(hammer, 2);
    t1.join();
    t2.join();
    EXPECT_EQ(caughtInside, 0);
    keeper.DestroyIdleTimer();
}

TEST_F(Idle, IdleFunctionMayRemoveItselfAndAddAnother)
{
    Watchdog dog("IdleFunctionMayRemoveItselfAndAddAnother");
    SControl control;
    control.CreateIdleTimer(3, false);
    Idler once, added;
    once.action = [&] {
        // On the idle thread: neither may wait for the call in progress.
        STimerIdle::Unregister(&once, &once.slot);
        STimerIdle::Register(&added, &added.slot);
    };
    STimerIdle::Register(&once, &once.slot);
    added.WaitForCalls(3);
    EXPECT_EQ(once.calls, 1);
    STimerIdle::Unregister(&added, &added.slot);
    control.DestroyIdleTimer();
}

TEST_F(Idle, IdleFunctionMayDestroyTheLastIdleTimer)
{
    Watchdog dog("IdleFunctionMayDestroyTheLastIdleTimer");
    SControl control;
    control.CreateIdleTimer(3, false);
    Idler idler;
    std::atomic<bool> done{false};
    idler.action = [&] {
        if (done) return;
        // Removes the last entry and stops the thread from the thread itself.
        control.DestroyIdleTimer();
        done = true;
    };
    control.CreateIdleFunction(&idler.slot, &idler);
    while (!done) std::this_thread::sleep_for(milliseconds(1));
    // The thread says it stopped once it has left its loop: waited for (the
    // watchdog ends a thread that never does), not given a fixed time.
    // The call is counted once its action returns.
    while (STimerIdle::ThreadRunning() || idler.calls == 0) std::this_thread::sleep_for(milliseconds(1));
    EXPECT_EQ(idler.calls, 1);
    SThread::ReapFinished(true);  // the self-stopped thread has really ended
    // And it can be started again.
    control.CreateIdleTimer(3, false);
    EXPECT_TRUE(STimerIdle::ThreadRunning());
    control.DestroyIdleTimer();
}

TEST_F(Idle, RegisteringThroughALiveIdleTimerRestartsAStoppedThread)
{
    Watchdog dog("RegisteringThroughALiveIdleTimerRestartsAStoppedThread");
    SControl withFunction, without;
    Idler a, b;
    withFunction.CreateIdleTimer(5, false);
    withFunction.CreateIdleFunction(&a.slot, &a);
    without.CreateIdleTimer(9, false);
    withFunction.DestroyIdleTimer();  // last entry gone: the thread stops
    EXPECT_FALSE(STimerIdle::ThreadRunning());
    without.CreateIdleFunction(&b.slot, &b);
    EXPECT_TRUE(STimerIdle::ThreadRunning());
    EXPECT_EQ(STimerIdle::ThreadPeriod(), 9);
    b.WaitForCalls(2);
    // Recording another pair replaces the first registration.
    without.CreateIdleFunction(&a.slot, &a);
    auto entries = STimerIdle::Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].argument, &a);
    without.DestroyIdleTimer();
}

TEST_F(Idle, APeriodOfZeroOrLessWaitsOneMillisecondBetweenPasses)
{
    Watchdog dog("APeriodOfZeroOrLessWaitsOneMillisecondBetweenPasses");
    for (int period : {0, -5}) {
        SControl control;
        Idler idler;
        control.CreateIdleTimer(period, false);
        EXPECT_EQ(STimerIdle::ThreadPeriod(), 1) << period;
        control.CreateIdleFunction(&idler.slot, &idler);
        idler.WaitForCalls(1);
        // Every pass waits at least one period: a spinning thread would make
        // thousands of calls in this time, a waiting one at most one per
        // millisecond (two more for the passes at either end).
        const auto start = std::chrono::steady_clock::now();
        const int before = idler.calls;
        std::this_thread::sleep_for(milliseconds(30));
        const int calls = idler.calls - before;
        const auto elapsed = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
        control.DestroyIdleTimer();
        EXPECT_LE(calls, elapsed.count() + 2) << period;
    }
}

TEST_F(Idle, NullArgumentEndsTheRoutineAtOnce) { EXPECT_EQ(STimerIdle::timercallback(nullptr), nullptr); }
