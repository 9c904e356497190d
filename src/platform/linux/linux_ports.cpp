// Linux ports. Until the hidraw bus and the sysfs device manager exist, the
// bus is empty and the device tree has no devices.
#include <filesystem>
#include <system_error>

#include "app/profile_reader.h"
#include "platform/platform_ports.h"
#include "platform/portable_ports.h"

namespace qv {

namespace {
std::string executableFolderOf(const std::string& argv0) {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        exe = std::filesystem::absolute(argv0, error);
    }
    std::string folder = exe.parent_path().string();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}
} // namespace

PlatformPorts createPlatformPorts(const std::string& argv0) {
    PlatformPorts ports;
    ports.hid = std::make_unique<EmptyHidBus>();
    ports.deviceManager = std::make_unique<EmptyDeviceManager>();
    ports.store = std::make_unique<FileSystemStore>("/var/lib/quorvex/FWVer");
    ports.processes = std::make_unique<RecordingProcessControl>();
    ports.keepAwake = std::make_unique<NoKeepAwake>();
    ports.profile = std::make_unique<ProfileReader>();
    ports.environment = std::make_unique<FixedFolderEnvironment>(executableFolderOf(argv0));
    ports.directory = std::make_unique<FolderDirectoryListing>();
    return ports;
}

} // namespace qv
