#pragma once
// What a multi-line edit control must be sent to show a pane of the window
// model: the lines appended since it last looked, or the whole text after
// the pane was cleared. Plain C++ without the system's headers, so that
// its cost can be measured on any build machine: appending a line costs
// the same whatever the pane already holds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "session/window_model.h"

namespace qv::win32 {

struct PaneEdit {
    // true: the control's whole text becomes `text`; false: `text` is
    // added at its end (nothing to do when empty).
    bool replaceAll = false;
    std::string text;
};

class PaneFeed {
public:
    // The edit that brings the control from what it showed to `pane`.
    PaneEdit next(const TextPane& pane);
    // The control lost its text (it was made anew): the next edit sets it whole.
    void reset() { applied_ = false; }

private:
    bool applied_ = false;
    std::uint64_t revision_ = 0;
    std::size_t lineCount_ = 0;
};

// A pane line as an edit control shows it: without the line end it keeps
// for the logs, with CR LF where it breaks inside (a lone LF draws nothing).
std::string displayLine(const std::string& line);

} // namespace qv::win32
