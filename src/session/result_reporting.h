#pragma once
// How an outcome leaves the program besides the window: ResultCode and the
// exit code, the result log "VORTAVOlog<yyyymmddhhnnss>.txt", the diagnostic
// log "Mesaage.log", and the stored firmware version (FWVer).
#include <cstdint>
#include <string>

#include "platform/environment.h"

namespace qv {

struct Session;

enum class CloseKey { PASS, FAIL };

// "VORTAVOlog" + yyyymmddhhnnss + ".txt"
std::string resultLogName(const LocalTime& time);

// Saves Memo1's text (each line + CR LF) beside the executable unless
// NORESULTLOG. A file that cannot be written is reported in Memo2.
void WriteResultLog(Session& session);

// ResultCode := code; closes the main window when [CLOSEAPP] PASS/FAIL says so.
void FinishOutcome(Session& session, std::uint8_t code, CloseKey closeKey);

// Writes FWVer through the system store; a failure is reported in Memo2.
void StoreFirmwareVersion(Session& session, const std::string& version);

// Saves Memo2's text as "Mesaage.log" beside the executable.
void WriteDiagnosticLog(Session& session);

// The process exit code: ResultCode, or 3 for any non-zero code when
// RETURNCODETYPE is 1.
int ExitCode(const Session& session);

// Writes bytes to a file, replacing it; false with the reason on failure.
bool writeWholeFile(const std::string& path, const std::string& bytes, std::string& error);

} // namespace qv
