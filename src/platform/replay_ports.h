#pragma once
// --replay=FILE: the HID bus and the device tree answered from a recording
// (see session_recording.h) instead of a device. Every call the program
// makes must be the recording's next one: the same op, the same interface
// index or path or device node, and for a Set the same 64 bytes. The
// answers, handles, errors and device-tree results are the recorded ones;
// before answering, the clock is brought up to the recorded time of the
// call (a sleep on the event loop: virtual time costs nothing), so that the
// program sees the run's timing. At the first call that does not match, the
// divergence is handed to the divergence handler; from then on every call
// fails.
#include <cstdint>
#include <deque>
#include <functional>
#include <istream>
#include <map>
#include <optional>
#include <string>

#include "platform/device_manager.h"
#include "platform/event_loop.h"
#include "platform/hid_bus.h"
#include "platform/session_recording.h"

namespace qv {

struct ReplayedExchange {
    std::uint64_t number = 0;  // 1 = the run's first Set or Get
    RecordedEvent event;
    std::optional<FeatureReport> answers;  // for a Get: the Set before it on the same path
};

struct ReplayDivergence {
    std::uint64_t exchange = 0;     // the program's exchange (Set or Get) count, this one included
    std::uint64_t line = 0;         // line of the recording that was expected next (0: none)
    std::string reason;             // what differs
    std::string asked;              // the call the program made ("set on /dev/hidraw3")
    std::optional<FeatureReport> actualReport;  // what a Set sent
    std::optional<RecordedEvent> recorded;      // the recording's next event (none: it ended)
    std::deque<ReplayedExchange> before;        // up to three exchanges before
};

class ReplayPorts : public HidBus, public DeviceManager {
public:
    using DivergenceHandler = std::function<void(const ReplayDivergence&)>;

    // Reads the "start" line at once; ok() tells whether that worked.
    ReplayPorts(std::istream& recording, EventLoop& loop, DivergenceHandler onDivergence);

    bool ok() const { return start_.has_value(); }
    const std::string& error() const { return reader_.error(); }
    const RecordedEvent& start() const { return *start_; }
    bool diverged() const { return stopped_; }

    // The program has ended with this exit code: the recording must end
    // here too (with its "end" line, when it has one, giving the same exit
    // code). Otherwise it is a divergence.
    void finish(int exitCode);

    std::optional<std::string> interfacePath(unsigned index) override;
    HidHandle open(const std::string& path) override;
    void close(HidHandle handle) override;
    std::optional<HidCollectionCaps> collectionCaps(HidHandle handle) override;
    std::optional<HidAttributes> attributes(HidHandle handle) override;
    bool setFeature(HidHandle handle, const FeatureReport& report, std::uint32_t& errorCode) override;
    bool getFeature(HidHandle handle, FeatureReport& report, std::uint32_t& errorCode) override;

    PresentDeviceList presentDevices() override;
    bool removeDevice(std::uint64_t node) override;
    RescanStatus rescan() override;

private:
    // The recording's next event when it is `op` and `matches` holds for
    // it; otherwise the divergence is reported and nullptr returned.
    const RecordedEvent* expect(RecordedOp op, const std::string& asked,
                                const std::function<std::string(const RecordedEvent&)>& mismatch,
                                const FeatureReport* sent = nullptr);
    void diverge(ReplayDivergence divergence);
    void keepExchange(const RecordedEvent& event);
    std::string pathOf(HidHandle handle) const;

    RecordingReader reader_;
    EventLoop& loop_;
    DivergenceHandler onDivergence_;
    std::uint32_t startTick_;
    std::optional<RecordedEvent> start_;
    RecordedEvent current_;
    bool stopped_ = false;
    std::uint64_t exchanges_ = 0;
    std::deque<ReplayedExchange> lastExchanges_;
    std::map<std::string, FeatureReport> lastSets_;  // by path
    struct OpenInterface {
        std::string path;
        std::optional<HidCollectionCaps> caps;
        std::optional<HidAttributes> attributes;
    };
    std::map<HidHandle, OpenInterface> open_;
};

} // namespace qv
