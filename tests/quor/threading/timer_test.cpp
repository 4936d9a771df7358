#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "plugin/SGlobals.h"
#include "quor/gui/SControl.h"
#include "quor/gui/SEvent.h"
#include "quor/threading/SMutexID.h"
#include "quor/threading/SThread.h"
#include "quor/threading/STimer.h"
#include "quor/threading/STimerObject.h"
#include "quor/threading/watchdog.h"

using namespace quor::gui;
using namespace quor::threading;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

// A listener that records what reaches it.
class Recorder : public SControl {
public:
    void ParseEvent(SEvent* e) override
    {
        inside = true;
        {
            std::lock_guard<std::mutex> guard(lock);
            times.push_back(Clock::now());
            events.push_back(*e);
            threads.push_back(std::this_thread::get_id());
            mutexHeld.push_back(e->mutex && e->mutex->IsLocked());
        }
        if (busy.count() > 0) std::this_thread::sleep_for(busy);
        if (action) action(e);
        inside = false;
        count++;
    }
    int Count() const { return count.load(); }
    void WaitForCount(int n) const
    {
        while (count.load() < n) std::this_thread::sleep_for(milliseconds(1));
    }
    void WaitUntilInside() const
    {
        while (!inside) std::this_thread::sleep_for(milliseconds(1));
    }
    // True when no event arrived during the given time.
    bool QuietFor(milliseconds time) const
    {
        int before = count.load();
        std::this_thread::sleep_for(time);
        return count.load() == before;
    }
    std::vector<Clock::time_point> Times()
    {
        std::lock_guard<std::mutex> guard(lock);
        return times;
    }
    std::vector<SEvent> Events()
    {
        std::lock_guard<std::mutex> guard(lock);
        return events;
    }

    milliseconds busy{0};
    std::function<void(SEvent*)> action;
    std::atomic<bool> inside{false};
    std::vector<std::thread::id> threads;
    std::vector<bool> mutexHeld;

private:
    std::mutex lock;
    std::vector<Clock::time_point> times;
    std::vector<SEvent> events;
    std::atomic<int> count{0};
};

// Exposes the destroying flag without cleaning up.
class Dying : public SControl {
public:
    void MarkDestroying() { destroying = true; }
};

}  // namespace

TEST(STimerObject, NewObjectHoldsATimerEventRecord)
{
    STimerObject object;
    const SEvent* e = object.Event();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->type, EVENT_TIMER);
    EXPECT_EQ(e->dataType, 1);
    EXPECT_EQ(e->param, 0);
    EXPECT_EQ(e->sender, nullptr);
    EXPECT_EQ(e->mutex, nullptr);
    EXPECT_EQ(e->data, nullptr);
    EXPECT_FALSE(object.Running());
}

TEST(STimer, FirstEventAtOnceThenAboutEveryPeriod)
{
    Watchdog dog("FirstEventAtOnceThenAboutEveryPeriod");
    SGlobals globals;
    SControl sender(&globals);
    Recorder listener;
    sender.AddEventListener(&listener, EVENT_TIMER);
    const auto period = milliseconds(300);
    auto start = Clock::now();
    sender.CreateTimer(static_cast<int>(period.count()), true);
    listener.WaitForCount(4);
    sender.StopTimer(true);

    auto times = listener.Times();
    ASSERT_GE(times.size(), 4u);
    // Loose bounds: "at once" means well before the first period ends.
    EXPECT_LT(times[0] - start, period * 3 / 4);
    for (size_t i = 1; i < times.size(); ++i) {
        EXPECT_GE(times[i] - times[i - 1], period - milliseconds(2)) << "interval " << i;
        EXPECT_LT(times[i] - times[i - 1], period + milliseconds(3000)) << "interval " << i;
    }
    auto events = listener.Events();
    for (const SEvent& e : events) {
        EXPECT_EQ(e.type, EVENT_TIMER);
        EXPECT_EQ(e.dataType, 1);
        EXPECT_EQ(e.param, 1);  // the first number drawn from the globals counter
        EXPECT_EQ(e.sender, &sender);
        EXPECT_EQ(e.mutex, nullptr);
    }
    // Delivered on the timer thread, not here.
    EXPECT_NE(listener.threads[0], std::this_thread::get_id());
}

TEST(STimer, StopWaitsForAListenerMidCallAndNothingArrivesAfterwards)
{
    Watchdog dog("StopWaitsForAListenerMidCall");
    SControl sender;
    Recorder listener;
    listener.busy = milliseconds(150);
    sender.AddEventListener(&listener, EVENT_TIMER);
    STimer timer(&sender, 5, 0);
    timer.Start(20);
    listener.WaitUntilInside();
    timer.Stop();
    EXPECT_FALSE(listener.inside) << "Stop returned while a listener was still running";
    EXPECT_TRUE(listener.QuietFor(milliseconds(200)));
    EXPECT_FALSE(timer.Running());
    EXPECT_EQ(timer.Object()->Number(), 0);
}

TEST(STimer, ListenerMayStopAndDeleteItsOwnTimer)
{
    Watchdog dog("ListenerMayStopAndDeleteItsOwnTimer");
    SControl sender;
    Recorder listener;
    sender.AddEventListener(&listener, EVENT_TIMER);
    std::atomic<int> stops{0};
    listener.action = [&](SEvent*) {
        // Count() is raised after the action: this is the second event. On
        // the timer thread: frees the timer, its object and its event
        // record while the loop that called us is still on the stack.
        if (listener.Count() == 1) {
            sender.StopTimer(true);
            stops++;
        }
    };
    sender.CreateTimer(5, true);
    listener.WaitForCount(2);
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(listener.Count(), 2);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(sender.Timer(), nullptr);
    EXPECT_EQ(sender.TimerId(), 0u);
    SThread::ReapFinished(true);
}

TEST(STimer, RestartReplacesTheThread)
{
    Watchdog dog("RestartReplacesTheThread");
    SControl sender;
    Recorder listener;
    sender.AddEventListener(&listener, EVENT_TIMER);
    STimer timer(&sender, 3, 40);
    EXPECT_EQ(timer.Number(), 3u);
    EXPECT_EQ(timer.InitialPeriod(), 40u);
    EXPECT_FALSE(timer.Running());
    timer.Start(10);
    listener.WaitForCount(2);
    timer.Start(15);
    EXPECT_EQ(timer.Period(), 15u);
    EXPECT_TRUE(timer.Running());
    int before = listener.Count();
    listener.WaitForCount(before + 2);
    timer.Stop();
    // A thread left over from the first start would keep delivering.
    EXPECT_TRUE(listener.QuietFor(milliseconds(100)));
}

TEST(STimer, NothingIsDeliveredWhileTheControlIsBeingDestroyed)
{
    Watchdog dog("NothingIsDeliveredWhileDestroying");
    Dying sender;
    Recorder listener;
    sender.AddEventListener(&listener, EVENT_TIMER);
    STimer timer(&sender, 1, 0);
    timer.Start(5);
    listener.WaitForCount(1);
    sender.MarkDestroying();
    std::this_thread::sleep_for(milliseconds(20));  // a call in flight may still end
    EXPECT_TRUE(listener.QuietFor(milliseconds(100)));
    EXPECT_TRUE(timer.Object()->Running());
}

TEST(STimer, DestroyingARunningTimerStopsIt)
{
    Watchdog dog("DestroyingARunningTimerStopsIt");
    SControl sender;
    Recorder listener;
    listener.busy = milliseconds(30);
    sender.AddEventListener(&listener, EVENT_TIMER);
    auto* timer = new STimer(&sender, 1, 0);
    timer->Start(1);
    listener.WaitUntilInside();
    delete timer;
    EXPECT_FALSE(listener.inside);
    EXPECT_TRUE(listener.QuietFor(milliseconds(60)));
}

TEST(STimerObject, NotificationDeliversOnceOnTheCallingThread)
{
    Watchdog dog("NotificationDeliversOnceOnTheCallingThread");
    SControl sender;
    Recorder listener;
    sender.AddEventListener(&listener, EVENT_TIMER);
    STimerObject object;
    object.Notification();  // no control yet: nothing
    EXPECT_EQ(listener.Count(), 0);
    object.Start(&sender, 9, 100000);
    listener.WaitForCount(1);  // the thread's immediate first event
    object.Notification();
    EXPECT_EQ(listener.Count(), 2);
    EXPECT_EQ(listener.threads[1], std::this_thread::get_id());
    EXPECT_EQ(listener.Events()[1].param, 9);
    auto start = Clock::now();
    object.Stop();  // wakes the thread instead of waiting out the period
    EXPECT_LT(Clock::now() - start, milliseconds(10000));
    auto s = Clock::now();
    object.Sleep();  // no thread any more: returns at once
    EXPECT_LT(Clock::now() - s, milliseconds(10000));
}

TEST(SControl, TimerNumbersComeFromTheSharedCounter)
{
    SGlobals globals;
    SControl a(&globals), b(&globals), orphan;
    a.CreateTimer(10, false);
    b.CreateTimer(10, false);
    EXPECT_EQ(a.TimerId(), 1u);
    EXPECT_EQ(b.TimerId(), 2u);
    EXPECT_TRUE(a.Style() & SCS_TIMER);
    ASSERT_NE(a.Timer(), nullptr);
    EXPECT_FALSE(a.Timer()->Running());
    a.CreateTimer(10, false);  // replaces, with a fresh number
    EXPECT_EQ(a.TimerId(), 3u);
    a.StopTimer(false);
    EXPECT_NE(a.Timer(), nullptr);
    a.StopTimer(true);
    EXPECT_EQ(a.Timer(), nullptr);
    EXPECT_EQ(a.TimerId(), 0u);
    orphan.CreateTimer(10, false);
    EXPECT_EQ(orphan.TimerId(), 0u);
    orphan.StartTimer(10);
    EXPECT_TRUE(orphan.Timer()->Running());
    orphan.CleanUp();  // stops and frees it
    EXPECT_EQ(orphan.Timer(), nullptr);
    EXPECT_TRUE(orphan.Destroying());
    SControl none;
    none.StartTimer(10);  // no timer: nothing
    none.StopTimer(true);
}

TEST(SControl, ListenersInOrderWithoutDuplicates)
{
    SControl sender;
    Recorder a, b;
    std::vector<Recorder*> order;
    a.action = [&](SEvent*) { order.push_back(&a); };
    b.action = [&](SEvent*) { order.push_back(&b); };
    sender.AddEventListener(&a, EVENT_CONTROL);
    sender.AddEventListener(&b, EVENT_CONTROL);
    sender.AddEventListener(&a, EVENT_CONTROL);
    sender.AddEventListener(&a, 13);  // no slot: ignored
    sender.AddEventListener(nullptr, EVENT_CONTROL);
    SEvent e;
    e.type = EVENT_CONTROL;
    e.sender = &sender;
    sender.SendEvent(&e);
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0], &a);
    EXPECT_EQ(order[1], &b);
    e.type = EVENT_VALUE;  // nobody listens to this type
    sender.SendEvent(&e);
    e.type = 13;
    sender.SendEvent(&e);
    e.type = -1;
    sender.SendEvent(&e);
    sender.SendEvent(nullptr);
    EXPECT_EQ(order.size(), 2u);
    sender.RemoveEventListener(&a, EVENT_CONTROL);
    sender.RemoveEventListener(&a, EVENT_CONTROL);  // absent: nothing
    e.type = EVENT_CONTROL;
    sender.SendEvent(&e);
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order[2], &b);
}

TEST(SControl, EventMutexIsHeldAroundEachListenerCall)
{
    SControl sender;
    Recorder a, b;
    sender.AddEventListener(&a, EVENT_RESULT);
    sender.AddEventListener(&b, EVENT_RESULT);
    SMutexID mutex;
    SEvent e;
    e.type = EVENT_RESULT;
    e.mutex = &mutex;
    sender.SendEvent(&e);
    ASSERT_EQ(a.mutexHeld.size(), 1u);
    ASSERT_EQ(b.mutexHeld.size(), 1u);
    EXPECT_TRUE(a.mutexHeld[0]);
    EXPECT_TRUE(b.mutexHeld[0]);
    EXPECT_FALSE(mutex.IsLocked());
}

TEST(SControl, HandlerFlags)
{
    SControl c;
    EXPECT_FALSE(c.EventHandled(EVENT_TIMER));
    c.EnableEventHandler(EVENT_TIMER);
    EXPECT_TRUE(c.EventHandled(EVENT_TIMER));
    c.DisableEventHandler(EVENT_TIMER);
    EXPECT_FALSE(c.EventHandled(EVENT_TIMER));
    c.EnableEventHandler(13);
    EXPECT_FALSE(c.EventHandled(13));
    c.EnableEventHandler(-1);
    EXPECT_FALSE(c.EventHandled(-1));
}
