#include "app/exit_codes.h"

#include "session/result_codes.h"

namespace qv {

namespace {

using namespace result_code;

const std::vector<ExitCodeRow> kExitCodes = {
    {{kSuccess}, "updated (or started and closed by the operator without an outcome)"},
    {{kNoDevice, kNoFlashModeDevice},
     "the run found no device (1), or lost it after asking for flash mode (3)"},
    {{kProgrammingFailed, kParameterFailed},
     "programming failed (code) / parameter update failed or the parameter file was refused without an operator"},
    {{kNoDeviceAtStart},
     "no device at start-up (version rule), or update-button mode without a device and without an operator"},
    {{kTooManyFiles, kNoUpdateFile, kUpToDate, kChecksumError},
     "more than one update file / no usable update file / up to date / checksum error"},
    {{kConfigurationError},
     "a TAVO.ini value that must be a number is not one (\"'x' is not a valid integer value\")"},
    {{kBadVersionNumber}, "a version text whose number part (after the project name) is not a decimal number"},
    {{kUnreadableUpdateFile}, "an update file the choice needed could not be read, or is larger than 1 MiB (\"The update file <name> is too large: <size> bytes.\")"},
    {{kExitAnotherUpdater},
     "another QuorvexUpdate is already running on this station (\"Another QuorvexUpdate is already running.\"); "
     "nothing was touched"},
    // 128 + the signal number; a stopped run on Windows ends with 16.
    {{130, 143, 129},
     "stopped by SIGINT, SIGTERM or SIGHUP (Linux): the run ended as \"Failure\" at its next safe point; a run "
     "stopped on Windows (Ctrl+C, the console closed) ends with 16"},
    {{kImageSizeError, kClockMismatch, kIvtMismatch, kPatchSizeError, kPatchHeaderError},
     "the image or patch was refused (size, clock setting, interrupt vectors, patch size, patch header); "
     "nothing was written"},
    {{kExitStartFailure},
     "the program could not start: a usage error (an unknown or malformed -- option), an unusable --simulate "
     "folder, --virtual-time without --simulate, no display for the window, a --record file that cannot be "
     "created, a --replay recording that cannot be read or is damaged"},
    {{kExitReplayDivergence},
     "--replay: the program sent or asked for something the recording does not have next (the divergence "
     "report is on standard error)"},
};

} // namespace

std::span<const ExitCodeRow> exitCodeTable() { return kExitCodes; }

} // namespace qv
