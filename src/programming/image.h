#pragma once
// The firmware image file as the updater sees it: accepted lengths, fixed
// fields, and the one 16-bit checksum routine with its two senses.
#include <cstdint>
#include <span>
#include <string>

namespace qv {

struct Session;

// 16-bit checksum over [start, end): bytes 0x80..0x8F are skipped, the two
// checksum bytes and the version slot 0x1F7E0..0x1F7EF count as 0xFF, the
// stored word is big-endian. negate=false: complement rule (word + sum = 0);
// negate=true: equal rule (word = sum). 0 means the image passes.
std::uint16_t ImageChecksum(std::span<const std::uint8_t> image, std::uint32_t start, std::uint32_t end,
                            std::uint32_t highBytePosition, std::uint32_t lowBytePosition, bool negate);

// Zero-terminated text of a fixed field (at most `width` characters); the
// part of the field beyond the image's end counts as zero bytes.
std::string fieldText(std::span<const std::uint8_t> image, std::size_t offset, std::size_t width);

// "Browse": choose, load and check a file; enables Button2 / Button4.
void Button1Click(Session& session);
// Checks the image the start-up sequence loaded; on failure shows
// "##Checksum Error##" and records code 36.
bool StartupImageCheck(Session& session);
// Appends "New Firmware Version: %s\n" for the loaded image.
void ShowImageVersion(Session& session);

} // namespace qv
