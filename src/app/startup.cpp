#include "app/startup.h"

#include "app/main_window.h"
#include "app/outcome.h"
#include "app/update_selection.h"
#include "platform/event_loop.h"
#include "platform/process_control.h"
#include "programming/flash_mode.h"
#include "programming/image_file.h"
#include "session/options.h"
#include "session/session.h"

namespace qv {

namespace {

constexpr std::uint32_t kOpeningPauseMs = 500;
constexpr std::size_t kParameterFileSize = 1024;
constexpr int kWidenedWindowWidth = 840;
const std::string kVersionLabel = "Current firmware version: ";

// Not the 5C family: run the presence tests and keep their results.
void checkFamily(Session& session) {
    if (isFamily5CHardwareId(session.options.MAIN_HWID)) return;
    session.window.memo2.append("MainHWid is not 5Cxx");
    session.FF7APresent = session.link.DetectFF7ADevice();
    session.FF6DPresent = session.link.DetectFF6DDevice();
    session.FF4EPresent = session.link.DetectFF4EDevice();
    session.window.label1.caption = "Detach and attach Tablet PC then retry";
}

void showDeviceVersion(Session& session) {
    session.window.label2.caption = kVersionLabel + ReadDeviceVersionText(session);
}

// The outcome table for every verdict but Selected.
void recordSelectionOutcome(Session& session, SelectionVerdict verdict, const std::string& problem) {
    using namespace result_code;
    switch (verdict) {
    case SelectionVerdict::NoFile:
        if (session.DeviceModeState == 0) {
            RecordOutcome(session, 25, {"Can not Find Device! - 1"}, kNoDeviceAtStart);
        } else if (session.options.TALVIK_BCDDEVICE != 0) {
            RecordOutcome(session, 16,
                          {"Detect error - update the device doesn't meet the update condition, the device can't be "
                           "updated."},
                          kNoUpdateFile);
            ReopenNormalMode(session);
            if (session.link.FoundDeviceCount() != 0 && session.DeviceModeState == 1) showDeviceVersion(session);
        } else {
            RecordOutcome(session, 16, {"Can not find update file."}, kNoUpdateFile);
        }
        break;
    case SelectionVerdict::TooMany:
        RecordOutcome(session, 25, {"Not more than two update files in the same folder."}, kTooManyFiles);
        break;
    case SelectionVerdict::UpToDate:
        RecordOutcome(session, 25, {"FW is up to date!"}, kUpToDate, CloseKey::PASS);
        break;
    case SelectionVerdict::BadVersion:
        ReportStartupError(session, {problem}, kBadVersionNumber);
        break;
    case SelectionVerdict::Unreadable:
        ReportStartupError(session, {problem}, kUnreadableUpdateFile);
        break;
    case SelectionVerdict::Selected:
        break;
    }
}

// Update-button mode: the operator starts the run with CTRL + "Update".
void awaitOperator(Session& session) {
    WindowModel& window = session.window;
    window.width = kWidenedWindowWidth;
    window.memo1.clear();
    if (session.link.FoundDeviceCount() == 0) {
        const std::string request =
            "Do not find the device, please close the update APP and plug-in the device to try again.";
        window.button6.enabled = true;
        if (operatorAbsent(session)) {
            // Nobody could plug a device in and restart: a failed ending.
            RecordOutcome(session, 16, {request}, result_code::kNoDeviceAtStart);
        } else {
            window.memo1.append(request);
        }
        return;
    }
    for (const char* line : {"Instructions:", "Step 1: ", "Close any other applications that are running.", "Step 2: ",
                             "Keep power adapter connecting with Tablet PC.", "Step 3: ",
                             "Press and hold CTRL key on the keyboard and tap Update button on the screen."}) {
        window.memo1.append(line);
    }
    ShowImageVersion(session);
    window.button5.enabled = true;
    window.button6.enabled = true;
    if (session.DeviceModeState == 1) showDeviceVersion(session);
    // A device already in flash mode cannot wait; without an operator no
    // one would tap "Update": the pass taps it itself.
    if (session.DeviceModeState == 2 || operatorAbsent(session)) {
        session.CtrlHeld = true;
        Button5Click(session);
        session.CtrlHeld = false;
    }
}

// Verdict Selected: load the file and decide what runs next.
void loadAndRoute(Session& session) {
    const std::string path = candidatePath(session, session.UpdateCandidates.front());
    session.record.imagePath.clear();
    const ImageFileRead read = loadImageFile(path, session.ImageBuffer);
    if (read.status == ImageFileRead::Status::TooLarge) {
        ReportStartupError(session, {imageFileProblem(session.UpdateCandidates.front(), read)},
                           result_code::kUnreadableUpdateFile);
        return;
    }
    if (!read) {
        ReportStartupError(session, {"Can not read update file.", path}, result_code::kUnreadableUpdateFile);
        return;
    }
    session.record.imagePath = path;
    session.window.edit1.caption = session.openDialogFileName;
    if (session.ImageBuffer.size() == kParameterFileSize && !session.FF6DPresent) {
        session.setTimer(session.Timer3, true);
        return;
    }
    if (!StartupImageCheck(session)) return;
    if (session.options.TALVIK_UPDATEBUTTON == 0) {
        session.setTimer(session.Timer1, true);
        return;
    }
    awaitOperator(session);
}

} // namespace

bool isFamily5CHardwareId(const std::string& hardwareId) {
    constexpr std::size_t kFamilyOffset = 17;  // character 18, counted from 1
    if (hardwareId.size() <= kFamilyOffset) return false;
    return hardwareId.compare(kFamilyOffset, 2, "5C") == 0 || hardwareId.compare(kFamilyOffset, 4, "7E41") == 0;
}

void ReportStartupError(Session& session, const std::vector<std::string>& lines, std::uint8_t code) {
    // "/S" makes every outcome close the program; a pass stopped before the
    // switch was applied must close all the same (docking aside).
    if (session.commandLine.hasFlag("/S") && session.options.DOCKINGBURN != 1) {
        session.options.PASS = 1;
        session.options.FAIL = 1;
    }
    RecordOutcome(session, 16, lines, code);
    session.setTimer(session.Timer4, false);
}

void ReportConfigurationError(Session& session, const OptionsReadResult& result) {
    ReportStartupError(session, {result.error, "Please check " + result.key + " in TAVO.ini."},
                       result_code::kConfigurationError);
}

void Timer4Timer(Session& session) {
    session.DeviceModeState = -1;
    session.ResultCode = 0;
    session.record.outcomeRecorded = false;
    session.outcomePending = true;
    // A run that died between a removal and its rescan left the hub off the
    // device tree; the pause lets it enumerate before the search.
    if (const unsigned restored = session.deviceTree.RestoreStrandedDevices(); restored != 0) {
        session.window.memo2.append("Brought back " + std::to_string(restored) +
                                    " device(s) an earlier run had left removed from the device tree.");
    }
    session.ports.loop->sleep(kOpeningPauseMs);
    const OptionsReadResult read = readStartupOptions(session.options, *session.ports.profile,
                                                      configFilePath(session.executableFolder()), session.commandLine);
    for (const auto& note : read.notes) session.window.memo2.append(note);
    if (!read.ok) {
        ReportConfigurationError(session, read);
        return;
    }
    if (session.options.KILLTASK == 1) session.ports.processes->endProcessTree(kServiceImageName);
    checkFamily(session);

    std::string problem;
    const SelectionVerdict verdict = SelectUpdateFile(session, problem);
    if (verdict == SelectionVerdict::Selected) {
        loadAndRoute(session);
    } else {
        recordSelectionOutcome(session, verdict, problem);
    }
    session.setTimer(session.Timer4, false);
}

} // namespace qv
