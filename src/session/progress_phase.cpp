#include "session/progress_phase.h"

namespace qv {

namespace {

struct PhaseRow {
    ProgressPhase phase;
    std::string_view name;
    bool movesBar;
};

constexpr PhaseRow kPhases[] = {
    {ProgressPhase::Search, "search", false},   {ProgressPhase::FlashMode, "flash-mode", false},
    {ProgressPhase::Erase, "erase", false},     {ProgressPhase::Write, "write", true},
    {ProgressPhase::Read, "read", true},        {ProgressPhase::Compare, "compare", false},
    {ProgressPhase::Finish, "finish", false},   {ProgressPhase::Parameters, "parameters", true},
};

const PhaseRow* rowOf(ProgressPhase phase) {
    for (const auto& row : kPhases) {
        if (row.phase == phase) return &row;
    }
    return nullptr;
}

} // namespace

std::string_view progressPhaseName(ProgressPhase phase) {
    const PhaseRow* row = rowOf(phase);
    return row != nullptr ? row->name : std::string_view();
}

bool progressPhaseMovesBar(ProgressPhase phase) {
    const PhaseRow* row = rowOf(phase);
    return row != nullptr && row->movesBar;
}

} // namespace qv
