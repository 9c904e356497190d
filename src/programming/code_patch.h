#pragma once
// The 1 KiB code patch flow and the end every code-programming flow shares.
namespace qv {

struct Session;

void ProgramCodePatch(Session& session);
// Leave flash mode, let the system re-enumerate, reopen in normal mode.
void FinishProgramming(Session& session);

} // namespace qv
