#include "main/device_capture.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <iterator>

#include "app/exit_codes.h"
#include "app/replay_report.h"
#include "platform/environment.h"
#include "session/program_version.h"

namespace qv {

namespace {

constexpr std::size_t kLongestIniRecorded = 256 * 1024;

std::string stationIni(Ports& ports) {
    if (ports.environment == nullptr) return {};
    std::ifstream file(ports.environment->executableFolder() + "TAVO.ini", std::ios::binary);
    std::string text;
    char buffer[4096];
    while (file && text.size() < kLongestIniRecorded) {
        file.read(buffer, sizeof buffer);
        text.append(buffer, static_cast<std::size_t>(file.gcount()));
    }
    if (text.size() > kLongestIniRecorded) text.resize(kLongestIniRecorded);
    return text;
}

// The switches of a command line (/S, /VF, /ERASE, /F...), without the
// program's own "--" options, which a replay's differ in anyway.
std::vector<std::string> switchesOf(const std::vector<std::string>& arguments) {
    std::vector<std::string> switches;
    for (const auto& argument : arguments) {
        if (argument.rfind("--", 0) != 0) switches.push_back(argument);
    }
    return switches;
}

} // namespace

void reportDivergenceAndExit(const ReplayDivergence& divergence) {
    std::cerr << divergenceReport(divergence) << std::flush;
    std::exit(kExitReplayDivergence);
}

DeviceCapture::DeviceCapture(CaptureOptions options) : options_(std::move(options)) {
    if (!options_.onDivergence) options_.onDivergence = reportDivergenceAndExit;
}

DeviceCapture::~DeviceCapture() = default;

bool DeviceCapture::open(EventLoop& loop, Ports& ports, std::string& error) {
    if (options_.replayFile) return openReplay(loop, ports, error);
    if (options_.recordFile) return openRecording(loop, ports, error);
    return true;
}

bool DeviceCapture::openRecording(EventLoop& loop, Ports& ports, std::string& error) {
    recorder_ = std::make_unique<SessionRecorder>(loop, *options_.recordFile);
    if (!recorder_->opened()) {
        error = "--record=" + *options_.recordFile + ": the file cannot be created";
        return false;
    }
    RecordedEvent start;
    start.op = RecordedOp::Start;
    start.version = kProgramVersion;
    start.platform = options_.platform;
    start.arguments = options_.arguments;
    start.ini = stationIni(ports);
    recorder_->append(start);
    recordingBus_ = std::make_unique<RecordingHidBus>(*ports.hid, *recorder_);
    recordingTree_ = std::make_unique<RecordingDeviceManager>(*ports.deviceManager, *recorder_);
    ports.hid = recordingBus_.get();
    ports.deviceManager = recordingTree_.get();
    return true;
}

bool DeviceCapture::openReplay(EventLoop& loop, Ports& ports, std::string& error) {
    const std::string& path = *options_.replayFile;
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(path, sizeError);
    if (!sizeError && size > kMaxRecordingBytes) {
        error = "--replay=" + path + ": the recording is larger than " + std::to_string(kMaxRecordingBytes >> 20) +
                " MiB; no update makes one that large";
        return false;
    }
    {
        std::ifstream check(path, std::ios::binary);
        if (!check) {
            error = "--replay=" + path + ": the file cannot be read";
            return false;
        }
        const std::string problem = checkRecording(check);
        if (!problem.empty()) {
            error = "--replay=" + path + ": " + problem;
            return false;
        }
    }
    replayFile_.open(path, std::ios::binary);
    replay_ = std::make_unique<ReplayPorts>(replayFile_, loop, options_.onDivergence);
    if (!replay_->ok()) {
        error = "--replay=" + path + ": " + replay_->error();
        return false;
    }
    if (replay_->start().ini != stationIni(ports)) {
        std::cerr << "QuorvexUpdate: --replay: TAVO.ini differs from the one of the recorded run\n";
    }
    if (switchesOf(replay_->start().arguments) != switchesOf(options_.arguments)) {
        std::cerr << "QuorvexUpdate: --replay: the switches differ from those of the recorded run:";
        for (const auto& argument : replay_->start().arguments) std::cerr << " " << argument;
        std::cerr << "\n";
    }
    ports.hid = replay_.get();
    ports.deviceManager = replay_.get();
    ports.store = &replayStore_;
    ports.processes = &replayProcesses_;
    ports.keepAwake = &replayKeepAwake_;
    return true;
}

void DeviceCapture::sessionStarted(Session& session) {
    if (recorder_) {
        recorder_->setFailureSink([&session](const std::string& line) { session.window.memo2.append(line); });
    }
}

void DeviceCapture::sessionEnded(const Session& session, int exitCode) {
    if (recorder_) {
        recorder_->setFailureSink({});
        RecordedEvent end;
        end.op = RecordedOp::End;
        end.resultCode = session.ResultCode;
        end.exitCode = exitCode;
        recorder_->append(end);
    }
    if (replay_) replay_->finish(exitCode);
}

} // namespace qv
