#pragma once
// Recording an outcome the way every ending does it: the message pane is
// cleared and shows the outcome's lines in the outcome's size and colour,
// the window gets its system menu (and close box) back, the result log is
// written, ResultCode is set and the window closes when [CLOSEAPP] says so.
#include <cstdint>
#include <string>
#include <vector>

#include "app/result_reporting.h"

namespace qv {

struct Session;

// Result codes of the application layer.
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

// An outcome shown in red (every outcome of the application layer is, "FW
// is up to date!" included); lines are shown in order. closeKey: the
// [CLOSEAPP] key that closes the window after it (PASS for up to date).
void RecordOutcome(Session& session, int fontSize, const std::vector<std::string>& lines, std::uint8_t code,
                   CloseKey closeKey = CloseKey::FAIL);

// Nobody can act on the window: it is hidden (silent switch, or no window
// system). Then nothing may wait for an operator.
bool operatorAbsent(const Session& session);

} // namespace qv
