#pragma once
// Choosing the update file beside the executable (or in a PCB folder).
//
// Candidates are the files of a folder whose name ends in exactly ".bin"
// (case-sensitive, from the last '.'), in the order the directory listing
// gives them (name order, on every platform), the first 16 of them;
// directories, hidden and system files are skipped. The rules,
// first that applies: "/F" name; version (PROJECTNAME1 set); board revision
// (TALVIK_BCDDEVICE set, PCB sub-folders); same version
// (DONOTUPDATETHESAMEVERSION 1); plain (exactly one candidate).
#include <cstdint>
#include <string>
#include <vector>

#include "session/session.h"

namespace qv {

inline constexpr std::size_t kMaxUpdateCandidates = 16;
inline constexpr std::uint32_t kVersionTextAddress = 0x3100;
inline constexpr std::size_t kVersionTextLength = 32;

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

SelectionVerdict SelectUpdateFile(Session& session);
// The same; for BadVersion, problem says which text is not a number, for
// Unreadable which candidate could not be loaded and why.
SelectionVerdict SelectUpdateFile(Session& session, std::string& problem);

// The running firmware's 32-byte version text at 0x3100 (empty on failure).
std::string ReadDeviceVersionText(Session& session);

// The accepted candidates of folder: names, or folder + name when
// fullPaths.
std::vector<std::string> FindUpdateCandidates(Session& session, const std::string& folder, bool fullPaths);

// Where candidate entry `entry` lives: a full path as it is, a bare name
// beside the executable.
std::string candidatePath(const Session& session, const std::string& entry);

// "New_PCB/", "Old_PCB/", "Test_PCB/", "No_PCB/" (with the platform's
// separator) for a board revision and the configuration.
std::string pcbFolderFor(std::uint32_t revision, std::int32_t bcdDevice, std::int32_t defaultPatch);

} // namespace qv
