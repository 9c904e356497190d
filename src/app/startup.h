#pragma once
// One pass of the start-up sequence (Timer4's tick, and docking restarts).
namespace qv {

struct Session;

void Timer4Timer(Session& session);

} // namespace qv
