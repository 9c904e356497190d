#pragma once
// The real ports of the platform the program was built for. Each platform
// folder (linux/, win32/) defines createPlatformPorts().
#include <memory>
#include <string>

#include "platform/device_manager.h"
#include "platform/directory_listing.h"
#include "platform/environment.h"
#include "platform/hid_bus.h"
#include "platform/instance_lock.h"
#include "platform/keep_awake.h"
#include "platform/process_control.h"
#include "platform/profile_source.h"
#include "platform/stop_request.h"
#include "platform/system_store.h"

namespace qv {

struct PlatformPorts {
    std::unique_ptr<HidBus> hid;
    std::unique_ptr<DeviceManager> deviceManager;
    std::unique_ptr<SystemStore> store;
    std::unique_ptr<ProcessControl> processes;
    std::unique_ptr<KeepAwake> keepAwake;
    std::unique_ptr<ProfileSource> profile;
    std::unique_ptr<Environment> environment;
    std::unique_ptr<DirectoryListing> directory;
    std::unique_ptr<StopRequests> stops;        // signals / console events, from creation on
    std::unique_ptr<InstanceLock> stationLock;  // one updater per station; not taken yet
};

// argv0: the program's own path as started (a fallback for finding the
// executable's folder). Nothing is touched yet: no device, no device tree,
// no store, no lock.
PlatformPorts createPlatformPorts(const std::string& argv0);

// A station lock that belongs to a folder (the simulated hub's), so that
// simulated stations in different folders run side by side.
std::unique_ptr<InstanceLock> createFolderLock(const std::string& folder);

} // namespace qv
