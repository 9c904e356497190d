// Device-tree maintenance around the chip's mode switches: the chip shows up
// under another product id in each mode, so the flows remove the entries of
// a hardware id and have the system re-enumerate before searching again.
#include "device/device_tree.h"

#include "device/hardware_id_list.h"
#include "platform/device_manager.h"
#include "platform/integer_text.h"

namespace qv {

namespace {

// The revision follows the id and the five characters "&REV_" in the
// device's first (most specific) hardware id: USB\VID_1C7A&PID_5C50&REV_0102.
constexpr std::size_t kRevisionTagLength = 5;

} // namespace

void DeviceTree::RemoveDevicesByHardwareId(const std::string& hardwareId) {
    const PresentDeviceList present = manager_.presentDevices();
    if (!present.opened) {
        message("Error! GetClassDevs(All Present Devices)");
        return;
    }
    for (const PresentDevice& device : present.devices) {
        if (device.status == PresentDevice::IdStatus::Failed) {
            message("Error! GetDeviceRegistryProperty");
            return;
        }
        if (device.status == PresentDevice::IdStatus::NoIds) continue;
        const auto match = HardwareIdList(device.hardwareIds).find(hardwareId);
        if (!match) continue;
        message("Found! [" + std::string(match->entry) + "] ,and remove it form Device Manager.\n");
        if (!manager_.removeDevice(device.node)) message("Error! CallClassInstaller(REMOVE)");
    }
    if (present.enumerationFailed) message("Error! EnumDeviceInfo");
}

void DeviceTree::RescanDevices() {
    const RescanStatus status = manager_.rescan();
    if (!status.connected) {
        message("Error!! CM_Connect_Machine");
        return;
    }
    if (!status.rootLocated) message("Error!! CM_Locate_DevNode_Ex");
    if (!status.reenumerated) message("Error!! CM_Reenumerate_DevNode_Ex");
    message("Rescan Device Manager!");
}

unsigned DeviceTree::RestoreStrandedDevices() { return manager_.restoreStranded(); }

std::uint32_t DeviceTree::ReadDeviceRevision(const std::string& hardwareId) {
    if (hardwareId.empty()) return 0;
    const PresentDeviceList present = manager_.presentDevices();
    if (!present.opened) return 0;
    for (const PresentDevice& device : present.devices) {
        if (device.status == PresentDevice::IdStatus::Failed) return 0;
        if (device.status == PresentDevice::IdStatus::NoIds) continue;
        const HardwareIdList ids(device.hardwareIds);
        if (!ids.find(hardwareId)) continue;
        // The revision digits must lie inside the first entry; an id that is
        // the whole first entry, or a first entry too short, has none.
        const std::string_view first = ids.first();
        const std::size_t start = hardwareId.size() + kRevisionTagLength;
        if (start >= first.size()) return 0;
        const auto value = parseInteger("0x" + std::string(first.substr(start)));
        return value ? static_cast<std::uint32_t>(*value) : 0;
    }
    return 0;
}

} // namespace qv
