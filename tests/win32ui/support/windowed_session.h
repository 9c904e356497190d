#pragma once
// The whole updater on the simulated hub and virtual time, with the Windows
// view on its window: the view is connected to the window logic as in the
// program, rendered and its messages dispatched whenever the program
// processes events (each exchange with the hub costs a millisecond, so long
// flows let it draw).
#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "app/view_input.h"
#include "core/support/app_fixture.h"
#include "ui/win32/main_window_view.h"
#include "ui/win32/win32_event_loop.h"

namespace qv::testing {

class WindowedSession : public AppHarness {
public:
    WindowedSession() : viewTimer(sim.session.timers.add("View", kRenderIntervalMs)) {
        sim.hub.setLatency(1);
        view.attach(sim.session.window, windowInput(sim.session));
        viewTimer.onTick([this] {
            refresh();
            progressSeen.push_back(static_cast<int>(
                SendMessageA(view.control(win32::kProgressBar1), PBM_GETPOS, 0, 0)));
            if (onRender) onRender();
        });
        sim.session.setTimer(viewTimer, true);
    }
    ~WindowedSession() { view.detach(); }

    HWND frame() const { return view.window(); }
    HWND control(int id) const { return view.control(id); }

    // The window created as the program creates it; Timer4 then runs the
    // start-up sequence.
    void create() {
        createWindow();
        refresh();
    }
    // Lets the program's clock run, then draws.
    void run(std::uint32_t milliseconds) {
        AppHarness::run(milliseconds);
        refresh();
    }
    void runUntil(const std::function<bool()>& done, std::uint32_t limitMs = 120000) {
        for (std::uint32_t t = 0; t < limitMs && !done(); t += 100) run(100);
    }
    void refresh() {
        view.render();
        win32::dispatchPendingMessages([this](const MSG& message) { view.preview(message); });
    }
    // The operator holds CTRL (the focus on the message pane), taps
    // "Update" and lets go.
    void tapUpdateWithControl() {
        PostMessageA(control(win32::kMemo1), WM_KEYDOWN, VK_CONTROL, 0);
        refresh();
        SendMessageA(control(win32::buttonId(5)), BM_CLICK, 0, 0);
        PostMessageA(control(win32::kMemo1), WM_KEYUP, VK_CONTROL, 0);
        refresh();
    }
    bool closeBoxShown() const { return (GetWindowLongPtrA(frame(), GWL_STYLE) & WS_SYSMENU) != 0; }

    static constexpr std::uint32_t kRenderIntervalMs = 5;

    win32::MainWindowView view;
    WindowTimer& viewTimer;
    std::vector<int> progressSeen;   // the bar's value at each render
    std::function<void()> onRender;  // runs after each render
};

} // namespace qv::testing
