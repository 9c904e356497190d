#include "platform/win32/win32_device_manager.h"

#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>

namespace qv {

namespace {

// The hardware-id property may grow between the size query and the read (a
// device being reconfigured); after this many size changes the read counts
// as failed instead of looping on.
constexpr int kPropertyReadAttempts = 8;

// The rescan asks the system to retry installing devices whose installation
// failed before: the loader and the firmware come back under new ids.
static_assert(CM_REENUMERATE_RETRY_INSTALLATION == 2);

// Reads SPDRP_HARDWAREID: start without a buffer, take the size the system
// reports into a zero-filled LocalAlloc(LPTR) block, and ask again.
PresentDevice readHardwareIds(HDEVINFO set, SP_DEVINFO_DATA& device) {
    PresentDevice result;
    BYTE* buffer = nullptr;
    DWORD size = 0;
    int attempts = 0;
    while (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, nullptr, buffer, size, &size)) {
        const DWORD error = GetLastError();
        if (error == ERROR_INVALID_DATA) {
            result.status = PresentDevice::IdStatus::NoIds;
            break;
        }
        if (error != ERROR_INSUFFICIENT_BUFFER || ++attempts > kPropertyReadAttempts) {
            result.status = PresentDevice::IdStatus::Failed;
            break;
        }
        if (buffer != nullptr) LocalFree(buffer);
        buffer = static_cast<BYTE*>(LocalAlloc(LPTR, size));
        if (buffer == nullptr) {
            result.status = PresentDevice::IdStatus::Failed;
            break;
        }
    }
    if (result.status == PresentDevice::IdStatus::Ok && buffer != nullptr) {
        result.hardwareIds.assign(reinterpret_cast<const char*>(buffer), size);
    }
    if (buffer != nullptr) LocalFree(buffer);
    return result;
}

} // namespace

Win32DeviceManager::~Win32DeviceManager() { releaseSet(); }

void Win32DeviceManager::releaseSet() {
    if (set_ != nullptr) {
        SetupDiDestroyDeviceInfoList(static_cast<HDEVINFO>(set_));
        set_ = nullptr;
    }
}

PresentDeviceList Win32DeviceManager::presentDevices() {
    releaseSet();
    PresentDeviceList list;
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return list;
    set_ = set;
    list.opened = true;

    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        PresentDevice entry = readHardwareIds(set, device);
        entry.node = index;
        const bool failed = entry.status == PresentDevice::IdStatus::Failed;
        list.devices.push_back(std::move(entry));
        if (failed) return list;  // the caller ends its walk at a failed read
    }
    const DWORD error = GetLastError();
    list.enumerationFailed = error != ERROR_SUCCESS && error != ERROR_NO_MORE_ITEMS;
    return list;
}

bool Win32DeviceManager::removeDevice(std::uint64_t node) {
    if (set_ == nullptr || node > MAXDWORD) return false;
    HDEVINFO set = static_cast<HDEVINFO>(set_);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    if (!SetupDiEnumDeviceInfo(set, static_cast<DWORD>(node), &device)) return false;
    return SetupDiRemoveDevice(set, &device) != FALSE;
}

RescanStatus Win32DeviceManager::rescan() {
    RescanStatus status;
    HMACHINE machine = nullptr;
    if (CM_Connect_MachineA(nullptr, &machine) != CR_SUCCESS) return status;
    status.connected = true;

    DEVINST root = 0;
    status.rootLocated = CM_Locate_DevNode_ExA(&root, nullptr, CM_LOCATE_DEVNODE_NORMAL, machine) == CR_SUCCESS;
    // Without the root node there is nothing sound to re-enumerate from; the
    // request is then not made and reported as not accepted.
    if (status.rootLocated) {
        status.reenumerated = CM_Reenumerate_DevNode_Ex(root, CM_REENUMERATE_RETRY_INSTALLATION, machine) == CR_SUCCESS;
    }
    CM_Disconnect_Machine(machine);
    return status;
}

} // namespace qv
