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

void runLoop(EventLoop& loop, Session& session, const std::function<void(Session&)>& attachView) {
    CreateMainWindow(session);
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

int runSession(EventLoop& loop, Ports ports, const CommandLine& commandLine,
               const std::function<void(Session&)>& attachView) {
    ports.loop = &loop;
    Session session(ports, commandLine);
    session.silent = commandLine.hasFlag("/S");
    session.window.visible = !session.silent && static_cast<bool>(attachView);
    std::optional<int> stoppedExitCode;
    try {
        runLoop(loop, session, attachView);
    } catch (const StopRequested&) {
        stoppedExitCode = ports.stops->exitCode();
        EndRunAbruptly(session, "Stopped by " + ports.stops->description() + ".");
    } catch (const std::exception& error) {
        EndRunAbruptly(session, std::string("Unexpected error: ") + error.what());
    } catch (...) {
        EndRunAbruptly(session, "Unexpected error.");
    }
    releaseDeviceAtExit(session);
    return stoppedExitCode.value_or(ExitCode(session));
}

// Another updater works on this station: say so and touch nothing else. The
// result log follows NORESULTLOG of TAVO.ini like every other ending.
int refuseSecondUpdater(EventLoop& loop, Ports ports, const CommandLine& commandLine) {
    std::cerr << "QuorvexUpdate: " << kAnotherUpdaterLine << "\n";
    ports.loop = &loop;
    Session session(ports, commandLine);
    readStartupOptions(session.options, *ports.profile, configFilePath(session.executableFolder()), commandLine);
    RecordOutcome(session, 16, {kAnotherUpdaterLine}, kExitAnotherUpdater);
    return kExitAnotherUpdater;
}

} // namespace

int runProgram(EventLoop& loop, ProgramHost& host, const CommandLine& commandLine,
               const std::function<void(Session&)>& attachView) {
    Ports ports;
    std::string error;
    switch (host.open(loop, ports, error)) {
    case HostOpening::Ready: break;
    case HostOpening::Busy: return refuseSecondUpdater(loop, ports, commandLine);
    case HostOpening::Failed:
        std::cerr << "QuorvexUpdate: " << error << "\n";
        return kExitStartFailure;
    }
    const int exitCode = runSession(loop, ports, commandLine, attachView);
    if (!host.close(error)) {
        std::cerr << "QuorvexUpdate: " << error << "\n";
        return exitCode != 0 ? exitCode : kExitStartFailure;
    }
    return exitCode;
}

} // namespace qv
