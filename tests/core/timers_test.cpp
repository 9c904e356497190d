#include <gtest/gtest.h>

#include <vector>

#include "platform/timer_scheduler.h"
#include "platform/virtual_event_loop.h"

namespace qv {
namespace {

// A wait as the flows do it: process events until more than `ms` passed.
void waitWithEvents(EventLoop& loop, std::uint32_t ms) {
    const std::uint32_t start = loop.tickCount();
    while (static_cast<std::uint32_t>(loop.tickCount() - start) <= ms) {
        loop.processEvents(ms - static_cast<std::uint32_t>(loop.tickCount() - start) + 1);
    }
}

TEST(VirtualTime, SleepAdvancesTheClockWithoutRunningTicks) {
    VirtualEventLoop loop;
    TimerScheduler timers(loop);
    loop.attachTimers(&timers);
    int ticks = 0;
    WindowTimer& timer = timers.add("Timer1", 1000);
    timer.onTick([&] { ++ticks; });
    timers.setEnabled(timer, true);
    loop.sleep(5000);
    EXPECT_EQ(loop.tickCount(), 5000u);
    EXPECT_EQ(ticks, 0);
    loop.processEvents(0);
    EXPECT_EQ(ticks, 1) << "ticks missed while busy collapse into one";
}

TEST(VirtualTime, TicksNestInsideAWaitOfTheirOwnHandler) {
    VirtualEventLoop loop;
    TimerScheduler timers(loop);
    loop.attachTimers(&timers);
    WindowTimer& timer1 = timers.add("Timer1", 1000);
    WindowTimer& timer2 = timers.add("Timer2", 500);
    std::vector<std::string> trace;
    int depth = 0;
    timer1.onTick([&] {
        trace.push_back("T1@" + std::to_string(loop.tickCount()) + " depth " + std::to_string(depth));
        if (depth == 0) {
            ++depth;
            waitWithEvents(loop, 2000);  // a half-way rescan style wait
            --depth;
        }
    });
    timer2.onTick([&] { trace.push_back("T2@" + std::to_string(loop.tickCount())); });
    timers.setEnabled(timer1, true);
    timers.setEnabled(timer2, true);
    loop.advance(3100);
    const std::vector<std::string> expected = {
        "T2@500", "T1@1000 depth 0", "T2@1000", "T2@1500", "T1@2000 depth 1", "T2@2000", "T2@2500", "T1@3000 depth 1",
        "T2@3000",
    };
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(loop.tickCount(), 3100u);
}

TEST(VirtualTime, EnablingARunningTimerKeepsItsSchedule) {
    VirtualEventLoop loop;
    TimerScheduler timers(loop);
    loop.attachTimers(&timers);
    std::vector<std::uint32_t> at;
    WindowTimer& timer = timers.add("Timer4", 100);
    timer.onTick([&] { at.push_back(loop.tickCount()); });
    timers.setEnabled(timer, true);
    loop.advance(60);
    timers.setEnabled(timer, true);
    loop.advance(60);
    timers.setEnabled(timer, false);
    loop.advance(500);
    timers.setEnabled(timer, true);
    loop.advance(100);
    EXPECT_EQ(at, (std::vector<std::uint32_t>{100, 720}));
}

TEST(VirtualTime, ShutDownStopsEveryTimerForGood) {
    VirtualEventLoop loop;
    TimerScheduler timers(loop);
    loop.attachTimers(&timers);
    int ticks = 0;
    WindowTimer& a = timers.add("a", 100);
    WindowTimer& b = timers.add("b", 100);
    a.onTick([&] {
        ++ticks;
        timers.shutDown();
    });
    b.onTick([&] { ++ticks; });
    timers.setEnabled(a, true);
    timers.setEnabled(b, true);
    loop.advance(1000);
    timers.setEnabled(b, true);
    loop.advance(1000);
    EXPECT_EQ(ticks, 1) << "a closing window runs no further tick, not even one due in the same pass";
}

TEST(VirtualTime, WaitsAcrossTheTickCounterWrap) {
    VirtualEventLoop loop(0xFFFFFF00u);
    TimerScheduler timers(loop);
    loop.attachTimers(&timers);
    int ticks = 0;
    WindowTimer& timer = timers.add("Timer1", 1000);
    timer.onTick([&] { ++ticks; });
    timers.setEnabled(timer, true);
    waitWithEvents(loop, 2000);
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(loop.elapsedMilliseconds(), 2001u);
}

TEST(VirtualTime, ALongRunOfTicksCostsNoRealTime) {
    VirtualEventLoop loop;
    TimerScheduler timers(loop);
    loop.attachTimers(&timers);
    int ticks = 0;
    WindowTimer& timer = timers.add("Timer1", 1000);
    timer.onTick([&] {
        ++ticks;
        waitWithEvents(loop, 500);  // a wait inside every tick
    });
    timers.setEnabled(timer, true);
    loop.advance(24u * 3600u * 1000u);  // a whole day of virtual time
    EXPECT_GT(ticks, 80000);
}

} // namespace
} // namespace qv
