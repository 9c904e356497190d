#pragma once
// Result codes: what ResultCode holds after an outcome, shared by the
// programming flows and the application that record them.
#include <cstdint>

namespace qv {

// The one-byte outcome of a run (ResultCode), 0 = success.
namespace result_code {
inline constexpr std::uint8_t kSuccess = 0;
inline constexpr std::uint8_t kNoDevice = 1;           // the run found no device
inline constexpr std::uint8_t kNoFlashModeDevice = 3;  // the run lost it in flash mode
inline constexpr std::uint8_t kProgrammingFailed = 16;
inline constexpr std::uint8_t kParameterFailed = 17;
inline constexpr std::uint8_t kNoDeviceAtStart = 32;
inline constexpr std::uint8_t kTooManyFiles = 33;
inline constexpr std::uint8_t kNoUpdateFile = 34;
inline constexpr std::uint8_t kUpToDate = 35;
inline constexpr std::uint8_t kChecksumError = 36;
// A start-up pass that could not go on: a configuration value that is not a
// number, a version number that is not a number, an update file that cannot
// be read.
inline constexpr std::uint8_t kConfigurationError = 37;
inline constexpr std::uint8_t kBadVersionNumber = 38;
inline constexpr std::uint8_t kUnreadableUpdateFile = 39;
// Refusals inside the programming flows (nothing was written).
inline constexpr std::uint8_t kImageSizeError = 161;
inline constexpr std::uint8_t kClockMismatch = 162;
inline constexpr std::uint8_t kIvtMismatch = 163;
inline constexpr std::uint8_t kPatchSizeError = 177;
inline constexpr std::uint8_t kPatchHeaderError = 178;
} // namespace result_code

} // namespace qv
