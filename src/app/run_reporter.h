#pragma once
// How a run tells the console and the scripts around it about itself,
// besides the window and the logs: --progress on standard error while it
// runs, and --result-json=FILE at its end. Every ending of the program goes
// through RunReporter::end(), the one place the document is written: an
// outcome, a start that failed, an interruption, another updater running.
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/result_document.h"
#include "app/wall_clock.h"

namespace qv {

class EventLoop;
class ProgressDisplay;
struct Session;

struct ConsoleReporting {
    std::ostream* progress = nullptr;  // --progress: where it goes (standard error); none without it
    bool progressOnTerminal = false;   // that stream is a terminal: one line rewritten in place
    std::optional<std::string> resultJsonPath;  // --result-json=FILE
    std::ostream* errors = nullptr;    // where a document that cannot be written is told
    WallClock clock;                   // "started"/"finished"; empty: the system's clock
};

enum class EndingKind {
    Outcome,          // the run recorded its outcome (or the window was closed without one)
    StartFailure,     // the ports could not be set up
    ProgramError,     // the ports could not be closed (a simulated device not saved)
    Interrupted,      // ended by a signal
    AnotherInstance,  // another updater was running
};

struct RunEnding {
    EndingKind kind = EndingKind::Outcome;
    std::uint8_t resultCode = 0;
    int exitCode = 0;
    std::string reason;  // StartFailure, ProgramError: what went wrong
};

// The stable word of the document's "outcome".
std::string_view outcomeWord(EndingKind kind, std::uint8_t resultCode, bool outcomeRecorded);

class RunReporter {
public:
    // The run's clock is `loop`'s: durationMs follows it (virtual in tests).
    RunReporter(ConsoleReporting settings, EventLoop& loop);
    ~RunReporter();
    RunReporter(const RunReporter&) = delete;
    RunReporter& operator=(const RunReporter&) = delete;

    // The session exists: its progress is followed, and a document that
    // could not be written is told now, on the console and in Memo2.
    void attach(Session& session);
    // The session is about to go: what the document needs of it is kept.
    void detach(Session& session);
    // The run ends: the progress display's last line, the document.
    void end(const RunEnding& ending);

private:
    ConsoleReporting settings_;
    EventLoop& loop_;
    std::uint32_t startTick_;
    std::string started_;
    std::unique_ptr<ProgressDisplay> progress_;
    ResultFacts facts_;
    bool outcomeRecorded_ = false;
    bool documentRefused_ = false;  // the folder was found unwritable and said so
    bool ended_ = false;
};

} // namespace qv
