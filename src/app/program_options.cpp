#include "app/program_options.h"

#include <sstream>

#include "app/exit_codes.h"
#include "session/program_version.h"

namespace qv {

namespace {

const ProgramOptionSpec kOptions[] = {
    {"--help", "", "print this text and end (also -h and /?)",
     [](ProgramOptions& o, const std::string&) { o.help = true; }},
    {"--version", "", "print the program's version and build and end",
     [](ProgramOptions& o, const std::string&) { o.version = true; }},
    {"--simulate", "DIR",
     "update the simulated sensor hub whose state lives in DIR (device.ini, flash.bin, eflash.bin) instead of "
     "real hardware; FWVer goes to DIR/FWVer",
     [](ProgramOptions& o, const std::string& value) { o.simulateFolder = value; }},
    {"--virtual-time", "",
     "with --simulate only: run on a virtual clock, so waits cost no real time (tests)",
     [](ProgramOptions& o, const std::string&) { o.virtualTime = true; }},
    {"--record", "FILE",
     "write every call to the HID bus and the device tree to FILE (JSON Lines, one line per call, flushed "
     "at once; an existing FILE is replaced), for support and for --replay",
     [](ProgramOptions& o, const std::string& value) { o.recordFile = value; }},
    {"--replay", "FILE",
     "run against the recording FILE instead of a device: the answers come from it, and the first request "
     "that differs from it ends the program with code 4 and a report on standard error; waits run on a "
     "virtual clock",
     [](ProgramOptions& o, const std::string& value) { o.replayFile = value; }},
    {"--real-time", "", "with --replay only: wait in real time, as the recorded run did",
     [](ProgramOptions& o, const std::string&) { o.realTime = true; }},
    {"--progress", "",
     "show the run's progress on standard error: one line rewritten in place on a terminal, otherwise lines "
     "\"progress: <step> <n>%\" (steps search, flash-mode, erase, write, read, compare, finish, parameters)",
     [](ProgramOptions& o, const std::string&) { o.progress = true; }},
    {"--result-json", "FILE",
     "at the end of the run, whatever it was, write its result as a JSON document to FILE (replaced whole; "
     "see the README for its fields)",
     [](ProgramOptions& o, const std::string& value) { o.resultJsonPath = value; }},
};

const ProgramOptionSpec* findOption(std::string_view name) {
    for (const auto& option : kOptions) {
        if (option.name == name) return &option;
    }
    return nullptr;
}

// Words of `text` in lines of at most 79 characters, every line after the
// first indented by `indent`; the first begins at column `column`.
std::string wrapped(std::string_view text, std::size_t indent, std::size_t column) {
    constexpr std::size_t kWidth = 79;
    std::string out;
    std::istringstream words{std::string(text)};
    std::string word;
    while (words >> word) {
        if (column > indent && column + 1 + word.size() > kWidth) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
        } else if (column > indent) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
    }
    return out;
}

// "  head      text", the text wrapped beside the head, or below it when the
// head is too long.
std::string tableLine(const std::string& head, std::string_view text, std::size_t textColumn) {
    std::string line = "  " + head;
    if (line.size() + 1 < textColumn) {
        line += std::string(textColumn - line.size(), ' ');
    } else {
        line += "\n" + std::string(textColumn, ' ');
    }
    return line + wrapped(text, textColumn, textColumn) + "\n";
}

// --replay stands in for the device: it does not go with another source of
// one, nor with a recording of its own.
std::string recordReplayConflict(const ProgramOptions& options) {
    if (options.realTime && !options.replayFile) return "--real-time needs --replay=FILE";
    if (!options.replayFile) return {};
    if (options.simulateFolder) return "--replay and --simulate exclude each other";
    if (options.recordFile) return "--replay and --record exclude each other";
    return {};
}

bool asksForHelp(const std::string& parameter) { return parameter == "-h" || parameter == "/?"; }

// The problem with one "--" parameter, or empty when it is a known option
// used the right way.
std::string readOne(const std::string& parameter, ProgramOptions& options, std::vector<std::string_view>& seen) {
    const auto equals = parameter.find('=');
    const std::string_view name = std::string_view(parameter).substr(0, equals);
    const ProgramOptionSpec* option = findOption(name);
    if (option == nullptr) return "unknown option '" + std::string(name) + "'";
    for (const auto& earlier : seen) {
        if (earlier == option->name) return "option '" + std::string(name) + "' is given more than once";
    }
    seen.push_back(option->name);
    const std::string value = equals == std::string::npos ? std::string() : parameter.substr(equals + 1);
    if (option->valueName.empty()) {
        if (equals != std::string::npos) return "option '" + std::string(name) + "' takes no value";
    } else if (value.empty()) {
        return "option '" + std::string(name) + "' needs a value: " + std::string(name) + "=" +
               std::string(option->valueName);
    }
    option->apply(options, value);
    return {};
}

} // namespace

std::span<const ProgramOptionSpec> programOptionTable() { return kOptions; }

ProgramOptionsRead readProgramOptions(const std::vector<std::string>& parameters) {
    ProgramOptionsRead read;
    std::vector<std::string_view> seen;
    for (const auto& parameter : parameters) {
        if (asksForHelp(parameter)) {
            read.options.help = true;
            continue;
        }
        if (parameter.rfind("--", 0) != 0) continue;  // a switch, or nothing of ours
        std::string problem = readOne(parameter, read.options, seen);
        if (!problem.empty() && read.error.empty()) read.error = std::move(problem);
    }
    if (read.error.empty() && read.options.virtualTime && !read.options.simulateFolder) {
        read.error = "--virtual-time needs --simulate=DIR";
    }
    if (read.error.empty()) read.error = recordReplayConflict(read.options);
    return read;
}

std::string usageText() {
    std::ostringstream text;
    text << "Usage: QuorvexUpdate [/S] [/VF | /ERASE] [/Fname.bin] [--option ...]\n"
            "\n"
            "Updates the firmware of the sensor hub with the update file beside the program,\n"
            "as TAVO.ini beside the program configures it.\n"
            "\n"
            "Switches (any letter case; the first matching parameter wins):\n"
            "  /S          silent: no window; every ending closes the program and the exit\n"
            "              code carries the result\n"
            "  /VF         verify only: read back and compare, dump the read-back to\n"
            "              flashbin.000\n"
            "  /ERASE      erase only (wins over /VF)\n"
            "  /Fname.bin  the update file, chosen among the .bin files beside the program\n"
            "\n"
            "Options:\n";
    for (const auto& option : kOptions) {
        std::string head = std::string(option.name);
        if (!option.valueName.empty()) head += "=" + std::string(option.valueName);
        text << tableLine(head, option.help, 22);
    }
    text << "\nExit codes (with RETURNCODETYPE=1 in TAVO.ini every non-zero code is 3):\n";
    for (const auto& row : exitCodeTable()) {
        std::string codes;
        for (const int code : row.codes) codes += (codes.empty() ? "" : ", ") + std::to_string(code);
        text << tableLine(codes, row.meaning, 14);
    }
    return text.str();
}

std::string versionText(const BuildDescription& build) {
    std::ostringstream text;
    text << "QuorvexUpdate " << kProgramVersion << "\n";
    text << "platform: " << build.platform << "\n";
    text << "window: " << (build.window.empty() ? std::string("no") : "yes (" + build.window + ")") << "\n";
    text << "simulated sensor hub: yes (--simulate=DIR)\n";
    return text.str();
}

std::string usageErrorLine(const std::string& error) { return "QuorvexUpdate: " + error + " (see --help)\n"; }

} // namespace qv
