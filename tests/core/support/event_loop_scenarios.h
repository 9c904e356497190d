#pragma once
// What every event loop of a window program must do with the window timers,
// on its real clock, for the tests of each loop: a wait ends when the next
// timer is due, and ticks nest inside a handler that waits with messages.
// Waits are tens of milliseconds.
#include <cstdint>

#include "platform/event_loop.h"
#include "platform/timer_scheduler.h"

namespace qv::testing {

struct DueTick {
    int ticks = 0;
    std::uint32_t elapsedMs = 0;
};

// Waits (up to 5 s) with processEvents(10000) until a 30 ms timer ticks.
inline DueTick waitForA30MsTimer(EventLoop& loop) {
    TimerScheduler timers(loop);
    loop.attachTimers(&timers);
    WindowTimer& timer = timers.add("Timer4", 30);
    DueTick result;
    timer.onTick([&] { ++result.ticks; });
    timers.setEnabled(timer, true);
    const std::uint32_t start = loop.tickCount();
    while (result.ticks == 0 && loop.tickCount() - start < 5000) {
        loop.processEvents(10000);
    }
    result.elapsedMs = loop.tickCount() - start;
    loop.attachTimers(nullptr);
    return result;
}

// A 20 ms run timer whose handler waits with messages while a 10 ms blinker
// runs: the blinks seen during that wait (-1: the run never ticked). The wait
// lasts until two blinks came, or 3 s: a loaded machine that runs a round
// late still sees them, and a loop that does not nest sees none.
inline int blinksDuringANestedWait(EventLoop& loop) {
    TimerScheduler timers(loop);
    loop.attachTimers(&timers);
    WindowTimer& run = timers.add("Timer1", 20);
    WindowTimer& blink = timers.add("Timer5", 10);
    int blinks = 0;
    int blinksDuringRun = -1;
    blink.onTick([&] { ++blinks; });
    run.onTick([&] {
        timers.setEnabled(run, false);
        const int before = blinks;
        const std::uint32_t start = loop.tickCount();
        while (blinks - before < 2 && loop.tickCount() - start < 3000) {
            loop.processEvents(1000);
        }
        blinksDuringRun = blinks - before;
    });
    timers.setEnabled(run, true);
    timers.setEnabled(blink, true);
    const std::uint32_t start = loop.tickCount();
    while (blinksDuringRun < 0 && loop.tickCount() - start < 5000) {
        loop.processEvents(1000);
    }
    loop.attachTimers(nullptr);
    return blinksDuringRun;
}

} // namespace qv::testing
