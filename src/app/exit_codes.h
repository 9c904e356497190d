#pragma once
// Every exit code the program can end with and what it means: the table
// --help prints and the README shows (a test keeps the two equal).
#include <span>
#include <string_view>
#include <vector>

namespace qv {

// The program could not start: a usage error (an unknown or malformed "--"
// option), ports that could not be set up, no display for the window. No
// outcome code uses it.
inline constexpr int kExitStartFailure = 2;

// --replay: the program did something the recording does not have next.
inline constexpr int kExitReplayDivergence = 4;
// Another updater holds the station's lock; this one touched nothing.
inline constexpr int kExitAnotherUpdater = 40;
inline constexpr const char* kAnotherUpdaterLine = "Another QuorvexUpdate is already running.";

struct ExitCodeRow {
    std::vector<int> codes;
    std::string_view meaning;
};

std::span<const ExitCodeRow> exitCodeTable();

} // namespace qv
