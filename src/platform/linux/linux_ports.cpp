// The Linux ports: the sensor hub on hidraw, the device tree on sysfs, FWVer
// in /var/lib/quorvex, KILLTASK through /proc, keep-awake through a logind
// inhibitor, stop requests from SIGINT, SIGTERM and SIGHUP, the station
// lock as a flock.
#include <chrono>
#include <thread>

#include "platform/linux/executable_folder.h"
#include "platform/linux/flock_instance_lock.h"
#include "platform/linux/signal_stop_requests.h"
#include "platform/linux/firmware_version_file.h"
#include "platform/linux/hidraw_bus.h"
#include "platform/linux/inhibitor_keep_awake.h"
#include "platform/linux/proc_process_control.h"
#include "platform/linux/sysfs_device_manager.h"
#include "platform/platform_ports.h"
#include "platform/portable_ports.h"
#include "platform/profile_reader.h"

namespace qv {

PlatformPorts createPlatformPorts(const std::string& argv0) {
    PlatformPorts ports;
    ports.hid = std::make_unique<HidrawBus>(HidrawRoots{}, std::make_unique<KernelHidrawCalls>(), [](unsigned ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    });
    ports.deviceManager = std::make_unique<SysfsDeviceManager>("/sys");
    ports.store = std::make_unique<FirmwareVersionFile>(kFirmwareVersionFile);
    ports.processes = std::make_unique<ProcProcessControl>("/proc");
    ports.keepAwake = std::make_unique<InhibitorKeepAwake>();
    ports.profile = std::make_unique<ProfileReader>();
    ports.environment = std::make_unique<FixedFolderEnvironment>(executableFolder("/proc", argv0));
    ports.directory = std::make_unique<FolderDirectoryListing>();
    ports.stops = std::make_unique<SignalStopRequests>();
    // /run/lock is the system's place; where it cannot be used, beside the
    // program (every station's updater lives in one folder).
    ports.stationLock = std::make_unique<FlockInstanceLock>(
        std::vector<std::string>{kSystemLockFile, ports.environment->executableFolder() + kLockFileName});
    return ports;
}

std::unique_ptr<InstanceLock> createFolderLock(const std::string& folder) {
    return std::make_unique<FlockInstanceLock>(std::vector<std::string>{folder + kLockFileName});
}

} // namespace qv
