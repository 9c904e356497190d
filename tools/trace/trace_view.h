#pragma once
// The two views of a recording: one line per event (show) and the run in
// figures (stats). Both read the recording once, line by line.
#include <iosfwd>
#include <string>

namespace qv::trace {

// 0 when the recording was read to its end; otherwise the problem has been
// written to `errors` and the exit code is 2.
int show(std::istream& recording, std::ostream& out, std::ostream& errors);
int stats(std::istream& recording, std::ostream& out, std::ostream& errors);

} // namespace qv::trace
