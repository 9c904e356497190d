#pragma once
// The ending of a run that cannot reach its own: the operating system asked
// the program to stop, or an error nobody handled reached the program's
// loop. One ending for both, through the same outcome recording as every
// other ending (message pane, result log, ResultCode):
// - the line goes to the diagnostic pane and to standard error;
// - a run under way brings back the devices it removed from the device
//   tree (a rescan) and ends as "Failure", the result log written unless
//   NORESULTLOG; ResultCode keeps a code already set, else 16; after an
//   outcome it is left as that outcome set it;
// - the window closes: "Mesaage.log" when the diagnostic pane is shown, the
//   device released, keep-awake ended.
// Nothing it calls may leave it by an exception.
#include <string>

namespace qv {

struct Session;

// An outcome already recorded (a stop that comes while the device is being
// released after "Success") is left as it is: the flash is what it says.
void EndRunAbruptly(Session& session, const std::string& line);

// An outcome is still to come: the start-up pass is due or under way, or
// the run it armed has not recorded its outcome yet.
bool runUnderWay(const Session& session);

} // namespace qv
