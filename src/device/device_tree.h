#pragma once
// Device-tree maintenance around mode switches: remove every present device
// carrying a hardware id, re-enumerate the tree, read a device's revision.
// Its lines go to the message sink the application gives it.
#include <cstdint>
#include <string>
#include <utility>

#include "device/link_settings.h"

namespace qv {

class DeviceManager;

class DeviceTree {
public:
    DeviceTree(DeviceManager& manager, LineSink message) : manager_(manager), message_(std::move(message)) {}

    void RemoveDevicesByHardwareId(const std::string& hardwareId);
    void RescanDevices();
    // Brings back the hub's devices an earlier run left removed; how many.
    unsigned RestoreStrandedDevices();
    // 0 when no device carries the id or the revision cannot be read.
    std::uint32_t ReadDeviceRevision(const std::string& hardwareId);

private:
    void message(const std::string& line) const {
        if (message_) message_(line);
    }

    DeviceManager& manager_;
    LineSink message_;
};

} // namespace qv
