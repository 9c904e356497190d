#pragma once
// Opening the sensor hub in normal or flash mode, and "Enter Flash Mode".
#include <cstdint>

namespace qv {

struct Session;

// Mode numbers: 1 FF5C normal, 3 FF7A normal, 4 FF6D normal, 6 FF4E normal
// (each falls through to its flash mode when nothing is found), 2 FF5C/FF7A
// flash, 5 FF6D flash, 7 FF4E flash, 128 release all, 0 final release.
void OpenDeviceInMode(Session& session, std::uint8_t mode);
// The family's normal mode: 4 if FF6D, else 3 if FF7A, else 6 if FF4E, else 1.
void ReopenNormalMode(Session& session);
// The family's flash mode: 5 if FF6D, else 7 if FF4E, else 2.
std::uint8_t flashModeNumber(const Session& session);
// "Enter Flash Mode".
void Button2Click(Session& session);

} // namespace qv
