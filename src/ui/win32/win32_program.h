#pragma once
// The program with its window on Windows: the main window drawn with the
// system's controls, the Win32 message loop and the system's file dialog
// around runProgram().
#include <string>

#include "app/program.h"
#include "session/command_line.h"

namespace qv::win32 {

// What draws the window: the system's own controls.
std::string toolkitDescription();

// Runs the program to its end with the window shown and returns the process
// exit code. When no window can be created (no desktop, as in a service
// session), it says so on standard error and returns the start-failure
// code before the device is touched.
int runWindowProgram(ProgramHost& host, const CommandLine& commandLine);

} // namespace qv::win32
