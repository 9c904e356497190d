#pragma once
// The pauses and device-tree maintenance around a mode switch of the chip:
// the configured settle time ([DELAY] MSEC), and the removal of stale device
// entries followed by a rescan so the system enumerates the chip afresh.
#include <span>
#include <string>

namespace qv {

struct Session;

// WaitWithMessages for [DELAY] MSEC (a negative setting waits nothing).
void WaitConfiguredDelay(Session& session);
// WaitWithMessages for MSEC / 2, rounded toward zero.
void WaitHalfDelay(Session& session);
// Removes the devices of each hardware id in order, then waits MSEC / 2,
// rescans the device tree and waits MSEC / 2 again.
void RemoveAndRescan(Session& session, std::span<const std::string> hardwareIds);

} // namespace qv
