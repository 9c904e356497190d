#pragma once
// The main window's logic on the window model: creation, CTRL + "Update",
// "Close", the blinkers and the close sequence.
#include <cstdint>

namespace qv {

struct Session;

void FormCreate(Session& session);
void FormKeyDown(Session& session, int keyCode);
void FormKeyUp(Session& session, int keyCode);
void Button5Click(Session& session);
void Button6Click(Session& session);
// Close sequence: Mesaage.log, release the device, end keep-awake.
void FormClose(Session& session);
void Timer2Timer(Session& session);
void Timer5Timer(Session& session);
// Gives the window back its system menu (and close box).
void restoreSystemMenu(Session& session);

inline constexpr int kVkControl = 17;

} // namespace qv
