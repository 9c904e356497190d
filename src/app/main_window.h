#pragma once
// The main window's logic on the window model: creation, CTRL + "Update",
// "Close", the blinkers and the close sequence.
#include <cstdint>

namespace qv {

struct Session;

// The window as designed and created: the five timers' handlers wired,
// Timer4 enabled (its first tick runs the start-up sequence 100 ms after
// the event loop starts), closing through FormClose, then FormCreate.
void CreateMainWindow(Session& session);

void FormCreate(Session& session);
void FormKeyDown(Session& session, int keyCode);
void FormKeyUp(Session& session, int keyCode);
void Button5Click(Session& session);
void Button6Click(Session& session);
// Close sequence: Mesaage.log, release the device, end keep-awake. Runs
// once; the window is closed afterwards and the timers stop for good.
void FormClose(Session& session);
void Timer2Timer(Session& session);
void Timer5Timer(Session& session);
// Gives the window back its system menu (and close box).
void restoreSystemMenu(Session& session);

inline constexpr int kVkControl = 17;
inline constexpr int kDesignedWindowHeight = 250;

} // namespace qv
