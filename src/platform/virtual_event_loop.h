#pragma once
// Deterministic event loop on virtual time, for tests and the fault
// campaign: a sleep advances the clock without running anything; processing
// events advances the clock to the next due timer tick (or to the end of the
// caller's wait) and runs the ticks that are due, nested in the caller.
#include <cstdint>

#include "platform/event_loop.h"

namespace qv {

class VirtualEventLoop : public EventLoop {
public:
    explicit VirtualEventLoop(std::uint32_t startTick = 0) : now_(startTick) {}

    std::uint32_t tickCount() override { return now_; }
    void sleep(std::uint32_t milliseconds) override;
    void processEvents(std::uint32_t maxWaitMs) override;
    void attachTimers(TimerScheduler* timers) override { timers_ = timers; }

    // Lets virtual time pass as a running program would: processes events
    // until `milliseconds` have elapsed.
    void advance(std::uint32_t milliseconds);

    // Total virtual time slept with sleep(), for tests of the mandated pauses.
    std::uint64_t sleptMilliseconds() const { return slept_; }
    std::uint64_t elapsedMilliseconds() const { return elapsed_; }

private:
    void moveClock(std::uint32_t milliseconds);

    std::uint32_t now_;
    std::uint64_t slept_ = 0;
    std::uint64_t elapsed_ = 0;
    TimerScheduler* timers_ = nullptr;
};

} // namespace qv
