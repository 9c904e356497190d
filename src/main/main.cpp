// QuorvexUpdate: program entry.
//
// Under "/S" the program runs without a window and without a window system
// at all. Without "/S" it shows its window when it was built with the window
// toolkit; without a display to show it on, it says so and ends with the
// start-failure code instead of running where nobody can see it. Built
// without the window toolkit, it runs the same program headless: the window
// stays hidden, the options decide as usual whether an outcome closes it
// (only "/S" forces that), and the program ends once no run is left to
// tick, with the exit code of the last outcome.
//
// Parameters of our own (they start with "--", so no switch matches them):
//   --simulate=DIR   run against the simulated sensor hub whose state lives
//                    in DIR (device.ini, flash.bin, eflash.bin; FWVer is
//                    written to DIR/FWVer, on Windows also to the
//                    registry) instead of real hardware
//   --virtual-time   with --simulate only: the program's clock is virtual,
//                    so waits and timer ticks cost no real time (tests)
#include <iostream>

#include "app/program.h"
#include "main/program_host.h"
#include "platform/real_event_loop.h"
#include "platform/virtual_event_loop.h"
#include "session/command_line.h"

// The window program, where the window was built (Qt).
#if defined(QV_HAVE_QT) && __has_include("ui/qt/qt_program.h")
#include "ui/qt/qt_program.h"
#define QV_WINDOW_PROGRAM 1
#endif

namespace {

bool hasParameter(const qv::CommandLine& commandLine, const std::string& parameter) {
    for (const auto& given : commandLine.parameters()) {
        if (given == parameter) return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const qv::CommandLine commandLine = qv::CommandLine::fromMain(argc, argv);
    const auto simulation = qv::simulationFolder(commandLine);
    qv::MainHost host(argc > 0 ? argv[0] : "", simulation);
    if (hasParameter(commandLine, "--virtual-time")) {
        if (!simulation) {
            std::cerr << "QuorvexUpdate: --virtual-time needs --simulate=DIR\n";
            return qv::kExitStartFailure;
        }
        qv::VirtualEventLoop loop;
        return qv::runProgram(loop, host, commandLine);
    }
#ifdef QV_WINDOW_PROGRAM
    if (!commandLine.hasFlag("/S")) {
        if (!qv::qt::displayAvailable()) {
            std::cerr << "QuorvexUpdate: no display to show the window on; "
                         "start it with /S to update without a window\n";
            return qv::kExitStartFailure;
        }
        return qv::qt::runWindowProgram(argc, argv, host, commandLine);
    }
#endif
    qv::RealEventLoop loop;
    return qv::runProgram(loop, host, commandLine);
}
