#pragma once
// The steps a run reports its progress in: what ProgressBar1 belongs to at
// any moment. The programming flows name the step they begin; the bar's
// figures come from the step itself (the device link's page and chunk loops,
// the parameter update's byte loops).
#include <string_view>

namespace qv {

enum class ProgressPhase { None, Search, FlashMode, Erase, Write, Read, Compare, Finish, Parameters };

// "search", "flash-mode", ...; empty for None.
std::string_view progressPhaseName(ProgressPhase phase);

// Whether ProgressBar1 moves during the step (writing, reading back, the
// parameter update); other steps only begin and end.
bool progressPhaseMovesBar(ProgressPhase phase);

} // namespace qv
