#include "platform/linux/sysfs_device_manager.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "platform/linux/sysfs_files.h"

namespace qv {

namespace fs = std::filesystem;

namespace {

bool isDeauthorised(const fs::path& device) {
    const auto authorized = sysfs::readAttribute(device / "authorized");
    return authorized && *authorized == "0";
}

// A device that left the bus while it was being read has no ids, like a
// device without them; any other read error is a failure of the tree.
bool deviceIsGone(int error) { return error == ENOENT || error == ENODEV; }

bool isRootHub(const std::string& name) { return name.rfind("usb", 0) == 0; }

} // namespace

std::string usbHardwareIds(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t revision) {
    char withRevision[48];
    char withoutRevision[40];
    std::snprintf(withRevision, sizeof withRevision, "USB\\VID_%04X&PID_%04X&REV_%04X", vendorId, productId, revision);
    std::snprintf(withoutRevision, sizeof withoutRevision, "USB\\VID_%04X&PID_%04X", vendorId, productId);
    std::string list = withRevision;
    list += '\0';
    list += withoutRevision;
    list += '\0';
    list += '\0';
    return list;
}

SysfsDeviceManager::SysfsDeviceManager(fs::path sysRoot) : sysRoot_(std::move(sysRoot)) {}

SysfsDeviceManager::~SysfsDeviceManager() { authoriseRemoved(); }

PresentDeviceList SysfsDeviceManager::presentDevices() {
    PresentDeviceList list;
    listed_.clear();
    int error = 0;
    const auto names = sysfs::sortedEntries(usbDevices(), error);
    if (error != 0 && names.empty()) return list;
    list.opened = true;
    list.enumerationFailed = error != 0;
    for (const std::string& name : names) {
        std::error_code ignored;
        const fs::path device = fs::canonical(usbDevices() / name, ignored);
        // Interfaces ("1-2:1.0") share the folder but carry no idVendor.
        if (ignored || !fs::exists(device / "idVendor", ignored)) continue;
        if (isDeauthorised(device)) continue;  // removed, waiting for the rescan
        PresentDevice present;
        const sysfs::UsbIdsRead ids = sysfs::readUsbIds(device);
        if (ids.ids) {
            present.hardwareIds = usbHardwareIds(ids.ids->vendorId, ids.ids->productId, ids.ids->revision);
        } else {
            present.status = ids.error == 0 || deviceIsGone(ids.error) ? PresentDevice::IdStatus::NoIds
                                                                       : PresentDevice::IdStatus::Failed;
        }
        present.node = listed_.size();
        listed_.push_back(device);
        list.devices.push_back(std::move(present));
    }
    return list;
}

bool SysfsDeviceManager::removeDevice(std::uint64_t node) {
    if (node >= listed_.size()) return false;
    const fs::path& device = listed_[node];
    if (sysfs::writeAttribute(device / "authorized", "0") != 0) return false;
    if (std::find(removed_.begin(), removed_.end(), device) == removed_.end()) removed_.push_back(device);
    return true;
}

RescanStatus SysfsDeviceManager::rescan() {
    RescanStatus status;
    int error = 0;
    const auto names = sysfs::sortedEntries(usbDevices(), error);
    if (error != 0 && names.empty()) return status;
    status.connected = true;
    status.rootLocated = std::any_of(names.begin(), names.end(), isRootHub);
    const bool allBack = authoriseRemoved();
    restoreStranded();
    status.reenumerated = allBack;
    return status;
}

// No journal of removals is kept: every de-authorised device of the hub's
// vendor is one a run left behind, whichever run and however it ended.
unsigned SysfsDeviceManager::restoreStranded() {
    int error = 0;
    unsigned restored = 0;
    for (const std::string& name : sysfs::sortedEntries(usbDevices(), error)) {
        if (isRootHub(name) || name.find(':') != std::string::npos) continue;  // interfaces carry no ids
        const fs::path device = usbDevices() / name;
        if (!isDeauthorised(device)) continue;
        const sysfs::UsbIdsRead ids = sysfs::readUsbIds(device);
        if (!ids.ids || ids.ids->vendorId != kHubVendorId) continue;
        if (sysfs::writeAttribute(device / "authorized", "1") == 0) ++restored;
    }
    return restored;
}

// True when every removed device that is still there is authorised again;
// the ones that refused stay listed for the next rescan.
bool SysfsDeviceManager::authoriseRemoved() {
    std::vector<fs::path> stillRemoved;
    for (const fs::path& device : removed_) {
        std::error_code ignored;
        if (!fs::exists(device / "authorized", ignored)) continue;  // left the bus meanwhile
        // Authorising an authorised device changes nothing.
        if (sysfs::writeAttribute(device / "authorized", "1") != 0) stillRemoved.push_back(device);
    }
    removed_ = std::move(stillRemoved);
    return removed_.empty();
}

} // namespace qv
