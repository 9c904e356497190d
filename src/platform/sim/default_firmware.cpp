#include "platform/sim/default_firmware.h"

#include <algorithm>
#include <string>

#include "platform/sim/chip_model.h"
#include "platform/sim/image_maker.h"

namespace qv::sim {

namespace {

constexpr const char* kPreloadVersion = "PRELOAD 1.00";
constexpr const char* kFirmwareVersion = "V1.00";
constexpr const char* kOemVersion = "OEM V1.00";

void putText(std::vector<std::uint8_t>& flash, std::size_t at, std::size_t width, const std::string& text) {
    std::fill_n(flash.begin() + static_cast<std::ptrdiff_t>(at), width, std::uint8_t{0});
    std::copy_n(text.begin(), std::min(width, text.size()), flash.begin() + static_cast<std::ptrdiff_t>(at));
}

} // namespace

std::vector<std::uint8_t> defaultFirmwareFlash(Family family) {
    // The firmware as the image tool makes it with its default options (its
    // preload area included), installed as the updater installs it.
    const bool versionAtOem = family == Family::FF6D || family == Family::FF4E;
    ImageSpec spec;
    spec.kind = ImageKind::Layout126K;
    if (versionAtOem) {
        spec.oemVersion = kFirmwareVersion;
        spec.preloadVersion = kPreloadVersion;
    } else {
        spec.version = kFirmwareVersion;
        spec.oemVersion = kOemVersion;
    }
    const std::vector<std::uint8_t> image = makeFirmwareImage(spec);

    std::vector<std::uint8_t> flash(kCodeFlashSize, kErasedByte);
    std::copy(image.begin(), image.end(), flash.begin());
    if (!versionAtOem) {
        // On the chip the version field holds the preload code's version and
        // the version slot the installed firmware's.
        putText(flash, kVersionOffset, kShortVersionWidth, kPreloadVersion);
        putText(flash, kVersionSlotOffset, kShortVersionWidth, kFirmwareVersion);
    }
    return flash;
}

} // namespace qv::sim
