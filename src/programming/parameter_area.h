#pragma once
// Writing a 1 KiB parameter file into the chip's parameter area (eFlash).
namespace qv {

struct Session;

void UpdateParameterArea(Session& session);
// "Upgrade Parameters".
void Button4Click(Session& session);

} // namespace qv
