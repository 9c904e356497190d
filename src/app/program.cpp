#include "app/program.h"

#include <exception>
#include <iostream>
#include <optional>

#include "app/abrupt_ending.h"
#include "app/main_window.h"
#include "app/outcome.h"
#include "platform/event_loop.h"
#include "platform/stop_request.h"
#include "programming/flash_mode.h"
#include "session/options.h"
#include "session/result_reporting.h"

namespace qv {

namespace {

constexpr std::uint32_t kLongestWaitMs = 1000;

// A run is still under way while one of the run timers can tick.
bool runPending(const Session& session) {
    return session.Timer1.enabled() || session.Timer3.enabled() || session.Timer4.enabled();
}

// Steps that follow an outcome in the same tick may reopen the device after
// the close sequence released it; the device gets its closing handshake
// last all the same.
void releaseDeviceAtExit(Session& session) {
    try {
        if (session.link.FoundDeviceCount() != 0) OpenDeviceInMode(session, 0);
    } catch (...) {
        // Nothing is left to report to: the run has ended.
    }
}

void runLoop(EventLoop& loop, Session& session, const std::function<void(Session&)>& attachView,
             RunReporter& reporter) {
    CreateMainWindow(session);
    reporter.attach(session);
    if (attachView) attachView(session);
    while (!session.window.closed) {
        if (!session.window.visible && !runPending(session)) {
            session.closeMainWindow();
            break;
        }
        loop.processEvents(kLongestWaitMs);
        session.safePoint();
    }
}

RunEnding runSession(EventLoop& loop, ProgramHost& host, Ports ports, const CommandLine& commandLine,
                     const std::function<void(Session&)>& attachView, RunReporter& reporter) {
    ports.loop = &loop;
    Session session(ports, commandLine);
    host.sessionStarted(session);
    session.silent = commandLine.hasFlag("/S");
    session.window.visible = !session.silent && static_cast<bool>(attachView);
    std::optional<int> stoppedExitCode;
    try {
        runLoop(loop, session, attachView, reporter);
    } catch (const StopRequested&) {
        stoppedExitCode = ports.stops->exitCode();
        EndRunAbruptly(session, "Stopped by " + ports.stops->description() + ".");
    } catch (const std::exception& error) {
        EndRunAbruptly(session, std::string("Unexpected error: ") + error.what());
    } catch (...) {
        EndRunAbruptly(session, "Unexpected error.");
    }
    releaseDeviceAtExit(session);
    const int exitCode = stoppedExitCode.value_or(ExitCode(session));
    host.sessionEnded(session, exitCode);
    reporter.detach(session);
    return {stoppedExitCode ? EndingKind::Interrupted : EndingKind::Outcome, session.ResultCode, exitCode, {}};
}

// Another updater works on this station: say so and touch nothing else. The
// result log follows NORESULTLOG of TAVO.ini like every other ending.
RunEnding refuseSecondUpdater(EventLoop& loop, Ports ports, const CommandLine& commandLine, RunReporter& reporter) {
    std::cerr << "QuorvexUpdate: " << kAnotherUpdaterLine << "\n";
    ports.loop = &loop;
    Session session(ports, commandLine);
    readStartupOptions(session.options, *ports.profile, configFilePath(session.executableFolder()), commandLine);
    reporter.attach(session);
    RecordOutcome(session, 16, {kAnotherUpdaterLine}, kExitAnotherUpdater);
    reporter.detach(session);
    return {EndingKind::AnotherInstance, session.ResultCode, kExitAnotherUpdater, {}};  // the line is in the pane
}

} // namespace

int runProgram(EventLoop& loop, ProgramHost& host, const CommandLine& commandLine,
               const std::function<void(Session&)>& attachView) {
    RunReporter reporter(host.reporting(), loop);
    Ports ports;
    std::string error;
    switch (host.open(loop, ports, error)) {
    case HostOpening::Ready: break;
    case HostOpening::Busy: {
        const RunEnding ending = refuseSecondUpdater(loop, ports, commandLine, reporter);
        reporter.end(ending);
        return ending.exitCode;
    }
    case HostOpening::Failed:
        std::cerr << "QuorvexUpdate: " << error << "\n";
        reporter.end({EndingKind::StartFailure, 0, kExitStartFailure, error});
        return kExitStartFailure;
    }
    RunEnding ending = runSession(loop, host, ports, commandLine, attachView, reporter);
    if (!host.close(error)) {
        std::cerr << "QuorvexUpdate: " << error << "\n";
        if (ending.exitCode == 0) ending = {EndingKind::ProgramError, ending.resultCode, kExitStartFailure, error};
    }
    reporter.end(ending);
    return ending.exitCode;
}

} // namespace qv
