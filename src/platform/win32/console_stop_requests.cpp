#include "platform/win32/console_stop_requests.h"

#include <windows.h>

#include <atomic>

namespace qv {

namespace {

constexpr int kStoppedExitCode = 16;
constexpr DWORD kCloseGraceMs = 4500;  // the system allows about five seconds

std::atomic<DWORD> gEvent{0};
std::atomic<bool> gRequested{false};
std::atomic<bool> gTaken{false};
std::atomic<bool> gFinished{false};

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (gRequested.exchange(true)) ExitProcess(kStoppedExitCode);  // asked twice: at once
    gEvent = event;
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // Returning ends the process: give the program its ending first.
        for (DWORD waited = 0; !gFinished && waited < kCloseGraceMs; waited += 50) Sleep(50);
    }
    return TRUE;
}

} // namespace

ConsoleStopRequests::ConsoleStopRequests() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

ConsoleStopRequests::~ConsoleStopRequests() {
    gFinished = true;
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
}

bool ConsoleStopRequests::requested() { return gRequested && !gTaken; }

void ConsoleStopRequests::take() { gTaken = true; }

std::string ConsoleStopRequests::description() {
    switch (gEvent.load()) {
    case CTRL_C_EVENT: return "Ctrl+C";
    case CTRL_BREAK_EVENT: return "Ctrl+Break";
    case CTRL_CLOSE_EVENT: return "the console was closed";
    case CTRL_LOGOFF_EVENT: return "the user logged off";
    case CTRL_SHUTDOWN_EVENT: return "the system is shutting down";
    default: return "console event " + std::to_string(gEvent.load());
    }
}

int ConsoleStopRequests::exitCode() { return kStoppedExitCode; }

} // namespace qv
