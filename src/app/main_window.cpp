#include "app/main_window.h"

#include "app/startup.h"
#include "app/update_run.h"
#include "platform/event_loop.h"
#include "platform/keep_awake.h"
#include "programming/flash_mode.h"
#include "session/options.h"
#include "session/result_reporting.h"
#include "session/session.h"

namespace qv {

namespace {
constexpr std::uint32_t kClosingPauseMs = 500;
constexpr int kWarningTop = 32;
constexpr int kWarningHeight = 145;
} // namespace

void CreateMainWindow(Session& session) {
    session.Timer1.onTick([&session] { Timer1Timer(session); });
    session.Timer2.onTick([&session] { Timer2Timer(session); });
    session.Timer3.onTick([&session] { Timer3Timer(session); });
    session.Timer4.onTick([&session] { Timer4Timer(session); });
    session.Timer5.onTick([&session] { Timer5Timer(session); });
    session.closeMainWindow = [&session] { FormClose(session); };
    session.setTimer(session.Timer4, true);
    FormCreate(session);
}

void FormCreate(Session& session) {
    WindowModel& window = session.window;
    session.ports.keepAwake->request();
    const OptionsReadResult read =
        readWindowOptions(session.options, *session.ports.profile, configFilePath(session.executableFolder()));
    for (const auto& note : read.notes) window.memo2.append(note);
    if (session.options.ENABLE != 0) window.memo2.visible = true;
    window.caption = session.options.TITLENAME + " " + window.caption;
    window.borderIcons.systemMenu = false;
    window.groupBox1.visible = false;
    window.groupBox2.visible = false;
    window.groupBox3.visible = false;
    window.height = kDesignedWindowHeight;
    if (session.options.ENABLE == 0) window.image2.visible = true;
    // The start-up sequence would run on options it could not read.
    if (!read.ok) ReportConfigurationError(session, read);
}

void FormKeyDown(Session& session, int keyCode) {
    if (keyCode == kVkControl) session.CtrlHeld = true;
}

void FormKeyUp(Session& session, int keyCode) {
    if (keyCode == kVkControl) session.CtrlHeld = false;
}

void Button5Click(Session& session) {
    WindowModel& window = session.window;
    if (!window.button5.enabled || !session.CtrlHeld) return;
    session.setTimer(session.Timer1, true);
    window.button5.visible = false;
    window.button5.enabled = false;
    window.button6.enabled = false;
    window.image5.visible = false;
    for (Control* warning : {&window.image6, &window.image7}) {
        warning->bounds.top = kWarningTop;
        warning->bounds.height = kWarningHeight;
    }
    session.setTimer(session.Timer5, true);
    window.memo1.clear();
    window.label2.caption.clear();
}

void Button6Click(Session& session) {
    if (!session.window.button6.enabled) return;
    if (session.closeMainWindow) {
        session.closeMainWindow();
    } else {
        FormClose(session);
    }
}

void FormClose(Session& session) {
    WindowModel& window = session.window;
    if (window.closed) return;
    if (window.memo2.visible) WriteDiagnosticLog(session);
    session.ports.loop->sleep(kClosingPauseMs);
    OpenDeviceInMode(session, 0);
    session.ports.keepAwake->release();
    window.closed = true;
    session.timers.shutDown();
}

void Timer2Timer(Session& session) {
    WindowModel& window = session.window;
    window.panel1.visible = true;
    window.image8.visible = true;
    if (window.panel1.colour == colour::kSkyBlue) {
        window.panel1.colour = colour::kCream;
        window.label1Background = colour::kGreen;
    } else {
        window.panel1.colour = colour::kSkyBlue;
        window.label1Background = colour::kLime;
    }
}

void Timer5Timer(Session& session) {
    WindowModel& window = session.window;
    const bool showBlue = !window.image6.visible;
    window.image6.visible = showBlue;
    window.image7.visible = !showBlue;
}

void restoreSystemMenu(Session& session) { session.window.borderIcons.systemMenu = true; }

} // namespace qv
