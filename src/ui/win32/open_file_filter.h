#pragma once
// The file filter of the open dialog, from the window's
// "[*.bin]|*.bin|*.*|*.*" form (description|pattern pairs, patterns
// separated by ';') to the one GetOpenFileNameA reads: each description
// and pattern list ended by a NUL, the whole list by a further NUL. Plain
// C++, tested on every build machine.
#include <string>

namespace qv::win32 {

// An entry without patterns is left out, one without a description is
// described by its patterns, a trailing description without patterns is
// dropped. No entries at all gives the empty string (the dialog then shows
// every file).
std::string toOpenFileNameFilter(const std::string& filter);

} // namespace qv::win32
