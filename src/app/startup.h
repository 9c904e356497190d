#pragma once
// One pass of the start-up sequence (Timer4's tick, and docking restarts):
// read the options, end the background service when asked, check the
// hardware-id family, choose the update file, then record an outcome, arm
// the code run (Timer1) or the parameter run (Timer3), or wait for the
// operator's CTRL + "Update".
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct Session;
struct OptionsReadResult;

void Timer4Timer(Session& session);

// Ends a pass that cannot go on (a configuration value or a version that is
// not a number, an update file that cannot be read): the lines in red, the
// result log, `code`, the FAIL close rule (always closing under "/S", even
// when the options were not read far enough to apply the switch), and
// Timer4 stopped so that the pass does not start again.
void ReportStartupError(Session& session, const std::vector<std::string>& lines, std::uint8_t code);
// The same for a conversion error of TAVO.ini.
void ReportConfigurationError(Session& session, const OptionsReadResult& result);

// Characters 18-19 (from 1) of [MAIN] HWID are "5C", or 18-21 are "7E41".
bool isFamily5CHardwareId(const std::string& hardwareId);

inline constexpr const char* kServiceImageName = "KarnaHostSvc.exe";

} // namespace qv
