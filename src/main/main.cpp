// QuorvexUpdate: program entry.
//
// The program's own options ("--...", see --help) are read first: --help
// and --version answer at once, and a usage error ends the program with
// code 2, all without a window, a device, TAVO.ini or a log.
//
// Under "/S" the program runs without a window and without a window system
// at all. Without "/S" it shows its window: on Windows drawn with the
// system's own controls, elsewhere with Qt when it was built with it; when
// no window can be shown (no display, no desktop), it says so and ends with
// the start-failure code instead of running where nobody can see it. Built
// without any window (Qt missing), it runs the same program headless: the
// window stays hidden, the options decide as usual whether an outcome
// closes it (only "/S" forces that), and the program ends once no run is
// left to tick, with the exit code of the last outcome.
#include <exception>
#include <iostream>

#include "app/program.h"
#include "app/program_options.h"
#include "main/program_host.h"
#include "platform/real_event_loop.h"
#include "platform/virtual_event_loop.h"
#include "session/command_line.h"

// The window program, where the window was built (Win32 on Windows, Qt).
#if defined(QV_HAVE_WIN32_VIEW)
#include "ui/win32/win32_program.h"
#elif defined(QV_HAVE_QT) && __has_include("ui/qt/qt_program.h")
#include "ui/qt/qt_program.h"
#define QV_WINDOW_PROGRAM 1
#endif

namespace {

qv::BuildDescription thisBuild() {
    qv::BuildDescription build;
#if defined(_WIN32)
    build.platform = "windows (HID class driver, setup API, registry)";
#else
    build.platform = "linux (hidraw, sysfs)";
#endif
#if defined(QV_HAVE_WIN32_VIEW)
    build.window = qv::win32::toolkitDescription();
#elif defined(QV_WINDOW_PROGRAM)
    build.window = qv::qt::toolkitDescription();
#endif
    return build;
}

int runMain(int argc, char** argv) {
    const qv::CommandLine commandLine = qv::CommandLine::fromMain(argc, argv);
    const qv::ProgramOptionsRead read = qv::readProgramOptions(commandLine.parameters());
    const qv::ProgramOptions& options = read.options;
    if (options.help) {
        std::cout << qv::usageText();
        return 0;
    }
    if (options.version) {
        std::cout << qv::versionText(thisBuild());
        return 0;
    }
    if (!read.error.empty()) {
        std::cerr << qv::usageErrorLine(read.error);
        return qv::kExitStartFailure;
    }

    qv::MainHost host(argc > 0 ? argv[0] : "", options.simulateFolder);
    if (options.virtualTime) {
        qv::VirtualEventLoop loop;
        return qv::runProgram(loop, host, commandLine);
    }
#if defined(QV_HAVE_WIN32_VIEW)
    if (!commandLine.hasFlag("/S")) {
        return qv::win32::runWindowProgram(host, commandLine);
    }
#elif defined(QV_WINDOW_PROGRAM)
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

} // namespace

// The run itself catches what reaches its loop (runProgram); this is the
// last net for what fails around it (setting up the ports, the window
// toolkit): said on standard error, and the programming-failure code.
int main(int argc, char** argv) {
    constexpr int kFailedExitCode = 16;
    try {
        return runMain(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "QuorvexUpdate: unexpected error: " << error.what() << "\n";
    } catch (...) {
        std::cerr << "QuorvexUpdate: unexpected error\n";
    }
    return kFailedExitCode;
}
