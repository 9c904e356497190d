#pragma once
// The device tree on sysfs: the present devices are the USB devices of
// /sys/bus/usb/devices, each with the hardware-id list Windows gives a USB
// device ("USB\VID_1C7A&PID_5C50&REV_0102", then the id without REV).
//
// Removing a device de-authorises it (its "authorized" attribute to 0): the
// kernel unbinds its drivers, its hidraw nodes go away and it no longer
// counts as present, while it stays powered on its port. The rescan
// authorises again every device this manager removed that is still there,
// and every de-authorised device of the hub's vendor (0x1C7A) besides, which
// brings their interfaces and hidraw nodes back without a replug; so does
// restoreStranded() at start-up. A run killed between a removal and its
// rescan (a crash, an OOM kill, a power cut of the host) therefore never
// strands the hub: the next run brings it back. A device that left the bus
// in between (the chip switching between its firmware and its loader) comes
// back on its own, authorised.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/device_manager.h"

namespace qv {

// The raw hardware-id list of a USB device: the two ids, each ended by a
// zero byte, and an empty string at the end.
std::string usbHardwareIds(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t revision);

inline constexpr std::uint16_t kHubVendorId = 0x1C7A;

class SysfsDeviceManager : public DeviceManager {
public:
    explicit SysfsDeviceManager(std::filesystem::path sysRoot = "/sys");
    // Authorises what is still removed: a program that ends between a
    // removal and its rescan must not leave the chip off the bus.
    ~SysfsDeviceManager() override;

    PresentDeviceList presentDevices() override;
    bool removeDevice(std::uint64_t node) override;
    RescanStatus rescan() override;
    unsigned restoreStranded() override;

    // The USB device folders of the last presentDevices() list, by node.
    const std::vector<std::filesystem::path>& listed() const { return listed_; }

private:
    bool authoriseRemoved();
    std::filesystem::path usbDevices() const { return sysRoot_ / "bus" / "usb" / "devices"; }

    std::filesystem::path sysRoot_;
    std::vector<std::filesystem::path> listed_;
    std::vector<std::filesystem::path> removed_;  // waiting for the rescan
};

} // namespace qv
