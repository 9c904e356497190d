#pragma once
// SIGINT, SIGTERM and SIGHUP as stop requests. The handler only records the
// signal; the program stops at its next safe point and exits with 128 + the
// signal number (130, 143, 129). A second one of them while the first is
// pending or being handled ends the process at once with its own code.
#include "platform/stop_request.h"

namespace qv {

class SignalStopRequests : public StopRequests {
public:
    SignalStopRequests();  // installs the handlers
    ~SignalStopRequests() override;  // restores the default actions
    SignalStopRequests(const SignalStopRequests&) = delete;
    SignalStopRequests& operator=(const SignalStopRequests&) = delete;

    bool requested() override;
    void take() override;
    std::string description() override;
    int exitCode() override;
};

} // namespace qv
