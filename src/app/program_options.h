#pragma once
// The program's own options: parameters that start with "--" (and "-h" and
// "/?", which ask for help). They are read before anything else; every
// other parameter is left to the switches (/S, /VF, /ERASE, /F). An option
// the program does not know, a value missing or given where none belongs,
// and an option given twice are usage errors.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

struct ProgramOptions {
    bool help = false;
    bool version = false;
    std::optional<std::string> simulateFolder;  // --simulate=DIR
    bool virtualTime = false;                   // --virtual-time
    std::optional<std::string> recordFile;      // --record=FILE
    std::optional<std::string> replayFile;      // --replay=FILE
    bool realTime = false;                      // --real-time
    bool progress = false;                      // --progress
    std::optional<std::string> resultJsonPath;  // --result-json=FILE
};

struct ProgramOptionSpec {
    std::string_view name;       // "--simulate"
    std::string_view valueName;  // "DIR"; empty: the option takes no value
    std::string_view help;
    void (*apply)(ProgramOptions& options, const std::string& value);
};

std::span<const ProgramOptionSpec> programOptionTable();

struct ProgramOptionsRead {
    ProgramOptions options;
    std::string error;  // the first usage error; empty when there is none
};

ProgramOptionsRead readProgramOptions(const std::vector<std::string>& parameters);

// What --version prints after the program's name and version.
struct BuildDescription {
    std::string platform;  // the real ports' back end
    std::string window;    // the window toolkit, empty when built without one
};

// --help: the switches, the program's own options and the exit codes.
std::string usageText();
// --version: "QuorvexUpdate <version>", then the back end and the build's options.
std::string versionText(const BuildDescription& build);
// A usage error as the program reports it on standard error.
std::string usageErrorLine(const std::string& error);

} // namespace qv
