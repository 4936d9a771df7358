// The editor gate: passes while open, none once closed, and closing waits for
// a pass under way, by either way through.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "quor/threading/SGate.h"
#include "quor/threading/watchdog.h"

using quor::threading::SGate;

namespace {

void WaitFor(const std::atomic<bool>& flag)
{
    while (!flag.load()) std::this_thread::yield();
}

// A pass that stays inside until told to leave; Close() on another thread
// must not return before it has.
void CloseWaitsForAPassUnderWay(bool lane)
{
    SGate gate;
    gate.Open();
    std::atomic<bool> inside{false}, leave{false}, passDone{false}, closed{false};
    std::thread passer([&] {
        if (lane) gate.EnterLane();
        gate.Through([&] {
            inside = true;
            WaitFor(leave);
        });
        passDone = true;
        if (lane) gate.LeaveLane();
    });
    WaitFor(inside);
    std::thread closer([&] {
        gate.Close();
        closed = true;
    });
    // However long this waits, Close has to be still waiting.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(closed.load());
    leave = true;
    closer.join();
    passer.join();
    EXPECT_TRUE(closed.load());
    EXPECT_TRUE(passDone.load());
    EXPECT_TRUE(gate.IsClosed());
}

}  // namespace

TEST(Gate, PassesOnlyWhileOpenByEitherWay)
{
    SGate gate;
    int passes = 0;
    auto pass = [&passes] { ++passes; };
    EXPECT_TRUE(gate.IsClosed()) << "a new gate is closed";
    gate.Through(pass);
    gate.Open();
    EXPECT_FALSE(gate.IsClosed());
    gate.Through(pass);
    gate.EnterLane();
    gate.Through(pass);
    gate.Through(pass);
    gate.LeaveLane();
    EXPECT_EQ(passes, 3);
    gate.Close();
    gate.Through(pass);
    gate.EnterLane();
    gate.Through(pass);
    gate.LeaveLane();
    EXPECT_EQ(passes, 3);
    gate.Open();
    gate.Through(pass);
    EXPECT_EQ(passes, 4);
}

TEST(Gate, CloseWaitsForAPassThroughTheCounter)
{
    Watchdog dog("CloseWaitsForAPassThroughTheCounter");
    CloseWaitsForAPassUnderWay(false);
}

TEST(Gate, CloseWaitsForAPassInTheLane)
{
    Watchdog dog("CloseWaitsForAPassInTheLane");
    CloseWaitsForAPassUnderWay(true);
}

TEST(Gate, OtherThreadsUseTheCounterWhileTheLaneIsTaken)
{
    // The lane belongs to the thread that entered it: a second thread's pass
    // must still be waited for by Close, although the lane is marked.
    Watchdog dog("OtherThreadsUseTheCounterWhileTheLaneIsTaken");
    SGate gate;
    gate.Open();
    gate.EnterLane();
    std::atomic<bool> inside{false}, leave{false}, closed{false};
    std::thread other([&] {
        gate.Through([&] {
            inside = true;
            WaitFor(leave);
        });
    });
    WaitFor(inside);
    gate.LeaveLane();
    std::thread closer([&] {
        gate.Close();
        closed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(closed.load());
    leave = true;
    closer.join();
    other.join();
    EXPECT_TRUE(closed.load());
}

TEST(Gate, CloseDoesNotWaitForALaneThatKeepsRunningBlocks)
{
    // A thread rendering flat out is almost always inside its lane: Close
    // waits for the block under way, not for a moment between blocks.
    Watchdog dog("CloseDoesNotWaitForALaneThatKeepsRunningBlocks");
    SGate gate;
    gate.Open();
    std::atomic<bool> stop{false}, running{false};
    std::atomic<long> lateTries{0};
    std::atomic<bool> closedFlag{false};
    std::thread renderer([&] {
        while (!stop) {
            gate.EnterLane();
            running = true;
            for (int i = 0; i < 100; ++i)
                gate.Through([&] {
                    if (closedFlag.load()) ++lateTries;
                });
            gate.LeaveLane();
        }
    });
    WaitFor(running);
    gate.Close();
    closedFlag = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stop = true;
    renderer.join();
    EXPECT_EQ(lateTries.load(), 0) << "passes after Close returned";
}
