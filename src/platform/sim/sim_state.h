#pragma once
// The simulated hub's state on disk, for the program's --simulate=DIR
// option:
//   DIR/device.ini  the device: section [DEVICE] (FAMILY, MODE, CHIPID,
//                   REVISION, ...) and section [FAULTS];
//   DIR/flash.bin   the whole 192 KiB code flash (a shorter file fills the
//                   start of the flash, the rest is erased); when missing the
//                   device starts with the default firmware;
//   DIR/eflash.bin  the parameter area's eFlash copy; when missing it is
//                   erased.
// Saving writes flash.bin and eflash.bin back and records the mode the
// device is in (MODE in device.ini), so that a device left in its loader by
// a failed run starts in flash mode the next time. The keys are listed in
// the README ("Simulated sensor hub").
#include <cstdint>
#include <optional>
#include <string>

#include "platform/sim/simulated_hub.h"

namespace qv::sim {

// What device.ini describes.
struct SimulationSetup {
    DeviceConfig device;
    FaultPlan faults;
    std::uint32_t latencyMs = 0;
    std::uint32_t seed = 1;
    // [DEVICE] REMOVED=1: removed from the device tree by a run that ended
    // before its rescan; it stays away until a rescan brings it back.
    bool removedFromTree = false;
    // [HOST]: where the program on the simulated hub is paused, so that a
    // test can stop or kill it there (PAUSEATEXCHANGE, PAUSEATREMOVAL,
    // PAUSEMS of real time at most).
    HostEventPlan hostEvents;
};

// Reads the settings text; nullopt and a message naming the key and its
// value when a value cannot be used.
std::optional<SimulationSetup> parseDeviceIni(const std::string& text, std::string& error);

// The settings text with [DEVICE] MODE set to `mode` ("normal", "flash",
// "absent"); the rest of the text is kept as it is.
std::string withDeviceMode(const std::string& text, const std::string& mode);
// The same for any [DEVICE] key.
std::string withDeviceKey(const std::string& text, const std::string& key, const std::string& value);

// Adds the device DIR describes to the hub (its latency and seed too).
// False with a message when a file cannot be read or a value is wrong;
// the hub is then left unchanged.
bool loadSimulation(const std::string& dir, SimulatedHub& hub, std::string& error);

// Writes the first device of the hub back to DIR: its flash, its eFlash,
// its mode and whether it is removed from the device tree.
bool saveSimulation(const std::string& dir, SimulatedHub& hub, std::string& error);

} // namespace qv::sim
