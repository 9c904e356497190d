#include "platform/virtual_event_loop.h"

#include <algorithm>

#include "platform/timer_scheduler.h"

namespace qv {

void VirtualEventLoop::moveClock(std::uint32_t milliseconds) {
    now_ += milliseconds;
    elapsed_ += milliseconds;
}

void VirtualEventLoop::sleep(std::uint32_t milliseconds) {
    slept_ += milliseconds;
    moveClock(milliseconds);
}

void VirtualEventLoop::processEvents(std::uint32_t maxWaitMs) {
    std::uint32_t step = maxWaitMs;
    if (timers_ != nullptr) {
        step = std::min(step, timers_->millisecondsUntilNextDue(now_));
    }
    moveClock(step);
    if (timers_ != nullptr) {
        timers_->runDue(now_);
    }
}

void VirtualEventLoop::advance(std::uint32_t milliseconds) {
    const std::uint32_t start = now_;
    while (static_cast<std::uint32_t>(now_ - start) < milliseconds) {
        processEvents(milliseconds - static_cast<std::uint32_t>(now_ - start));
    }
}

} // namespace qv
