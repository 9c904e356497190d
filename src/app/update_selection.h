#pragma once
// Choosing the update file beside the executable (or in a PCB folder).
#include <string>
#include <vector>

#include "app/session.h"

namespace qv {

SelectionVerdict SelectUpdateFile(Session& session);
// The running firmware's 32-byte version text at 0x3100 (empty on failure).
std::string ReadDeviceVersionText(Session& session);

} // namespace qv
