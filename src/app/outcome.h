#pragma once
// Recording an outcome the way every ending does it: the message pane is
// cleared and shows the outcome's lines in the outcome's size and colour,
// the window gets its system menu (and close box) back, the result log is
// written, ResultCode is set and the window closes when [CLOSEAPP] says so.
#include <cstdint>
#include <string>
#include <vector>

#include "session/result_codes.h"
#include "session/result_reporting.h"

namespace qv {

struct Session;


// An outcome shown in red (every outcome of the application layer is, "FW
// is up to date!" included); lines are shown in order. closeKey: the
// [CLOSEAPP] key that closes the window after it (PASS for up to date).
void RecordOutcome(Session& session, int fontSize, const std::vector<std::string>& lines, std::uint8_t code,
                   CloseKey closeKey = CloseKey::FAIL);

// Nobody can act on the window: it is hidden (silent switch, or no window
// system). Then nothing may wait for an operator.
bool operatorAbsent(const Session& session);

} // namespace qv
