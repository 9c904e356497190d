#pragma once
// The firmware image file's layout: accepted lengths, fixed fields, and the
// one 16-bit checksum routine with its two senses. Nothing here holds state
// or reaches a port.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qv {

// Fixed fields of a code image (file offset = flash address).
inline constexpr std::size_t kPreloadAreaSize = 0x2000;      // device-resident start-up code
inline constexpr std::size_t kIvtMarkerOffset = 0x0023;      // 0x3A mapping on, 0x3C off
inline constexpr std::uint8_t kIvtMappingOn = 0x3A;
inline constexpr std::uint8_t kIvtMappingOff = 0x3C;
inline constexpr std::size_t kClockOffsetFF6D = 0x0047;      // FF6D/FF4E families
inline constexpr std::size_t kClockOffsetFF5C = 0x0087;      // FF5C/FF7A families
inline constexpr std::uint8_t kClockSelectBit = 0x10;        // set = internal clock
inline constexpr std::size_t kPreloadVersionOffset = 0x0050; // 16 bytes, FF6D/FF4E images
inline constexpr std::size_t kVersionOffset = 0x0090;        // 16 bytes, FF5C/FF7A images
inline constexpr std::size_t kOemVersionOffset = 0x3100;     // 32 bytes
inline constexpr std::size_t kVersionSlotOffset = 0x1F7E0;   // 16 bytes, counted as 0xFF
inline constexpr std::size_t kShortVersionWidth = 16;
inline constexpr std::size_t kOemVersionWidth = 32;
inline constexpr std::uint64_t kOneKiBFileLength = 0x400;    // code patch / parameter file

// One way of checking an image: the summed region [start, end), the word
// positions and the sense (negate = equal rule).
struct ChecksumRule {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::uint32_t highBytePosition = 0;
    std::uint32_t lowBytePosition = 0;
    bool negate = false;
};

// 126 K layout (0x1F800..0x20000 bytes) or 190 K layout (0x2F800..0x30000).
std::optional<ChecksumRule> largeLayoutRule(std::uint64_t length);
// Exactly sizedKib x 1024 bytes (SPECIALLYBINSIZEFOR5C80). Applies only when
// the region from 0x2000 can hold its word, i.e. sizedKib > 8.
std::optional<ChecksumRule> sizedImageRule(std::uint64_t length, std::int32_t sizedKib);
// The small lengths; the region starts at 0x400 for a nonzero chip class.
bool isSmallImageLength(std::uint64_t length);
std::optional<ChecksumRule> smallImageRule(std::uint64_t length, int chipClass);

// 16-bit checksum over [start, end): bytes 0x80..0x8F are skipped, the two
// checksum bytes and the version slot 0x1F7E0..0x1F7EF count as 0xFF, the
// stored word is big-endian. negate=false: complement rule (word + sum = 0);
// negate=true: equal rule (word = sum). 0 means the image passes. Only
// bytes inside the image are read: a region that runs past the image's end
// cannot be verified and never gives 0.
std::uint16_t ImageChecksum(std::span<const std::uint8_t> image, std::uint32_t start, std::uint32_t end,
                            std::uint32_t highBytePosition, std::uint32_t lowBytePosition, bool negate);
std::uint16_t ImageChecksum(std::span<const std::uint8_t> image, const ChecksumRule& rule);

// Zero-terminated text of a fixed field (at most `width` characters); the
// part of the field beyond the image's end counts as zero bytes.
std::string fieldText(std::span<const std::uint8_t> image, std::size_t offset, std::size_t width);

} // namespace qv
