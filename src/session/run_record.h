#pragma once
// What a run learned on its way that its ending reports besides the window:
// the update file it loaded, the version texts the programming flow read
// from the device and the image, the message pane as the result log saved
// it, and whether an outcome was recorded at all.
#include <optional>
#include <string>
#include <vector>

namespace qv {

struct RunRecord {
    std::string imagePath;  // the update file loaded; empty when none was
    std::optional<std::string> oldVersion, oldOemVersion, newVersion, newOemVersion;
    bool outcomeRecorded = false;
    // Memo1's lines when the last result log was due (also under
    // NORESULTLOG), and the file it was written to.
    std::optional<std::vector<std::string>> resultLogLines;
    std::optional<std::string> resultLogPath;
};

} // namespace qv
