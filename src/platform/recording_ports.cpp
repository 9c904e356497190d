#include "platform/recording_ports.h"

#include <cerrno>
#include <cstring>

namespace qv {

SessionRecorder::SessionRecorder(EventLoop& loop, std::string path)
    : loop_(loop), path_(std::move(path)), startTick_(loop.tickCount()) {
    file_ = std::fopen(path_.c_str(), "wb");
}

SessionRecorder::~SessionRecorder() {
    if (file_ != nullptr) std::fclose(file_);
}

void SessionRecorder::append(RecordedEvent& event) {
    if (file_ == nullptr) return;
    event.t = loop_.tickCount() - startTick_;
    write(recordingLine(event) + '\n');
}

void SessionRecorder::appendExchange(bool isSet, const std::string& field, const FeatureReport& report, bool ok,
                                     std::uint32_t error) {
    if (file_ == nullptr) return;
    line_.clear();
    appendExchangeLine(line_, loop_.tickCount() - startTick_, isSet, field, report, ok, error);
    line_ += '\n';
    write(line_);
}

void SessionRecorder::write(const std::string& line) {
    errno = 0;
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fflush(file_) != 0) {
        stop(errno != 0 ? std::strerror(errno) : "write failed");
    }
}

void SessionRecorder::stop(const std::string& reason) {
    std::fclose(file_);
    file_ = nullptr;
    stopped_ = true;
    const std::string line = "Recording stopped: cannot write " + path_ + " (" + reason + ")";
    if (sink_) {
        sink_(line);
    } else {
        pendingFailure_ = line;
    }
}

void SessionRecorder::setFailureSink(std::function<void(const std::string&)> sink) {
    sink_ = std::move(sink);
    if (sink_ && !pendingFailure_.empty()) {
        sink_(pendingFailure_);
        pendingFailure_.clear();
    }
}

std::optional<std::string> RecordingHidBus::interfacePath(unsigned index) {
    auto path = inner_.interfacePath(index);
    RecordedEvent event;
    event.op = RecordedOp::Enumerate;
    event.index = index;
    event.path = path;
    recorder_.append(event);
    return path;
}

HidHandle RecordingHidBus::open(const std::string& path) {
    const HidHandle handle = inner_.open(path);
    RecordedEvent event;
    event.op = RecordedOp::Open;
    event.path = path;
    event.ok = handle != kNoHandle;
    event.handle = handle;
    if (event.ok) {
        // What the interface is, read once here so that a replay can answer
        // the class queries without a device.
        event.caps = inner_.collectionCaps(handle);
        event.attributes = inner_.attributes(handle);
        opened_[handle] = {path, pathField(path)};
    }
    recorder_.append(event);
    return handle;
}

void RecordingHidBus::close(HidHandle handle) {
    inner_.close(handle);
    RecordedEvent event;
    event.op = RecordedOp::Close;
    event.path = opened(handle).path;
    event.handle = handle;
    opened_.erase(handle);
    recorder_.append(event);
}

const RecordingHidBus::Opened& RecordingHidBus::opened(HidHandle handle) const {
    const auto it = opened_.find(handle);
    return it == opened_.end() ? unknown_ : it->second;
}

bool RecordingHidBus::setFeature(HidHandle handle, const FeatureReport& report, std::uint32_t& errorCode) {
    const bool ok = inner_.setFeature(handle, report, errorCode);
    recorder_.appendExchange(true, opened(handle).field, report, ok, ok ? 0 : errorCode);
    return ok;
}

bool RecordingHidBus::getFeature(HidHandle handle, FeatureReport& report, std::uint32_t& errorCode) {
    const bool ok = inner_.getFeature(handle, report, errorCode);
    recorder_.appendExchange(false, opened(handle).field, report, ok, ok ? 0 : errorCode);
    return ok;
}

PresentDeviceList RecordingDeviceManager::presentDevices() {
    PresentDeviceList devices = inner_.presentDevices();
    if (recorder_.recording()) {
        RecordedEvent event;
        event.op = RecordedOp::HardwareIds;
        event.devices = devices;
        recorder_.append(event);
    }
    return devices;
}

bool RecordingDeviceManager::removeDevice(std::uint64_t node) {
    const bool ok = inner_.removeDevice(node);
    RecordedEvent event;
    event.op = RecordedOp::Remove;
    event.node = node;
    event.ok = ok;
    recorder_.append(event);
    return ok;
}

RescanStatus RecordingDeviceManager::rescan() {
    const RescanStatus status = inner_.rescan();
    RecordedEvent event;
    event.op = RecordedOp::Rescan;
    event.rescan = status;
    recorder_.append(event);
    return status;
}

} // namespace qv
