#include "ui/qt/qt_event_loop.h"

#include <algorithm>

#include <QCoreApplication>
#include <QThread>

#include "platform/timer_scheduler.h"

namespace qv::qt {

QtEventLoop::QtEventLoop() {
    clock_.start();
    wake_.setSingleShot(true);
}

std::uint32_t QtEventLoop::tickCount() {
    // The tick counter wraps at 32 bits like the system's.
    return static_cast<std::uint32_t>(clock_.elapsed());
}

void QtEventLoop::sleep(std::uint32_t milliseconds) { QThread::msleep(milliseconds); }

void QtEventLoop::processEvents(std::uint32_t maxWaitMs) {
    renderView();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    std::uint32_t wait = maxWaitMs;
    if (timers_ != nullptr) {
        wait = std::min(wait, timers_->millisecondsUntilNextDue(tickCount()));
    }
    if (wait > 0) {
        // The single-shot timer wakes the wait when no window event comes.
        wake_.start(static_cast<int>(std::min<std::uint32_t>(wait, 0x7FFFFFFF)));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        wake_.stop();
    }
    if (timers_ != nullptr) {
        timers_->runDue(tickCount());
    }
    renderView();
}

void QtEventLoop::renderView() {
    if (render_) {
        render_();
    }
}

} // namespace qv::qt
