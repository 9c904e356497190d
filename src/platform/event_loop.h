#pragma once
// Port: the clock and the event loop of the one user-interface thread.
#include <cstdint>

namespace qv {

class TimerScheduler;

class EventLoop {
public:
    virtual ~EventLoop() = default;

    // Millisecond tick counter; wraps around like a 32-bit system counter.
    virtual std::uint32_t tickCount() = 0;

    // Plain blocking pause: nothing else runs meanwhile.
    virtual void sleep(std::uint32_t milliseconds) = 0;

    // Processes what is pending for the window (window-system events and the
    // window timers that are due). May block up to maxWaitMs when nothing is
    // pending, so that callers that wait do not spin.
    virtual void processEvents(std::uint32_t maxWaitMs) = 0;

    // The window timers whose due ticks processEvents() runs.
    virtual void attachTimers(TimerScheduler* timers) = 0;
};

} // namespace qv
