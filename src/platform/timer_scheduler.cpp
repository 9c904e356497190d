#include "platform/timer_scheduler.h"

#include <limits>

#include "platform/event_loop.h"

namespace qv {

namespace {
// Signed distance on the wrapping 32-bit tick counter.
std::int32_t ticksUntil(std::uint32_t due, std::uint32_t now) {
    return static_cast<std::int32_t>(due - now);
}
} // namespace

WindowTimer& TimerScheduler::add(std::string name, std::uint32_t intervalMs) {
    timers_.push_back(std::make_unique<WindowTimer>(std::move(name), intervalMs));
    return *timers_.back();
}

void TimerScheduler::setEnabled(WindowTimer& timer, bool enabled) {
    if (shutDown_) {
        return;
    }
    if (enabled && !timer.enabled_) {
        timer.due_ = loop_.tickCount() + timer.interval_;
    }
    timer.enabled_ = enabled;
}

void TimerScheduler::runDue(std::uint32_t now) {
    for (auto& timer : timers_) {
        if (shutDown_) {
            return;
        }
        if (!timer->enabled_ || ticksUntil(timer->due_, now) > 0) {
            continue;
        }
        // Schedule from now: ticks missed while the thread was busy collapse
        // into one, as window-system timers do.
        timer->due_ = now + timer->interval_;
        if (timer->handler_) {
            timer->handler_();
        }
    }
}

std::uint32_t TimerScheduler::millisecondsUntilNextDue(std::uint32_t now) const {
    std::uint32_t best = std::numeric_limits<std::uint32_t>::max();
    if (shutDown_) {
        return best;
    }
    for (const auto& timer : timers_) {
        if (!timer->enabled_) {
            continue;
        }
        const std::int32_t left = ticksUntil(timer->due_, now);
        const std::uint32_t wait = left <= 0 ? 0u : static_cast<std::uint32_t>(left);
        if (wait < best) {
            best = wait;
        }
    }
    return best;
}

void TimerScheduler::shutDown() {
    shutDown_ = true;
    for (auto& timer : timers_) {
        timer->enabled_ = false;
    }
}

} // namespace qv
