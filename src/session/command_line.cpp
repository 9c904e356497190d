#include "session/command_line.h"

namespace qv {

CommandLine CommandLine::fromMain(int argc, const char* const* argv) {
    std::vector<std::string> parameters;
    for (int i = 1; i < argc; ++i) {
        parameters.emplace_back(argv[i]);
    }
    return CommandLine(std::move(parameters));
}

std::string upperCaseParameter(const std::string& text) {
    std::string upper = text;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

bool CommandLine::hasFlag(const std::string& switchText) const {
    for (const auto& parameter : parameters_) {
        if (upperCaseParameter(parameter) == switchText) return true;
    }
    return false;
}

std::optional<std::string> CommandLine::value(const std::string& switchText) const {
    for (const auto& parameter : parameters_) {
        const std::string upper = upperCaseParameter(parameter);
        if (upper.compare(0, switchText.size(), switchText) != 0) continue;
        std::string rest = upper.substr(switchText.size());
        if (rest.size() >= kSwitchValueBuffer) rest.clear();
        return rest;
    }
    return std::nullopt;
}

} // namespace qv
