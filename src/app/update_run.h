#pragma once
// The timer-driven automatic runs: code update on Timer1, parameter update
// on Timer3.
namespace qv {

struct Session;

void Timer1Timer(Session& session);
void Timer3Timer(Session& session);
void HalfwayRescan(Session& session);
void FailNoDevice(Session& session, int n, bool parameterRun);

} // namespace qv
