#pragma once
// The event loop of the window program: Qt's event processing on the real
// clock. Waiting inside a flow keeps the window painting, the progress bar
// moving and the window timers ticking (nested in the flow, as designed).
#include <cstdint>
#include <functional>

#include <QElapsedTimer>
#include <QTimer>

#include "platform/event_loop.h"

namespace qv::qt {

class QtEventLoop : public EventLoop {
public:
    QtEventLoop();

    std::uint32_t tickCount() override;
    void sleep(std::uint32_t milliseconds) override;
    // Processes pending window events, then waits for further events up to
    // maxWaitMs or until the next window timer is due, runs the due timers
    // and brings the view up to date.
    void processEvents(std::uint32_t maxWaitMs) override;
    void attachTimers(TimerScheduler* timers) override { timers_ = timers; }

    // Called before and after each round of event processing: the view's
    // render(), so that what the core wrote is painted in this round.
    void setRenderer(std::function<void()> render) { render_ = std::move(render); }

private:
    void renderView();

    QElapsedTimer clock_;
    QTimer wake_;  // bounds the wait for events
    TimerScheduler* timers_ = nullptr;
    std::function<void()> render_;
};

} // namespace qv::qt
