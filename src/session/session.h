#pragma once
// Everything one run of the updater holds: the ports to the outside world,
// the configuration, the window, the device link and the state the parts of
// the updater share (the loaded image, family flags, device mode, run state,
// result code). One instance per process; tests build their own.
#include <cstdint>
#include <exception>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "device/device_link.h"
#include "device/device_tree.h"
#include "platform/timer_scheduler.h"
#include "session/command_line.h"
#include "session/link_wiring.h"
#include "session/options.h"
#include "session/run_record.h"
#include "session/window_model.h"

namespace qv {

class HidBus;
class DeviceManager;
class EventLoop;
class SystemStore;
class ProcessControl;
class KeepAwake;
class Environment;
class ProfileSource;
class DirectoryListing;
class FileDialog;
class StopRequests;

struct Ports {
    HidBus* hid = nullptr;
    DeviceManager* deviceManager = nullptr;
    EventLoop* loop = nullptr;
    SystemStore* store = nullptr;
    ProcessControl* processes = nullptr;
    KeepAwake* keepAwake = nullptr;
    Environment* environment = nullptr;
    ProfileSource* profile = nullptr;
    DirectoryListing* directory = nullptr;
    FileDialog* fileDialog = nullptr;        // none without a window system
    StopRequests* stops = nullptr;           // none: nothing asks the program to stop
    std::ostream* standardOutput = nullptr;  // the two debugging lines
};

// Verdict of the update-file selection. BadVersion: a version text whose
// number part is not a decimal number stopped the choice. Unreadable: a
// candidate the choice had to look into was too large or could not be read.
enum class SelectionVerdict { Selected, NoFile, TooMany, UpToDate, BadVersion, Unreadable };

// Leaves whatever the program is doing at a safe point once the operating
// system asked it to stop; the program's loop catches it and ends the run.
struct StopRequested {};

struct Session {
    Session(const Ports& ports, CommandLine commandLine);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Ports ports;
    CommandLine commandLine;
    Options options;
    WindowModel window;
    TimerScheduler timers;
    WindowTimer& Timer1;  // code-update run, 1000 ms
    WindowTimer& Timer2;  // error-panel blinker, 500 ms
    WindowTimer& Timer3;  // parameter-update run, 1000 ms
    WindowTimer& Timer4;  // start-up sequence, 100 ms
    WindowTimer& Timer5;  // warning blinker, 500 ms
    DeviceLink link;
    DeviceTree deviceTree;

    bool silent = false;  // "/S": the window is never shown

    // The selected update file, whole; empty = no file loaded.
    std::vector<std::uint8_t> ImageBuffer;
    std::string openDialogFileName;  // OpenDialog1's file name

    bool FF7APresent = false;
    bool FF6DPresent = false;
    bool FF4EPresent = false;
    int DeviceModeState = -1;  // -1 before the first search, 0 none, 1 normal, 2 flash
    bool AltFlashDevice = false;

    std::int32_t RunState = 0;
    std::int32_t RunTicks = 0;
    bool CtrlHeld = false;
    bool DefaultFolderUsed = false;
    std::vector<std::string> UpdateCandidates;
    int ProjectIndex = 0;  // 1..16, 0 = none

    std::uint8_t ResultCode = 0;
    RunRecord record;
    // From the start of a start-up pass until an outcome is recorded: a run
    // that ends otherwise (a stop request, an error) ends as a failure.
    bool outcomePending = false;

    // Closes the main window (runs the close sequence). Installed by the
    // window logic; outcomes call it through FinishOutcome.
    std::function<void()> closeMainWindow;

    // Starts or stops a window timer.
    void setTimer(WindowTimer& timer, bool enabled) { timers.setEnabled(timer, enabled); }
    std::string executableFolder() const;
    // A safe point: throws StopRequested when a stop was requested (the
    // request is taken, so the ending's own exchanges go on), or the error
    // an operator's input left in deferredError.
    void safePoint();
    // An error (or stop) that came up while a view's toolkit was calling in
    // (a click): it may not leave through the toolkit's frames, so it waits
    // here for the next safe point of the program's loop.
    std::exception_ptr deferredError;
};

} // namespace qv
