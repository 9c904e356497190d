#pragma once
// How the simulated chip reads its 64-byte feature reports: opcodes, field
// positions (report bytes; byte 0 is the report id) and the little-endian
// helpers. This is the device's own reading of the protocol, kept apart from
// the updater's encoders so that a misreading on one side shows up as a
// failure on the other.
#include <cstdint>
#include <span>

#include "platform/hid_bus.h"

namespace qv::sim {

enum Opcode : std::uint8_t {
    kOpParameterArea = 0x02,
    kOpReadData = 0x05,
    kOpWriteData = 0x06,
    kOpReadSpecial = 0x07,
    kOpWriteSpecial = 0x08,
    kOpEnterLoader = 0x09,
    kOpClearPageBuffer = 0xC0,
    kOpWritePageBuffer = 0xC1,
    kOpErasePages = 0xC2,
    kOpProgramPage = 0xC3,
    kOpStartFirmware = 0xC4,
    kOpPageBufferSum = 0xD0,
    kOpReadFlash = 0xD1,
};

namespace field {
inline constexpr std::size_t kReportId = 0;
inline constexpr std::size_t kOpcode = 1;
// Memory and flash commands: 24-bit address in bytes 2-4.
inline constexpr std::size_t kAddress = 2;
inline constexpr std::size_t kMemoryCount = 5;       // read/write count, flash-read count
inline constexpr std::size_t kMemoryData = 6;        // write data / read answer data
inline constexpr std::size_t kPageCountOrLength = 5; // erase pages / program length, 16-bit
// Page-buffer write: 16-bit offset, count, data.
inline constexpr std::size_t kBufferOffset = 2;
inline constexpr std::size_t kBufferCount = 4;
inline constexpr std::size_t kBufferData = 5;
// Page-buffer sum answer.
inline constexpr std::size_t kSum = 2;
// Parameter-area command and answer.
inline constexpr std::size_t kSubCommand = 2;
inline constexpr std::size_t kStoredCopy = 3;
inline constexpr std::size_t kWorkBuffer = 6;
inline constexpr std::size_t kAreaSize = 9;
// Vendor handshake: 15 bytes from byte 1.
inline constexpr std::size_t kHandshake = 1;
} // namespace field

// Most data bytes one answer can carry after a 5-byte header.
inline constexpr std::size_t kMaxAnswerData = kFeatureReportSize - field::kMemoryData;
// Most data bytes one page-buffer write can carry.
inline constexpr std::size_t kMaxBufferData = kFeatureReportSize - field::kBufferData;

inline std::uint32_t get16(const FeatureReport& r, std::size_t at) {
    return static_cast<std::uint32_t>(r[at] | (r[at + 1] << 8));
}
inline std::uint32_t get24(const FeatureReport& r, std::size_t at) {
    return static_cast<std::uint32_t>(r[at] | (r[at + 1] << 8) | (r[at + 2] << 16));
}
inline void put16(FeatureReport& r, std::size_t at, std::uint32_t value) {
    r[at] = static_cast<std::uint8_t>(value);
    r[at + 1] = static_cast<std::uint8_t>(value >> 8);
}
inline void put24(FeatureReport& r, std::size_t at, std::uint32_t value) {
    put16(r, at, value);
    r[at + 2] = static_cast<std::uint8_t>(value >> 16);
}
inline bool inSpecialSpace(std::uint32_t address) { return ((address >> 16) & 0xFF) == 0xF0; }

} // namespace qv::sim
