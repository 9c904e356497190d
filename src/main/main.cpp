// QuorvexUpdate: program entry.
//
// The program's own options ("--...", see --help) are read first: --help
// and --version answer at once, and a usage error ends the program with
// code 2, all without a window, a device, TAVO.ini or a log. --progress
// and --result-json=FILE go to the run's host (MainHost) as its console
// reporting; whether standard error is a terminal is asked here, of the
// system.
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
#include <cstdio>
#include <exception>
#include <iostream>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

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

bool standardErrorIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) == 1;
#endif
}

qv::ConsoleReporting consoleReporting(const qv::ProgramOptions& options) {
    qv::ConsoleReporting reporting;
    if (options.progress) {
        reporting.progress = &std::cerr;
        reporting.progressOnTerminal = standardErrorIsTerminal();
    }
    reporting.resultJsonPath = options.resultJsonPath;
    reporting.errors = &std::cerr;
    return reporting;
}

// An ending before any run started still leaves its result document.
[[maybe_unused]] void endWithoutRun(const qv::ProgramHost& host, const qv::RunEnding& ending) {
    qv::VirtualEventLoop noRun;  // nothing runs: the document's duration is 0
    qv::RunReporter reporter(host.reporting(), noRun);
    reporter.end(ending);
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

    qv::MainHost host(argc > 0 ? argv[0] : "", options.simulateFolder, consoleReporting(options));
    if (options.recordFile || options.replayFile) {
        host.setCapture({.recordFile = options.recordFile,
                         .replayFile = options.replayFile,
                         .arguments = commandLine.parameters(),
                         .platform = options.simulateFolder ? "simulated sensor hub (--simulate)" : thisBuild().platform,
                         .onDivergence = {}});
    }
    if (options.virtualTime || (options.replayFile && !options.realTime)) {
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
            const std::string reason =
                "no display to show the window on; start it with /S to update without a window";
            std::cerr << "QuorvexUpdate: " << reason << "\n";
            endWithoutRun(host, {qv::EndingKind::StartFailure, 0, qv::kExitStartFailure, reason});
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
