#pragma once
// --progress: the run's progress on a stream (standard error), from the
// same figures as ProgressBar1 and the step they belong to.
//
// Plain form, for logs and pipes: "progress: <step> <n>%" when a step
// begins (0 %), at every 5 % step of the bar, and at 100 %; a bar that
// starts over within its step is counted again from there. Steps without a
// bar of their own (search, flash-mode, erase, compare, finish) say 100 %
// when the next step begins, or when the run ends well.
//
// Terminal form: one line rewritten in place: the step, a bar, the
// percentage and the time since the run started; the run's outcome ends it.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "session/progress_phase.h"

namespace qv {

class ProgressDisplay {
public:
    // elapsedMs: milliseconds since the run started (the run's clock).
    ProgressDisplay(std::ostream& out, bool terminal, std::function<std::uint64_t()> elapsedMs);

    // ProgressBar1 or its step changed.
    void update(ProgressPhase phase, int percent);
    // The run ended: `outcome` is its word; `succeeded` completes the last step.
    void finish(std::string_view outcome, bool succeeded);

private:
    void plainLine(ProgressPhase phase, int percent);
    void closeStep();
    void drawTerminalLine(std::string_view tail);

    std::ostream& out_;
    bool terminal_;
    std::function<std::uint64_t()> elapsedMs_;
    ProgressPhase phase_ = ProgressPhase::None;
    int percent_ = 0;         // the step's figure as last shown
    int lastPrinted_ = -1;    // plain form: the last figure printed in this step
    std::size_t drawnWidth_ = 0;  // terminal form: characters on the line now
    bool finished_ = false;
};

} // namespace qv
