// The Win32 event loop on the real clock: window messages and window timers
// run while the core waits, a plain sleep runs nothing, an idle wait costs
// no processor time, keys are previewed before they are dispatched. Waits
// here are tens of milliseconds; the bounds are loose so a busy machine
// does not fail them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/timer_scheduler.h"
#include "core/support/event_loop_scenarios.h"
#include "support/child_windows.h"
#include "ui/win32/win32_event_loop.h"

namespace qv::win32 {
namespace {

bool g_systemTimerFired = false;
void CALLBACK systemTimerFired(HWND, UINT, UINT_PTR id, DWORD) {
    g_systemTimerFired = true;
    KillTimer(nullptr, id);
}

TEST(Win32EventLoop, WaitEndsWhenTheNextTimerIsDue) {
    Win32EventLoop loop;
    const testing::DueTick tick = testing::waitForA30MsTimer(loop);
    EXPECT_EQ(tick.ticks, 1);
    EXPECT_GE(tick.elapsedMs, 25u);
    EXPECT_LT(tick.elapsedMs, 3000u);
}

TEST(Win32EventLoop, TimerTicksNestInsideAWaitingHandler) {
    Win32EventLoop loop;
    EXPECT_GE(testing::blinksDuringANestedWait(loop), 2);
}

TEST(Win32EventLoop, WindowMessagesRunAndEndTheWaitEarly) {
    Win32EventLoop loop;
    g_systemTimerFired = false;
    SetTimer(nullptr, 0, 20, systemTimerFired);
    const std::uint32_t start = GetTickCount();
    while (!g_systemTimerFired && GetTickCount() - start < 5000) {
        loop.processEvents(10000);
    }
    EXPECT_TRUE(g_systemTimerFired);
    EXPECT_LT(GetTickCount() - start, 3000u);
}

TEST(Win32EventLoop, NothingPendingMeansWaitingAtMostTheGivenTime) {
    Win32EventLoop loop;
    std::uint32_t start = GetTickCount();
    loop.processEvents(40);
    EXPECT_LT(GetTickCount() - start, 3000u);
    start = GetTickCount();
    loop.processEvents(0);
    EXPECT_LT(GetTickCount() - start, 1000u);
}

TEST(Win32EventLoop, AnIdleWaitCostsNoProcessorTime) {
    Win32EventLoop loop;
    TimerScheduler timers(loop);
    loop.attachTimers(&timers);
    WindowTimer& blink = timers.add("Timer2", 100);
    blink.onTick([] {});
    timers.setEnabled(blink, true);
    const double before = testing::processorMilliseconds();
    const std::uint32_t start = GetTickCount();
    while (GetTickCount() - start < 600) {
        loop.processEvents(1000);
    }
    const double used = testing::processorMilliseconds() - before;
    EXPECT_LT(used, 150.0) << "the loop spins instead of waiting";
    loop.attachTimers(nullptr);
}

TEST(Win32EventLoop, SleepRunsNothing) {
    Win32EventLoop loop;
    TimerScheduler timers(loop);
    loop.attachTimers(&timers);
    WindowTimer& timer = timers.add("Timer2", 1);
    int ticks = 0;
    timer.onTick([&] { ++ticks; });
    timers.setEnabled(timer, true);
    g_systemTimerFired = false;
    SetTimer(nullptr, 0, 1, systemTimerFired);

    const std::uint32_t before = loop.tickCount();
    loop.sleep(30);
    EXPECT_GE(loop.tickCount() - before, 15u);  // the tick counter may move in steps of up to 15 ms
    EXPECT_EQ(ticks, 0);
    EXPECT_FALSE(g_systemTimerFired);
    loop.processEvents(0);
    EXPECT_EQ(ticks, 1);
    EXPECT_TRUE(g_systemTimerFired);
    loop.attachTimers(nullptr);
}

TEST(Win32EventLoop, ViewIsRenderedAroundEachRound) {
    Win32EventLoop loop;
    int renders = 0;
    bool renderedBeforeMessages = false;
    loop.setRenderer([&] { ++renders; });
    loop.setMessagePreview([&](const MSG& message) {
        if (message.message == WM_APP) renderedBeforeMessages = renders > 0;
    });
    PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0);
    loop.processEvents(0);
    EXPECT_TRUE(renderedBeforeMessages);
    EXPECT_EQ(renders, 2);
}

TEST(Win32EventLoop, EachMessageIsPreviewedBeforeItIsDispatched) {
    Win32EventLoop loop;
    std::vector<std::string> seen;
    HWND window = CreateWindowExA(0, "EDIT", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    loop.setMessagePreview([&](const MSG& message) {
        if (message.hwnd == window && message.message == WM_CHAR) {
            seen.push_back("preview " + std::string(1, static_cast<char>(message.wParam)) + " before text '" +
                           testing::windowText(window) + "'");
        }
    });
    PostMessageA(window, WM_CHAR, 'x', 0);
    loop.processEvents(0);
    EXPECT_EQ(seen, std::vector<std::string>{"preview x before text ''"});
    EXPECT_EQ(testing::windowText(window), "x");
    DestroyWindow(window);
}

} // namespace
} // namespace qv::win32
