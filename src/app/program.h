#pragma once
// The whole program on a given event loop: the main window is created
// (hidden under "/S" or without a view), Timer4 runs the start-up sequence
// 100 ms after the loop starts, the loop runs until the window closes, and
// the exit code follows from ResultCode. The headless program and the Qt
// window program share this; only the event loop and the view differ.
#include <functional>
#include <optional>
#include <string>

#include "app/exit_codes.h"
#include "app/run_reporter.h"
#include "session/command_line.h"
#include "session/session.h"

namespace qv {

class EventLoop;

// Where a run gets its ports. open() is called once with the run's event
// loop, before the window is created (a simulated hub is built on that loop
// so that its re-enumeration delays follow the program's clock); close()
// once the window has closed and the device is released (a simulated hub
// saves its state there).
//
// open() takes the station's lock before it touches any device: when
// another updater holds it, it answers Busy with the ports that report the
// refusal (environment, profile) filled and no device, device tree or store
// used.
enum class HostOpening { Ready, Failed, Busy };

class ProgramHost {
public:
    virtual ~ProgramHost() = default;
    // Failed with the reason when the run cannot start.
    virtual HostOpening open(EventLoop& loop, Ports& ports, std::string& error) = 0;
    virtual bool close(std::string& error) = 0;
    // The session has been made (its panes can be written to), and the
    // session has ended with this exit code; before close().
    virtual void sessionStarted(Session&) {}
    virtual void sessionEnded(const Session&, int /*exitCode*/) {}
    // What the run tells the console and the scripts around it (--progress,
    // --result-json); nothing by default.
    virtual ConsoleReporting reporting() const { return {}; }
};


// Runs the program to its end and returns the process exit code. Nothing
// escapes it: an error that reaches the program's loop ends the run through
// EndRunAbruptly (abrupt_ending.h) with the exit code of ResultCode, and so
// does a stop request, with the exit code the request names.
// attachView connects a window view to the session once the window has been
// created; without one (headless) the window stays hidden, and under "/S"
// it stays hidden all the same. A hidden window
// has no operator: the loop then also ends when no run is left to tick
// (Timer1, Timer3 and Timer4 all stopped) instead of waiting for a close
// that nobody could give. Every ending, a start that fails included, goes
// through the host's reporting (RunReporter::end).
int runProgram(EventLoop& loop, ProgramHost& host, const CommandLine& commandLine,
               const std::function<void(Session&)>& attachView = {});

} // namespace qv
