#pragma once
// The event loop of the window program on Windows: the thread's Win32
// message queue on the system's tick counter. Waiting inside a flow keeps
// the window painting, the progress bar moving and the window timers
// ticking (nested in the flow, as designed). No threads, no busy waiting:
// an idle window sleeps in MsgWaitForMultipleObjectsEx until a message
// comes or the next window timer is due.
#include <windows.h>

#include <cstdint>
#include <functional>

#include "platform/event_loop.h"

namespace qv::win32 {

// Sees each message before it is dispatched (the window's key preview).
using MessagePreview = std::function<void(const MSG&)>;

// Dispatches every message waiting in this thread's queue, each shown to
// `preview` first.
void dispatchPendingMessages(const MessagePreview& preview);

class Win32EventLoop : public EventLoop {
public:
    std::uint32_t tickCount() override;
    void sleep(std::uint32_t milliseconds) override;
    // Dispatches pending messages, then waits for further messages up to
    // maxWaitMs or until the next window timer is due, dispatches what came,
    // runs the due timers and brings the view up to date.
    void processEvents(std::uint32_t maxWaitMs) override;
    void attachTimers(TimerScheduler* timers) override { timers_ = timers; }

    // Called before and after each round: the view's render(), so that what
    // the core wrote is painted in this round.
    void setRenderer(std::function<void()> render) { render_ = std::move(render); }
    void setMessagePreview(MessagePreview preview) { preview_ = std::move(preview); }

private:
    void renderView();

    TimerScheduler* timers_ = nullptr;
    std::function<void()> render_;
    MessagePreview preview_;
};

} // namespace qv::win32
