#include "app/update_selection.h"

#include <algorithm>
#include <array>
#include <optional>

#include "app/version_number.h"
#include "platform/directory_listing.h"
#include "programming/flash_mode.h"
#include "programming/image_file.h"
#include "session/command_line.h"
#include "session/result_reporting.h"

namespace qv {

namespace {

SelectionVerdict verdictFromCount(std::size_t count) {
    if (count == 1) return SelectionVerdict::Selected;
    if (count == 0) return SelectionVerdict::NoFile;
    return SelectionVerdict::TooMany;
}

// Makes candidate `index` entry 1, keeping the order of the others.
void moveToFront(std::vector<std::string>& candidates, std::size_t index) {
    std::rotate(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(index),
                candidates.begin() + static_cast<std::ptrdiff_t>(index) + 1);
}

// The OEM version text of the file now in ImageBuffer; a file too short for
// the whole field gives what lies inside it (nothing for a 1 KiB file).
std::string loadedImageVersionText(const Session& session) {
    return fieldText(session.ImageBuffer, kVersionTextAddress, kVersionTextLength);
}

// Loads a candidate into ImageBuffer. One that is too large or cannot be
// read (gone since the listing, say) stops the choice: skipping it could
// pick another file than the one meant.
bool loadCandidate(Session& session, const std::string& entry, std::string& problem) {
    const std::string path = candidatePath(session, entry);
    const ImageFileRead read = loadImageFile(path, session.ImageBuffer);
    session.record.imagePath = read ? path : std::string();
    if (!read) problem = imageFileProblem(entry, read);
    return static_cast<bool>(read);
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

SelectionVerdict nameRule(Session& session, const std::string& wanted) {
    auto& candidates = session.UpdateCandidates;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (!wanted.empty() && upperCaseParameter(candidates[i]) == wanted) {
            moveToFront(candidates, i);
            return SelectionVerdict::Selected;
        }
    }
    return SelectionVerdict::NoFile;
}

std::optional<VersionNumber> versionNumberOf(const std::string& text, const std::string& project,
                                             const std::string& whose, std::string& problem) {
    const std::string numberPart = text.substr(project.size());
    auto number = VersionNumber::parse(numberPart);
    if (!number) {
        problem = "The version '" + text + "' of " + whose + " has no valid version number after '" + project + "'.";
    }
    return number;
}

SelectionVerdict versionRule(Session& session, std::string& problem) {
    session.window.beginProgressPhase(ProgressPhase::Search);
    ReopenNormalMode(session);
    if (session.DeviceModeState != 1) return SelectionVerdict::NoFile;
    session.RunState = 2;
    const std::string deviceText = ReadDeviceVersionText(session);

    session.ProjectIndex = 0;
    for (std::size_t n = 0; n < kListKeyCount; ++n) {
        const std::string& name = session.options.PROJECTNAME[n];
        if (!name.empty() && startsWith(deviceText, name)) {
            session.ProjectIndex = static_cast<int>(n) + 1;
            break;
        }
    }
    if (session.ProjectIndex == 0) return SelectionVerdict::NoFile;
    const std::string project = session.options.PROJECTNAME[static_cast<std::size_t>(session.ProjectIndex) - 1];

    // The device's number is read only once a file of its project needs it.
    std::optional<VersionNumber> deviceNumber;
    bool projectFileFound = false;
    auto& candidates = session.UpdateCandidates;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (!loadCandidate(session, candidates[i], problem)) return SelectionVerdict::Unreadable;
        const std::string fileText = loadedImageVersionText(session);
        if (!startsWith(fileText, project)) continue;
        projectFileFound = true;
        const auto fileNumber = versionNumberOf(fileText, project, "the update file " + candidates[i], problem);
        if (!fileNumber) return SelectionVerdict::BadVersion;
        if (!deviceNumber) {
            deviceNumber = versionNumberOf(deviceText, project, "the device", problem);
            if (!deviceNumber) return SelectionVerdict::BadVersion;
        }
        if (*fileNumber > *deviceNumber) {
            moveToFront(candidates, i);
            return SelectionVerdict::Selected;
        }
    }
    return projectFileFound ? SelectionVerdict::UpToDate : SelectionVerdict::NoFile;
}

SelectionVerdict boardRevisionRule(Session& session) {
    Options& options = session.options;
    std::uint32_t revision = session.deviceTree.ReadDeviceRevision(options.MAIN_HWID);
    for (std::size_t n = 0; revision == 0 && n < kListKeyCount; ++n) {
        revision = session.deviceTree.ReadDeviceRevision(options.TALVIK_OTHERHWID[n]);
        if (revision != 0) options.MAIN_HWID = options.TALVIK_OTHERHWID[n];
    }
    if (revision == 0) session.DefaultFolderUsed = true;
    const std::string folder =
        session.executableFolder() + pcbFolderFor(revision, options.TALVIK_BCDDEVICE, options.TALVIK_DEFAULTPATCH);
    session.UpdateCandidates = FindUpdateCandidates(session, folder, true);
    return verdictFromCount(session.UpdateCandidates.size());
}

SelectionVerdict sameVersionRule(Session& session, std::string& problem) {
    const std::size_t count = session.UpdateCandidates.size();
    session.window.beginProgressPhase(ProgressPhase::Search);
    ReopenNormalMode(session);
    if (session.DeviceModeState != 1) return verdictFromCount(count);
    session.RunState = 2;
    const std::string deviceText = ReadDeviceVersionText(session);
    if (count != 1) return verdictFromCount(count);
    if (!loadCandidate(session, session.UpdateCandidates.front(), problem)) return SelectionVerdict::Unreadable;
    // A device whose version could not be read is never taken for up to
    // date: an empty text would equal the empty field of any file.
    if (!deviceText.empty() && loadedImageVersionText(session) == deviceText) {
        StoreFirmwareVersion(session, deviceText);
        return SelectionVerdict::UpToDate;
    }
    return SelectionVerdict::Selected;
}

} // namespace

std::string candidatePath(const Session& session, const std::string& entry) {
    const bool isPath = entry.find('/') != std::string::npos || entry.find('\\') != std::string::npos;
    return isPath ? entry : session.executableFolder() + entry;
}

std::vector<std::string> FindUpdateCandidates(Session& session, const std::string& folder, bool fullPaths) {
    std::vector<std::string> candidates;
    for (const DirectoryEntry& entry : session.ports.directory->listBinFiles(folder)) {
        if (entry.isDirectory || entry.isHidden || entry.isSystem) continue;
        const std::size_t dot = entry.name.rfind('.');
        if (dot == std::string::npos || entry.name.compare(dot, std::string::npos, ".bin") != 0) continue;
        candidates.push_back(fullPaths ? folder + entry.name : entry.name);
        if (candidates.size() == kMaxUpdateCandidates) break;
    }
    return candidates;
}

std::string pcbFolderFor(std::uint32_t revision, std::int32_t bcdDevice, std::int32_t defaultPatch) {
    std::string name;
    if (revision != 0) {
        const std::int64_t major = revision / 256;
        name = major < bcdDevice ? "Test_PCB" : major == bcdDevice ? "Old_PCB" : "New_PCB";
    } else {
        name = defaultPatch == 1 ? "New_PCB" : defaultPatch == 2 ? "Old_PCB" : "No_PCB";
    }
    return name + kPathSeparator;
}

std::string ReadDeviceVersionText(Session& session) {
    std::array<std::uint8_t, 256> buffer{};
    if (!session.link.ReadMemory(kVersionTextAddress, kVersionTextLength, buffer)) return {};
    const auto end = std::find(buffer.begin(), buffer.end(), std::uint8_t{0});
    std::string text(buffer.begin(), end);
    session.record.oldOemVersion = text;  // the OEM version field the device runs
    return text;
}

SelectionVerdict SelectUpdateFile(Session& session) {
    std::string problem;
    return SelectUpdateFile(session, problem);
}

SelectionVerdict SelectUpdateFile(Session& session, std::string& problem) {
    session.UpdateCandidates = FindUpdateCandidates(session, session.executableFolder(), false);
    const Options& options = session.options;
    if (const auto wanted = session.commandLine.value("/F")) return nameRule(session, *wanted);
    if (!options.PROJECTNAME[0].empty()) return versionRule(session, problem);
    if (options.TALVIK_BCDDEVICE != 0) return boardRevisionRule(session);
    if (options.DONOTUPDATETHESAMEVERSION == 1) return sameVersionRule(session, problem);
    return verdictFromCount(session.UpdateCandidates.size());
}

} // namespace qv
