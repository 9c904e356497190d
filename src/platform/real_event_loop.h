#pragma once
// Event loop on the real clock for runs without a window system (the
// silent, headless program): timers tick on time, waits really wait.
#include <chrono>
#include <cstdint>

#include "platform/event_loop.h"

namespace qv {

class RealEventLoop : public EventLoop {
public:
    RealEventLoop();
    std::uint32_t tickCount() override;
    void sleep(std::uint32_t milliseconds) override;
    void processEvents(std::uint32_t maxWaitMs) override;
    void attachTimers(TimerScheduler* timers) override { timers_ = timers; }

private:
    std::chrono::steady_clock::time_point start_;
    TimerScheduler* timers_ = nullptr;
};

} // namespace qv
