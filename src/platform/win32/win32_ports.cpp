// The real ports of Windows.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/platform_ports.h"
#include "platform/win32/console_stop_requests.h"
#include "platform/win32/mutex_instance_lock.h"
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
    ports.stops = std::make_unique<ConsoleStopRequests>();
    ports.stationLock =
        std::make_unique<MutexInstanceLock>(std::vector<std::string>{"Global\\QuorvexUpdate", "Local\\QuorvexUpdate"});
    return ports;
}

// A mutex named after the folder's full path, so that it is the same for
// every way of writing the folder.
std::unique_ptr<InstanceLock> createFolderLock(const std::string& folder) {
    std::error_code ignored;
    std::string path = std::filesystem::absolute(folder, ignored).lexically_normal().string();
    for (char& c : path) {
        if (c == '/') c = '\\';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a: mutex names may not hold a backslash
    for (const char c : path) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char name[64];
    std::snprintf(name, sizeof name, "Local\\QuorvexUpdate-%016llx", static_cast<unsigned long long>(hash));
    return std::make_unique<MutexInstanceLock>(std::vector<std::string>{name});
}

} // namespace qv
