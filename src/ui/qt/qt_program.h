#pragma once
// The program with its window: Qt's application object, the Qt event loop,
// the file dialog and the view of the main window around runProgram().
#include <string>

#include "app/program.h"
#include "session/command_line.h"
#include "ui/qt/main_window_view.h"

namespace qv::qt {

// Whether a window system can be reached: a Qt platform chosen through
// QT_QPA_PLATFORM that needs no display server (offscreen, ...), a Wayland
// display, or an X display whose local socket exists. Without one, Qt would
// end the process the moment it starts.
bool displayAvailable();

// "Qt <version>" of the Qt library the program runs with.
std::string toolkitDescription();

// The operator's input connected to the session's window logic.
using qv::windowInput;

// Runs the program to its end with the window shown (argc and argv go to
// Qt) and returns the process exit code.
int runWindowProgram(int argc, char** argv, ProgramHost& host, const CommandLine& commandLine);

} // namespace qv::qt
