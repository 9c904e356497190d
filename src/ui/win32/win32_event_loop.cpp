#include "ui/win32/win32_event_loop.h"

#include <algorithm>

#include "platform/timer_scheduler.h"

namespace qv::win32 {

void dispatchPendingMessages(const MessagePreview& preview) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        // Nobody ends this loop by posting WM_QUIT: the close sequence does.
        if (message.message == WM_QUIT) {
            continue;
        }
        if (preview) {
            preview(message);
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

std::uint32_t Win32EventLoop::tickCount() {
    return GetTickCount();  // wraps at 32 bits, as the window logic expects
}

void Win32EventLoop::sleep(std::uint32_t milliseconds) { Sleep(milliseconds); }

void Win32EventLoop::processEvents(std::uint32_t maxWaitMs) {
    renderView();
    dispatchPendingMessages(preview_);
    std::uint32_t wait = maxWaitMs;
    if (timers_ != nullptr) {
        wait = std::min(wait, timers_->millisecondsUntilNextDue(tickCount()));
    }
    if (wait > 0) {
        // INFINITE is 0xFFFFFFFF: a wait that long is cut one short.
        MsgWaitForMultipleObjectsEx(0, nullptr, std::min<DWORD>(wait, INFINITE - 1), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
        dispatchPendingMessages(preview_);
    }
    if (timers_ != nullptr) {
        timers_->runDue(tickCount());
    }
    renderView();
}

void Win32EventLoop::renderView() {
    if (render_) {
        render_();
    }
}

} // namespace qv::win32
