#pragma once
// The flash content a simulated device starts with when no flash file is
// given: a preload area and a firmware as the image tool makes them with its
// default options, so that the tool's images pass the updater's clock and
// interrupt-vector checks against it.
#include <cstdint>
#include <vector>

#include "platform/sim/device_families.h"

namespace qv::sim {

// The whole code flash (192 KiB), erased bytes where nothing is programmed.
std::vector<std::uint8_t> defaultFirmwareFlash(Family family);

} // namespace qv::sim
