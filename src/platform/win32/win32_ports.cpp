// The real ports of Windows.
#include "platform/platform_ports.h"
#include "platform/win32/win32_device_manager.h"
#include "platform/win32/win32_hid_bus.h"
#include "platform/win32/win32_system_ports.h"

namespace qv {

PlatformPorts createPlatformPorts(const std::string& argv0) {
    PlatformPorts ports;
    ports.hid = std::make_unique<Win32HidBus>();
    ports.deviceManager = std::make_unique<Win32DeviceManager>();
    ports.store = std::make_unique<RegistrySystemStore>();
    ports.processes = std::make_unique<ShellProcessControl>();
    ports.keepAwake = std::make_unique<ExecutionStateKeepAwake>();
    ports.profile = std::make_unique<PrivateProfileSource>();
    ports.environment = std::make_unique<ModuleEnvironment>(argv0);
    ports.directory = std::make_unique<FindFileDirectoryListing>();
    return ports;
}

} // namespace qv
