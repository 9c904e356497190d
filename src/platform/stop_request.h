#pragma once
// Port: a request from the operating system that the program stop (SIGINT,
// SIGTERM or SIGHUP on Linux; Ctrl+C, Ctrl+Break or the console closing on
// Windows). The platform only records it; the program looks at it at its
// safe points (between two feature exchanges, in its waits, between two
// window timer ticks) and then ends its run the orderly way. A second
// request while the program is stopping ends the process at once.
#include <string>

namespace qv {

class StopRequests {
public:
    virtual ~StopRequests() = default;
    // Whether a stop has been requested and not yet taken.
    virtual bool requested() = 0;
    // The program takes the request: from here on it is stopping, and its
    // own exchanges (releasing the device) go on as usual.
    virtual void take() = 0;
    // What was requested, for the diagnostic pane ("SIGTERM").
    virtual std::string description() = 0;
    // The exit code of a program that stopped on the request.
    virtual int exitCode() = 0;
};

// No operating system behind it; tests request a stop by hand.
class ManualStopRequests : public StopRequests {
public:
    bool requested() override { return pending; }
    void take() override {
        pending = false;
        ++taken;
    }
    std::string description() override { return name; }
    int exitCode() override { return code; }

    bool pending = false;
    int taken = 0;
    std::string name = "SIGTERM";
    int code = 143;
};

} // namespace qv
