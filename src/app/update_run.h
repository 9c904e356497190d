#pragma once
// The timer-driven automatic runs: code update on Timer1, parameter update
// on Timer3. One step per tick; RunState holds the position between ticks.
//   0 start, 1 seek device, 2 enter flash mode, 3 seek flash-mode device,
//   4 program, 5 await removal (docking)
#include <cstdint>

namespace qv {

struct Session;

void Timer1Timer(Session& session);
void Timer3Timer(Session& session);
// Close all handles, wait, remove and rescan the loader's entries, look for
// the flash-mode device again.
void HalfwayRescan(Session& session);
// "Can not Find Device! - n": stops the run's timer (Timer3 when
// parameterRun, else Timer1) and records the outcome n.
void FailNoDevice(Session& session, int n, bool parameterRun);

// The tick on which the waiting states rescan: MAXSTATECUNT / 2 + 1.
std::int32_t halfwayTick(std::int32_t maxStateCount);

} // namespace qv
