#include "app/program.h"

#include <iostream>

#include "app/main_window.h"
#include "platform/event_loop.h"
#include "programming/flash_mode.h"
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
    if (session.link.FoundDeviceCount() != 0) OpenDeviceInMode(session, 0);
}

RunEnding runSession(EventLoop& loop, ProgramHost& host, Ports ports, const CommandLine& commandLine,
                     const std::function<void(Session&)>& attachView, RunReporter& reporter) {
    ports.loop = &loop;
    Session session(ports, commandLine);
    host.sessionStarted(session);
    session.silent = commandLine.hasFlag("/S");
    session.window.visible = !session.silent && static_cast<bool>(attachView);
    CreateMainWindow(session);
    reporter.attach(session);
    if (attachView) attachView(session);
    while (!session.window.closed) {
        if (!session.window.visible && !runPending(session)) {
            session.closeMainWindow();
            break;
        }
        loop.processEvents(kLongestWaitMs);
    }
    releaseDeviceAtExit(session);
    const int exitCode = ExitCode(session);
    host.sessionEnded(session, exitCode);
    reporter.detach(session);
    return {EndingKind::Outcome, session.ResultCode, exitCode, {}};
}

} // namespace

int runProgram(EventLoop& loop, ProgramHost& host, const CommandLine& commandLine,
               const std::function<void(Session&)>& attachView) {
    RunReporter reporter(host.reporting(), loop);
    Ports ports;
    std::string error;
    if (!host.open(loop, ports, error)) {
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
