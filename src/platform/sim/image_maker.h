#pragma once
// Makes firmware image files the updater accepts, for the simulated hub's
// default flash, the tests and qv-imagetool. Everything is deterministic:
// the same spec always gives the same bytes.
//
// Layout of a code image (file offset = flash address):
//   0x0000-0x1FFF  preload area: the default below, then the fields
//   0x0023         IVT-mapping marker (0x3A on, 0x3C off)
//   0x0047, 0x0087 clock select, bit 4: set = internal, clear = external
//   0x0050         preload-code version text (16 bytes; FF6D/FF4E images)
//   0x0090         firmware version text (16 bytes; FF5C/FF7A images)
//   0x3100         OEM version text (32 bytes; FF6D/FF4E firmware version)
//   0x1F7E0-EF     version slot, left 0xFF (the updater stamps it)
//   checksum word  last two bytes of the checked region, high byte first
// Bytes below 0x400 never lie inside a checked region, so a test may change
// the marker, the clock bits or the preload texts after making an image
// without touching its checksum.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image_format/image_layout.h"

namespace qv::sim {

enum class ImageKind {
    Layout126K,     // 0x1F800..0x20000 bytes, complement rule over 0x2000..0x1F7FF
    Layout190K,     // 0x2F800..0x30000 bytes, complement rule over 0x2000..0x2F7FF
    Sized,          // kib x 1024 bytes, complement rule over 0x2000..end
    Small,          // one of the small lengths, equal rule over regionStart..end
    CodePatch,      // 1 KiB: 0x10 0x6D, length, address
    ParameterFile,  // 1 KiB: 0x80 0x5C, block size
    DirectWrite,    // 1 KiB: 0x10 0x6D, count, address
};

enum class ClockSource { Internal, External };

struct ImageSpec {
    ImageKind kind = ImageKind::Layout126K;
    // File length. 0 = the kind's own: 0x1F800, 0x2F800, kib x 1024, 0x400.
    // Required for Small (0x7C00, 0xDC00, 0x8000, 0xD400, 0xD800, 0xE000,
    // 0x1DC00, 0x1E000); Layout126K/190K accept any length of their range.
    std::size_t length = 0;
    unsigned kib = 126;                // Sized only
    std::uint32_t regionStart = 0x2000;  // Small only: 0x2000 (chip class 0) or 0x400

    // Texts, written into their fields: the characters, a terminating zero,
    // then fieldPadding up to the end of the field; empty = zero field
    // (whatever the padding, so that an empty preload-code field still
    // matches the default preload area). A text as long as its field has no
    // terminating zero.
    std::string version;         // 0x0090, at most 16 characters
    std::string oemVersion;      // 0x3100, at most 32 characters
    std::string preloadVersion;  // 0x0050, at most 16 characters
    // What follows a text's terminating zero in its field: 0x00, or 0xFF as
    // in images built from erased flash.
    std::uint8_t fieldPadding = 0x00;

    ClockSource clock = ClockSource::Internal;  // bit 4 of 0x0087 and of 0x0047
    std::uint8_t ivtMarker = qv::kIvtMappingOn;
    // 1 KiB pages (index = offset / 1024) filled with 0xFF. The fields and the
    // checksum word are written after blanking.
    std::vector<std::size_t> blankPages;
    std::uint32_t seed = 1;  // content of the code area

    // 1 KiB kinds. CodePatch/DirectWrite: the header's length/count and
    // address; ParameterFile: the block size field. Unset = the kind's
    // default (patch 0x400 bytes at 0x1000, direct write 0x40 bytes at
    // 0x0800, parameter block 0x80 bytes). Any value can be made, also ones
    // the updater refuses (a length above 1024, a size the device lacks).
    std::optional<std::uint16_t> dataLength;
    std::optional<std::uint16_t> address;
};

// The default preload area (0x2000 bytes): fixed pseudo-random start-up code
// from a fixed seed, IVT mapping on (0x23 = 0x3A), internal clock (bit 4 set
// at 0x47 and 0x87), zero text fields at 0x50 and 0x90, no page all 0xFF.
std::vector<std::uint8_t> defaultPreloadArea();

// Why an image of this description cannot be made (empty text when it can).
std::string imageSpecProblem(const ImageSpec& spec);

// The image; empty when imageSpecProblem(spec) is not empty.
std::vector<std::uint8_t> makeFirmwareImage(const ImageSpec& spec);

} // namespace qv::sim
