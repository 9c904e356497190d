#include "platform/real_event_loop.h"

#include <algorithm>
#include <thread>

#include "platform/timer_scheduler.h"

namespace qv {

RealEventLoop::RealEventLoop() : start_(std::chrono::steady_clock::now()) {}

std::uint32_t RealEventLoop::tickCount() {
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void RealEventLoop::sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void RealEventLoop::processEvents(std::uint32_t maxWaitMs) {
    std::uint32_t wait = maxWaitMs;
    if (timers_ != nullptr) {
        wait = std::min(wait, timers_->millisecondsUntilNextDue(tickCount()));
    }
    if (wait > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    }
    if (timers_ != nullptr) {
        timers_->runDue(tickCount());
    }
}

} // namespace qv
