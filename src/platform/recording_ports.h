#pragma once
// --record=FILE: the two device ports wrapped so that every call is appended
// to a recording (see session_recording.h), one line per call, flushed at
// once so that a crash keeps everything up to it. The wrapped ports behave
// exactly as the ports they wrap. When a line cannot be written, recording
// stops for the rest of the run and the failure is handed once to the
// failure sink (the diagnostic pane); the run itself goes on.
#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "platform/device_manager.h"
#include "platform/event_loop.h"
#include "platform/hid_bus.h"
#include "platform/session_recording.h"

namespace qv {

class SessionRecorder {
public:
    // Creates (or empties) the file; opened() tells whether that worked.
    SessionRecorder(EventLoop& loop, std::string path);
    ~SessionRecorder();
    SessionRecorder(const SessionRecorder&) = delete;
    SessionRecorder& operator=(const SessionRecorder&) = delete;

    bool opened() const { return file_ != nullptr || stopped_; }
    const std::string& path() const { return path_; }

    // Stamps the event with the time since the recorder was made and
    // appends it; does nothing once recording has stopped.
    void append(RecordedEvent& event);
    // A Set or Get; `field` is the path as pathField() made it.
    void appendExchange(bool isSet, const std::string& field, const FeatureReport& report, bool ok,
                        std::uint32_t error);
    bool recording() const { return file_ != nullptr; }

    // Where the one line about a failed write goes; a failure met before
    // the sink is set is handed over when it is.
    void setFailureSink(std::function<void(const std::string&)> sink);

private:
    void write(const std::string& line);
    void stop(const std::string& reason);

    EventLoop& loop_;
    std::string path_;
    std::uint32_t startTick_;
    std::FILE* file_ = nullptr;
    bool stopped_ = false;
    std::string pendingFailure_;
    std::string line_;  // reused for every exchange
    std::function<void(const std::string&)> sink_;
};

class RecordingHidBus : public HidBus {
public:
    RecordingHidBus(HidBus& inner, SessionRecorder& recorder) : inner_(inner), recorder_(recorder) {}

    std::optional<std::string> interfacePath(unsigned index) override;
    HidHandle open(const std::string& path) override;
    void close(HidHandle handle) override;
    std::optional<HidCollectionCaps> collectionCaps(HidHandle handle) override { return inner_.collectionCaps(handle); }
    std::optional<HidAttributes> attributes(HidHandle handle) override { return inner_.attributes(handle); }
    bool setFeature(HidHandle handle, const FeatureReport& report, std::uint32_t& errorCode) override;
    bool getFeature(HidHandle handle, FeatureReport& report, std::uint32_t& errorCode) override;

private:
    struct Opened {
        std::string path;
        std::string field;  // the path as the lines carry it
    };
    const Opened& opened(HidHandle handle) const;

    HidBus& inner_;
    SessionRecorder& recorder_;
    std::map<HidHandle, Opened> opened_;
    Opened unknown_{"", pathField("")};
};

class RecordingDeviceManager : public DeviceManager {
public:
    RecordingDeviceManager(DeviceManager& inner, SessionRecorder& recorder) : inner_(inner), recorder_(recorder) {}

    PresentDeviceList presentDevices() override;
    bool removeDevice(std::uint64_t node) override;
    RescanStatus rescan() override;

private:
    DeviceManager& inner_;
    SessionRecorder& recorder_;
};

} // namespace qv
