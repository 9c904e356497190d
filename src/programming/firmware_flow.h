#pragma once
// The full programming flow: versions, clock and interrupt-vector checks,
// erase, write, read back, compare with retries, finish.
namespace qv {

struct Session;

void ProgramFirmwareImage(Session& session);
// "Upgrade Firmware".
void Button3Click(Session& session);

} // namespace qv
