// Loading and saving a simulation folder.
#include "platform/sim/sim_state.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace qv::sim {

namespace {

namespace fs = std::filesystem;

enum class Read { Ok, Missing, Failed };

Read readFile(const fs::path& path, std::string& bytes) {
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        return Read::Missing;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return Read::Failed;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return file.bad() ? Read::Failed : Read::Ok;
}

bool writeFile(const fs::path& path, const void* data, std::size_t size, std::string& error) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    file.close();
    if (!file) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

const char* modeName(SimulatedDevice& device) {
    if (device.unplugged()) {
        return "absent";
    }
    return device.mode() == Mode::Flash ? "flash" : "normal";
}

} // namespace

bool loadSimulation(const std::string& dir, SimulatedHub& hub, std::string& error) {
    const fs::path folder(dir);
    std::string ini;
    std::string flash;
    std::string eflash;
    const Read iniRead = readFile(folder / "device.ini", ini);
    const Read flashRead = readFile(folder / "flash.bin", flash);
    const Read eflashRead = readFile(folder / "eflash.bin", eflash);
    for (const auto& [read, name] : {std::pair{iniRead, "device.ini"}, {flashRead, "flash.bin"},
                                     {eflashRead, "eflash.bin"}}) {
        if (read == Read::Failed) {
            error = "cannot read " + (folder / name).string();
            return false;
        }
    }
    auto setup = parseDeviceIni(ini, error);
    if (!setup) {
        return false;
    }
    if (flash.size() > kCodeFlashSize) {
        error = (folder / "flash.bin").string() + " is larger than the 192 KiB code flash";
        return false;
    }
    if (eflash.size() > setup->device.parameters.size) {
        error = (folder / "eflash.bin").string() + " is larger than the parameter area (" +
                std::to_string(setup->device.parameters.size) + " bytes)";
        return false;
    }
    setup->device.defaultFirmware = flashRead == Read::Missing;
    SimulatedDevice& device = hub.addDevice(setup->device);
    if (flashRead == Read::Ok) {
        device.chip().loadFlash(bytesOf(flash));
    }
    device.chip().loadStoredParameters(bytesOf(eflash));
    device.chip().powerUp();
    if (setup->removedFromTree) device.removeFromTree();
    device.faults() = setup->faults;
    hub.hostEvents() = setup->hostEvents;
    hub.setLatency(setup->latencyMs);
    hub.random().seed(setup->seed);
    return true;
}

bool saveSimulation(const std::string& dir, SimulatedHub& hub, std::string& error) {
    if (hub.deviceCount() == 0) {
        error = "no simulated device to save";
        return false;
    }
    const fs::path folder(dir);
    SimulatedDevice& device = hub.device(0);
    const auto flash = device.chip().flash();
    const auto eflash = device.chip().storedParameters();
    if (!writeFile(folder / "flash.bin", flash.data(), flash.size(), error) ||
        !writeFile(folder / "eflash.bin", eflash.data(), eflash.size(), error)) {
        return false;
    }
    std::string ini;
    if (readFile(folder / "device.ini", ini) == Read::Failed) {
        error = "cannot read " + (folder / "device.ini").string();
        return false;
    }
    if (ini.empty()) {
        ini = std::string("[DEVICE]\nFAMILY=") + familyTraits(device.config().family).name + "\n";
    }
    std::string updated = withDeviceMode(ini, modeName(device));
    // REMOVED is written once it matters: set, or set before and now cleared.
    std::string ignored;
    const auto before = parseDeviceIni(ini, ignored);
    const bool removed = device.removedFromTree();
    if (removed || (before && before->removedFromTree)) {
        updated = withDeviceKey(updated, "REMOVED", removed ? "1" : "0");
    }
    return writeFile(folder / "device.ini", updated.data(), updated.size(), error);
}

} // namespace qv::sim
