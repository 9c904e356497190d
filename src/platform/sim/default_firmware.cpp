#include "platform/sim/default_firmware.h"

#include <cstring>

#include "platform/sim/chip_model.h"

namespace qv::sim {

namespace {

void putText(std::vector<std::uint8_t>& flash, std::size_t at, const char* text) {
    std::memcpy(flash.data() + at, text, std::strlen(text) + 1);
}

} // namespace

std::vector<std::uint8_t> defaultFirmwareFlash(Family family) {
    std::vector<std::uint8_t> flash(kCodeFlashSize, kErasedByte);
    // Preload area: start-up code and interrupt vectors.
    for (std::size_t i = 0; i < 0x2000; ++i) {
        flash[i] = static_cast<std::uint8_t>(i * 7 + 0x11);
    }
    flash[0x23] = 0x3A;  // interrupt vectors mapped to flash
    flash[0x47] = 0x10;  // internal clock (FF6D/FF4E position)
    flash[0x87] = 0x10;  // internal clock (FF5C/FF7A position)
    putText(flash, 0x50, "PRELOAD 1.00");
    putText(flash, 0x90, "PRELOAD 1.00");
    // Firmware: code, OEM version, version slot.
    for (std::size_t i = 0x2000; i < 0x1F800; ++i) {
        flash[i] = static_cast<std::uint8_t>(i * 13 + 0x5A);
    }
    putText(flash, 0x3100, family == Family::FF6D || family == Family::FF4E ? "FW 1.00" : "OEM 1.00");
    putText(flash, 0x1F7E0, "FW 1.00");
    return flash;
}

} // namespace qv::sim
