#pragma once
// Ctrl+C, Ctrl+Break and the closing of the console (or the session) as stop
// requests of a console-started run (SetConsoleCtrlHandler). The handler
// only records the event; the program stops at its next safe point and
// exits with 16. A second event while the first is pending or being
// handled ends the process at once. When the console closes, the system
// ends the process a few seconds after the handler returns, so the handler
// waits for the program to finish its ending first.
#include "platform/stop_request.h"

namespace qv {

class ConsoleStopRequests : public StopRequests {
public:
    ConsoleStopRequests();            // installs the handler
    ~ConsoleStopRequests() override;  // removes it; a waiting handler is released
    ConsoleStopRequests(const ConsoleStopRequests&) = delete;
    ConsoleStopRequests& operator=(const ConsoleStopRequests&) = delete;

    bool requested() override;
    void take() override;
    std::string description() override;
    int exitCode() override;
};

} // namespace qv
