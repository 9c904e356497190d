#pragma once
// The window timers (Timer1..Timer5). Ticks run only when the event loop
// processes events, on the one user-interface thread; a tick handler that
// waits with messages may see further ticks, of its own timer too, nested
// inside that wait.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv {

class EventLoop;

class WindowTimer {
public:
    WindowTimer(std::string name, std::uint32_t intervalMs) : name_(std::move(name)), interval_(intervalMs) {}

    const std::string& name() const { return name_; }
    std::uint32_t interval() const { return interval_; }
    bool enabled() const { return enabled_; }

    void onTick(std::function<void()> handler) { handler_ = std::move(handler); }

private:
    friend class TimerScheduler;
    std::string name_;
    std::uint32_t interval_;
    bool enabled_ = false;
    std::uint32_t due_ = 0;  // tick count at which the next tick falls due
    std::function<void()> handler_;
};

class TimerScheduler {
public:
    explicit TimerScheduler(EventLoop& loop) : loop_(loop) {}

    WindowTimer& add(std::string name, std::uint32_t intervalMs);

    // Enabling a stopped timer starts a fresh interval; enabling a running
    // one changes nothing (as with a window timer).
    void setEnabled(WindowTimer& timer, bool enabled);

    // Runs the tick of every enabled timer that is due at `now`, once each,
    // in creation order. A timer's next tick is scheduled before its handler
    // runs, so a handler that waits sees its own later ticks.
    void runDue(std::uint32_t now);

    // Milliseconds from now until the next enabled timer is due (0 when one
    // is due already); nullopt-like UINT32_MAX when none is enabled.
    std::uint32_t millisecondsUntilNextDue(std::uint32_t now) const;

    // Stops every timer for good (the window is gone).
    void shutDown();
    bool isShutDown() const { return shutDown_; }

private:
    EventLoop& loop_;
    std::vector<std::unique_ptr<WindowTimer>> timers_;
    bool shutDown_ = false;
};

} // namespace qv
