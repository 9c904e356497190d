#include "app/update_run.h"

#include <span>
#include <string>

#include "app/main_window.h"
#include "app/outcome.h"
#include "app/startup.h"
#include "app/update_selection.h"
#include "programming/code_patch.h"
#include "programming/firmware_flow.h"
#include "programming/flash_mode.h"
#include "programming/parameter_area.h"
#include "programming/settle.h"
#include "session/session.h"

namespace qv {

namespace {

constexpr std::size_t kCodePatchSize = 1024;
const std::string kFindingDevice = "Finding Device ...";

bool docking(const Session& session) { return session.options.DOCKINGBURN != 0; }

void restartPane(Session& session, const std::string& headline) {
    session.window.memo1.clear();
    session.window.memo1.append(headline);
}

void routinePane(Session& session) {
    session.window.memo1.fontSize = 8;
    session.window.memo1.fontColour = colour::kWindowText;
}

void hideErrorPanel(Session& session) {
    session.window.panel1.visible = false;
    session.window.image8.visible = false;
    session.setTimer(session.Timer2, false);
}

bool normalModeFound(const Session& session) {
    return session.window.button2.enabled && !session.window.button3.enabled;
}

bool flashModeFound(const Session& session) {
    return !session.window.button2.enabled && session.window.button3.enabled;
}

void stateStart(Session& session) {
    session.window.beginProgressPhase(ProgressPhase::Search);
    routinePane(session);
    restartPane(session, kFindingDevice);
    ReopenNormalMode(session);
    session.RunState = 1;
}

void stateSeekDevice(Session& session) {
    const std::int32_t limit = session.options.MAXSTATECUNT;
    ++session.RunTicks;
    if (docking(session) && session.RunTicks > halfwayTick(limit)) {
        // Nothing attached for a while: start over as for a fresh device,
        // with the options and the update file read again.
        Timer4Timer(session);
        session.RunState = 0;
        session.RunTicks = 0;
        if (session.ResultCode != 0) {
            session.RunState = 5;
            return;
        }
    }
    // The run is in its seek state whatever a restart left in RunState.
    if (session.RunTicks > limit) FailNoDevice(session, 1, false);
    if (normalModeFound(session)) {
        session.RunState = 2;
        restartPane(session, kFindingDevice);
    }
    if (flashModeFound(session)) {
        session.RunState = 4;
        restartPane(session, kFindingDevice);
    }
    if (docking(session)) return;
    if (session.RunTicks == halfwayTick(limit)) HalfwayRescan(session);
}

void stateEnterFlashMode(Session& session) {
    // The device is open in normal mode: its version is one read away.
    session.window.label2.caption = "Current firmware version: " + ReadDeviceVersionText(session);
    hideErrorPanel(session);
    restartPane(session, kFindingDevice);
    session.RunTicks = 0;
    session.window.beginProgressPhase(ProgressPhase::FlashMode);
    Button2Click(session);
    session.RunState = 3;
}

void stateSeekFlashModeDevice(Session& session) {
    const std::int32_t limit = session.options.MAXSTATECUNT;
    ++session.RunTicks;
    if (session.RunTicks > limit) FailNoDevice(session, 3, false);
    if (flashModeFound(session)) {
        session.RunState = 4;
        restartPane(session, kFindingDevice);
    }
    if (session.RunTicks == halfwayTick(limit)) HalfwayRescan(session);
}

void stateAwaitRemoval(Session& session);

void stateProgram(Session& session) {
    WindowModel& window = session.window;
    hideErrorPanel(session);
    restartPane(session, "Found Device!");
    session.setTimer(session.Timer1, false);
    if (session.options.ENABLE == 0) {
        window.image2.visible = false;
        window.image3.visible = true;
    }
    window.label2.caption.clear();
    if (session.FF6DPresent && session.ImageBuffer.size() == kCodePatchSize) {
        ProgramCodePatch(session);
    } else {
        ProgramFirmwareImage(session);
    }
    if (session.ResultCode == result_code::kProgrammingFailed) session.setTimer(session.Timer2, true);
    if (session.ResultCode == result_code::kSuccess) {
        restartPane(session, "Instructions:");
        window.memo1.append(docking(session) ? "Firmware update is completed and reinsert a new device."
                                             : "Firmware update is completed and soon close menu.");
    }
    session.setTimer(session.Timer5, false);
    window.image6.visible = false;
    window.image7.visible = false;
    window.button6.enabled = true;
    if (docking(session)) {
        session.RunState = 5;
        session.setTimer(session.Timer1, true);
    }
    stateAwaitRemoval(session);
}

// "Upgrade Parameters". A refused file (not a parameter file, or a size
// the device does not have) records no outcome: with an operator the window
// stays as it is; without one the run must still end, as a failure.
void updateParameters(Session& session) {
    constexpr std::uint8_t kNoOutcome = 255;  // a code no flow records
    const std::uint8_t before = session.ResultCode;
    session.ResultCode = kNoOutcome;
    Button4Click(session);
    if (session.ResultCode != kNoOutcome) return;
    session.ResultCode = before;
    if (!operatorAbsent(session)) return;
    const auto& lines = session.window.memo1.lines();
    const std::string refusal = lines.empty() ? std::string() : lines.back();
    RecordOutcome(session, 16, {refusal, "Failure"}, result_code::kParameterFailed);
}

void stateAwaitRemoval(Session& session) {
    WindowModel& window = session.window;
    window.button2.enabled = false;
    window.button3.enabled = false;
    window.button4.enabled = false;
    ReopenNormalMode(session);
    if (window.button2.enabled || window.button3.enabled || window.button4.enabled) return;
    session.RunState = 0;
    session.RunTicks = 0;
    routinePane(session);
    window.label2.caption.clear();
}

} // namespace

std::int32_t halfwayTick(std::int32_t maxStateCount) { return maxStateCount / 2 + 1; }

void HalfwayRescan(Session& session) {
    OpenDeviceInMode(session, 128);
    WaitConfiguredDelay(session);
    const std::string& bootId = session.options.BOOT_HWID;
    if (bootId.compare(0, 3, "USB") != 0 && session.options.REMOVERESCAN != 0) {
        RemoveAndRescan(session, std::span(&bootId, 1));
    }
    OpenDeviceInMode(session, flashModeNumber(session));
}

void FailNoDevice(Session& session, int n, bool parameterRun) {
    session.setTimer(parameterRun ? session.Timer3 : session.Timer1, false);
    session.setTimer(session.Timer2, true);
    RecordOutcome(session, 25, {"Can not Find Device! - " + std::to_string(n)}, static_cast<std::uint8_t>(n));
}

void Timer1Timer(Session& session) {
    const std::string trace = "State:" + std::to_string(session.RunState);
    if (session.RunState != 5) session.window.memo1.append(trace);
    session.window.memo2.append(trace);
    switch (session.RunState) {
    case 0: stateStart(session); break;
    case 1: stateSeekDevice(session); break;
    case 2: stateEnterFlashMode(session); break;
    case 3: stateSeekFlashModeDevice(session); break;
    case 4: stateProgram(session); break;
    case 5: stateAwaitRemoval(session); break;
    default: break;
    }
}

void Timer3Timer(Session& session) {
    session.window.memo1.append("State:" + std::to_string(session.RunState));
    switch (session.RunState) {
    case 0:
        session.window.beginProgressPhase(ProgressPhase::Search);
        restartPane(session, kFindingDevice);
        OpenDeviceInMode(session, 1);
        session.RunState = 1;
        break;
    case 1:
        ++session.RunTicks;
        if (session.RunTicks > session.options.MAXSTATECUNT) FailNoDevice(session, 1, true);
        if (session.window.button4.enabled) {
            session.RunState = 2;
            restartPane(session, kFindingDevice);
        }
        break;
    case 2:
        restartPane(session, "Found Device!");
        session.setTimer(session.Timer3, false);
        updateParameters(session);
        break;
    default:
        break;
    }
}

} // namespace qv
