#pragma once
// One simulated sensor hub on the bus: the chip, the program it runs (the
// firmware in normal mode, the loader in flash mode), how it shows up on the
// bus in each mode, and its presence over time.
//
// Presence: a mode switch makes the device vanish at once and reappear
// after the re-enumeration delay as the other collection, with a new
// interface path (handles opened before fail). A removal from the device
// tree keeps it away until a rescan; an unplugged device stays away until
// it is plugged in; after a power loss it comes back when the power does.
// Coming back from a power loss (or being plugged in), the chip starts the
// program it was running, except that it stays in its loader when the
// firmware area is not intact (the page at 0x2000 is blank). The loader's
// exit command follows the same rule.
#include <cstdint>
#include <deque>
#include <random>
#include <string>

#include "platform/hid_bus.h"
#include "platform/sim/chip_model.h"
#include "platform/sim/device_families.h"
#include "platform/sim/fault_plan.h"
#include "platform/sim/personality.h"

namespace qv {
class EventLoop;
}

namespace qv::sim {

enum class Mode { Normal, Flash };

struct DeviceConfig {
    Family family = Family::FF5C;
    Mode mode = Mode::Normal;
    bool attached = true;  // false: starts unplugged
    ChipId chipId{0, 0, 0};
    std::uint16_t revision = 0x0102;  // USB bcdDevice: REV_ and the HID version number
    std::uint16_t vendorId = kVendorId;
    std::uint16_t normalProductId = 0;  // 0: the family's
    std::uint16_t loaderProductId = 0;  // 0: the family's
    // Usage of the loader collection; 0: the family's (0xDB). An FF5C- or
    // FF7A-family loader may also show 0xD0 or the alternate 0xDD.
    std::uint16_t loaderUsage = 0;
    FirmwareSettings firmware;
    ParameterLayout parameters;
    std::uint32_t reenumerationDelayMs = 1500;
    // Fill the flash with the default firmware (else it starts erased).
    bool defaultFirmware = true;
};

// Platform error numbers the bus reports.
namespace error {
inline constexpr std::uint32_t kInvalidFunction = 1;       // interface takes no feature reports
inline constexpr std::uint32_t kInvalidHandle = 6;         // handle unknown or closed
inline constexpr std::uint32_t kGeneralFailure = 31;       // the exchange failed on the wire
inline constexpr std::uint32_t kInvalidParameter = 87;     // report id the program does not use
inline constexpr std::uint32_t kDeviceNotConnected = 1167; // the interface has gone
} // namespace error

class SimulatedDevice {
public:
    SimulatedDevice(const DeviceConfig& config, EventLoop& clock, std::mt19937& random);

    const DeviceConfig& config() const { return config_; }
    Chip& chip() { return chip_; }
    const Chip& chip() const { return chip_; }
    FaultPlan& faults() { return faults_; }

    // The program the chip runs, or will run once it has re-enumerated.
    Mode mode() const { return mode_; }
    bool present();
    // Exchanges that reached the device, and requests it ignored as
    // malformed or unknown.
    std::uint64_t exchanges() const { return exchanges_; }
    std::uint64_t refusedRequests() const { return refused_; }
    bool vendorSessionOpen() const { return firmware_.sessionOpen(); }

    // --- Physical events ------------------------------------------------------
    void unplug();
    void plugIn();
    void powerLoss(std::uint32_t offMs);
    bool unplugged() const { return away_ == Away::Unplugged; }

    // --- What the bus and the device tree see ---------------------------------
    HidCollectionCaps collection() const;
    HidAttributes attributes() const;
    std::uint16_t productId() const;
    std::string hardwareIds() const;
    // Changes each time the device vanishes, so old handles go stale.
    unsigned instance() const { return instance_; }

    void removeFromTree();
    void rescan();
    bool removedFromTree() { update(); return away_ == Away::Removed; }

    bool setFeature(const FeatureReport& report, std::uint32_t& errorCode);
    bool getFeature(FeatureReport& report, std::uint32_t& errorCode);

private:
    enum class Away { None, Reenumerating, Removed, Unplugged, PoweredOff };
    struct Step {
        bool appear;
        std::uint32_t afterMs;
    };

    void update();
    void vanish(Away reason);
    void appear();
    void schedule(bool appear, std::uint32_t afterMs);
    void switchProgram(ModeChange change);
    Mode bootMode() const;
    bool admit(std::uint8_t reportId, std::uint32_t& errorCode);

    DeviceConfig config_;
    EventLoop& clock_;
    std::mt19937& random_;
    Chip chip_;
    FirmwarePersonality firmware_;
    FaultPlan faults_;
    Mode mode_;
    Away away_ = Away::None;
    std::deque<Step> steps_;
    std::uint32_t stepStart_ = 0;
    unsigned instance_ = 1;
    FeatureReport answer_{};
    std::uint64_t exchanges_ = 0;
    std::uint64_t refused_ = 0;
};

} // namespace qv::sim
