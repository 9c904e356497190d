#include "platform/linux/signal_stop_requests.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace qv {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The first stop signal; it stays set once taken, so that a second one
// still finds the program stopping.
volatile sig_atomic_t gSignal = 0;
volatile sig_atomic_t gTaken = 0;

extern "C" void onStopSignal(int number) {
    if (gSignal != 0) _exit(128 + number);  // asked twice: at once
    gSignal = number;
}

} // namespace

SignalStopRequests::SignalStopRequests() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // SA_RESTART: a system call the signal interrupts goes on; the request
    // is taken at the next safe point, not in the middle of an exchange.
    action.sa_flags = SA_RESTART;
    for (const int number : kStopSignals) sigaction(number, &action, nullptr);
}

SignalStopRequests::~SignalStopRequests() {
    for (const int number : kStopSignals) signal(number, SIG_DFL);
}

bool SignalStopRequests::requested() { return gSignal != 0 && gTaken == 0; }

void SignalStopRequests::take() { gTaken = 1; }

std::string SignalStopRequests::description() {
    switch (gSignal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "signal " + std::to_string(static_cast<int>(gSignal));
    }
}

int SignalStopRequests::exitCode() { return 128 + gSignal; }

} // namespace qv
