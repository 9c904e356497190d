#pragma once
// Device-tree maintenance around mode switches: remove every present device
// carrying a hardware id, re-enumerate the tree, read a device's revision.
// Messages go to the message pane (Memo1).
#include <cstdint>
#include <string>

namespace qv {

class DeviceManager;
struct WindowModel;

class DeviceTree {
public:
    DeviceTree(DeviceManager& manager, WindowModel& window) : manager_(manager), window_(window) {}

    void RemoveDevicesByHardwareId(const std::string& hardwareId);
    void RescanDevices();
    // 0 when no device carries the id or the revision cannot be read.
    std::uint32_t ReadDeviceRevision(const std::string& hardwareId);

private:
    DeviceManager& manager_;
    WindowModel& window_;
};

} // namespace qv
