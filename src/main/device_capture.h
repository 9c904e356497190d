#pragma once
// --record=FILE and --replay=FILE around the program's device ports.
//
// Recording wraps whatever HID bus and device tree the run uses (the real
// ones or the simulated hub) and writes the start line (version, platform,
// arguments, TAVO.ini), every port call, and the end line (result code,
// exit code). Replay checks the whole recording first (a damaged one stops
// the start with its line number), then puts the recording in place of the
// HID bus and the device tree; FWVer, the background-service kill and the
// keep-awake request stay on this machine's side untouched (in memory only).
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/portable_ports.h"
#include "platform/recording_ports.h"
#include "platform/replay_ports.h"
#include "session/session.h"

namespace qv {

class EventLoop;

struct CaptureOptions {
    std::optional<std::string> recordFile;
    std::optional<std::string> replayFile;
    std::vector<std::string> arguments;
    std::string platform;
    // Called at the first divergence of a replay; the default prints the
    // report on standard error and ends the process with code 4.
    ReplayPorts::DivergenceHandler onDivergence;
};

class DeviceCapture {
public:
    explicit DeviceCapture(CaptureOptions options);
    ~DeviceCapture();

    bool active() const { return options_.recordFile || options_.replayFile; }
    // A replay touches no device: it needs no station lock.
    bool replaying() const { return options_.replayFile.has_value(); }
    // Wraps or replaces the ports the host has set up; false with the reason
    // when the recording cannot be made or read.
    bool open(EventLoop& loop, Ports& ports, std::string& error);
    void sessionStarted(Session& session);
    void sessionEnded(const Session& session, int exitCode);

private:
    bool openRecording(EventLoop& loop, Ports& ports, std::string& error);
    bool openReplay(EventLoop& loop, Ports& ports, std::string& error);

    CaptureOptions options_;
    std::unique_ptr<SessionRecorder> recorder_;
    std::unique_ptr<RecordingHidBus> recordingBus_;
    std::unique_ptr<RecordingDeviceManager> recordingTree_;
    std::ifstream replayFile_;
    std::unique_ptr<ReplayPorts> replay_;
    MemorySystemStore replayStore_;
    RecordingProcessControl replayProcesses_;
    NoKeepAwake replayKeepAwake_;
};

// The default divergence handler: the report on standard error, exit code 4.
void reportDivergenceAndExit(const ReplayDivergence& divergence);

} // namespace qv
