#pragma once
// The Windows device tree: present devices and their hardware ids from the
// setup API, removal of a device, and re-enumeration of the whole tree
// through the configuration manager.
#include "platform/device_manager.h"

namespace qv {

class Win32DeviceManager : public DeviceManager {
public:
    Win32DeviceManager() = default;
    ~Win32DeviceManager() override;
    Win32DeviceManager(const Win32DeviceManager&) = delete;
    Win32DeviceManager& operator=(const Win32DeviceManager&) = delete;

    // The device-information set of the last list stays open until the next
    // list, so that removeDevice() works on the devices the caller saw; a
    // device's node is its index in that set.
    PresentDeviceList presentDevices() override;
    bool removeDevice(std::uint64_t node) override;
    RescanStatus rescan() override;

private:
    void releaseSet();
    void* set_ = nullptr;  // HDEVINFO of the last list, or none
};

} // namespace qv
