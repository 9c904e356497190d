#pragma once
// The simulated sensor hub: a bus of HID interfaces and a device tree,
// behind the same ports as the real platform (HidBus, DeviceManager). It
// holds any number of simulated devices (each a chip with its firmware and
// loader, see simulated_device.h) and foreign HID interfaces such as a
// keyboard, listed in the order they were added; a device keeps its place
// in that order when it re-enumerates.
//
//   qv::VirtualEventLoop loop;
//   qv::sim::SimulatedHub hub(loop);
//   auto& chip = hub.addDevice({.family = qv::sim::Family::FF5C});
//   hub.addForeignInterface(qv::sim::keyboardInterface());
//   ... hand `hub` to the updater as its HidBus and DeviceManager ...
//   EXPECT_EQ(chip.mode(), qv::sim::Mode::Normal);
//
// Every exchange may cost `latency` milliseconds on the event loop (virtual
// time in tests) and is recorded in the exchange log unless logging is off.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/device_manager.h"
#include "platform/hid_bus.h"
#include "platform/sim/simulated_device.h"

namespace qv {
class EventLoop;
}

namespace qv::sim {

// A HID interface that is not a sensor hub.
struct ForeignInterface {
    HidCollectionCaps caps{0x0001, 0x0006};
    HidAttributes attributes{0x046D, 0xC31C, 0x6400};
    // Raw hardware-id list in the device tree; empty: listed without ids.
    std::string hardwareIds = usbHardwareIds(0x046D, 0xC31C, 0x6400);
    bool opens = true;         // false: the path cannot be opened
    bool capsReadable = true;  // false: preparsed data / capabilities cannot be read
};

ForeignInterface keyboardInterface();

struct ExchangeRecord {
    enum class Direction { Set, Get };
    Direction direction = Direction::Set;
    // Place of the device or interface on the bus (the order it was added);
    // -1 for an unknown handle.
    int interfaceId = -1;
    // Set: the report as sent. Get: the report as returned, or as handed in
    // when the Get failed.
    FeatureReport report{};
    bool ok = false;
    std::uint32_t errorCode = 0;
    std::uint32_t tick = 0;
};

// Where the program that drives the hub is interrupted (countdowns, 0 =
// off): the hub calls its host-event hook there, before the n-th exchange
// or right after the n-th removal from the device tree.
struct HostEventPlan {
    unsigned atExchange = 0;
    unsigned atRemoval = 0;
    std::uint32_t pauseMs = 20000;  // how long a program paused there waits (real time)
};

// How the device tree itself behaves.
struct TreeBehaviour {
    bool cannotList = false;        // presentDevices() cannot build the set
    bool enumerationFails = false;  // the listing ends with an unexpected error
    bool refuseRemoval = false;     // removeDevice() is refused
    RescanStatus rescanStatus{true, true, true};
};

class SimulatedHub : public HidBus, public DeviceManager {
public:
    explicit SimulatedHub(EventLoop& loop, std::uint32_t seed = 1);
    ~SimulatedHub() override;
    SimulatedHub(const SimulatedHub&) = delete;
    SimulatedHub& operator=(const SimulatedHub&) = delete;

    // --- Building the bus -----------------------------------------------------
    SimulatedDevice& addDevice(const DeviceConfig& config = {});
    void addForeignInterface(const ForeignInterface& foreign = keyboardInterface());
    // A device-tree entry without a HID interface (e.g. one without ids).
    void addTreeEntry(const PresentDevice& entry);

    std::size_t deviceCount() const;
    // The index-th simulated device, in the order added.
    SimulatedDevice& device(std::size_t index = 0);

    // --- Exchanges ------------------------------------------------------------
    void setLatency(std::uint32_t milliseconds) { latencyMs_ = milliseconds; }
    std::uint32_t latency() const { return latencyMs_; }
    void setLogging(bool on) { logging_ = on; }
    const std::vector<ExchangeRecord>& exchangeLog() const { return log_; }
    void clearLog() { log_.clear(); }
    // Every setFeature/getFeature call, logged or not.
    std::uint64_t exchangeCount() const { return exchangeCount_; }
    std::size_t openHandleCount() const { return handles_.size(); }

    TreeBehaviour& tree() { return tree_; }

    // --- The program on the other side -----------------------------------------
    HostEventPlan& hostEvents() { return hostEvents_; }
    // Called where hostEvents() says; the station decides what happens
    // (the program paused, stopped, or dead).
    std::function<void()> onHostEvent;
    // The program died: from here on nothing it does reaches the hub (no
    // exchange, no removal, no rescan), as with a process that is gone.
    // The next program connects again.
    void disconnectHost() { hostGone_ = true; }
    void connectHost() { hostGone_ = false; }
    bool hostConnected() const { return !hostGone_; }
    std::mt19937& random() { return random_; }
    EventLoop& loop() { return loop_; }

    // --- HidBus ---------------------------------------------------------------
    std::optional<std::string> interfacePath(unsigned index) override;
    HidHandle open(const std::string& path) override;
    void close(HidHandle handle) override;
    std::optional<HidCollectionCaps> collectionCaps(HidHandle handle) override;
    std::optional<HidAttributes> attributes(HidHandle handle) override;
    bool setFeature(HidHandle handle, const FeatureReport& report, std::uint32_t& errorCode) override;
    bool getFeature(HidHandle handle, FeatureReport& report, std::uint32_t& errorCode) override;

    // --- DeviceManager --------------------------------------------------------
    PresentDeviceList presentDevices() override;
    bool removeDevice(std::uint64_t node) override;
    RescanStatus rescan() override;
    unsigned restoreStranded() override;

private:
    struct Entry;
    struct OpenHandle {
        std::size_t entry;
        unsigned instance;
    };

    bool present(Entry& entry);
    unsigned instanceOf(const Entry& entry) const;
    std::string pathOf(std::size_t index) const;
    Entry* live(HidHandle handle, std::uint32_t& errorCode);
    bool exchange(ExchangeRecord::Direction direction, HidHandle handle, FeatureReport& report,
                  std::uint32_t& errorCode);

    EventLoop& loop_;
    std::mt19937 random_;
    std::vector<std::unique_ptr<Entry>> entries_;
    std::vector<std::pair<PresentDevice, bool>> treeEntries_;  // entry, removed
    std::map<HidHandle, OpenHandle> handles_;
    HidHandle nextHandle_ = 0x100;
    std::uint32_t latencyMs_ = 0;
    bool logging_ = true;
    std::vector<ExchangeRecord> log_;
    std::uint64_t exchangeCount_ = 0;
    TreeBehaviour tree_;
    HostEventPlan hostEvents_;
    bool hostGone_ = false;
};

} // namespace qv::sim
