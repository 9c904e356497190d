#pragma once
// The program's switches. Parameters are matched after upper-casing the
// whole parameter; the first matching parameter wins.
//   "/S"      silent run          "/VF"  verify only
//   "/ERASE"  erase only          "/F"   followed by the update file's name
// A flag switch matches only a parameter that is exactly the switch: /SILENT,
// /VFX or /ERASE2 are no switch at all (and end the search for that switch
// no more than any other unmatched parameter does).
// A value switch delivers the rest of the parameter, upper-cased. A value of
// 256 characters or more does not fit the 255-character value buffer and is
// refused: the switch is found with an empty value, so no file matches it.
#include <optional>
#include <string>
#include <vector>

namespace qv {

inline constexpr std::size_t kSwitchValueBuffer = 256;

class CommandLine {
public:
    CommandLine() = default;
    // The parameters after the program's own path, as split by the platform.
    explicit CommandLine(std::vector<std::string> parameters) : parameters_(std::move(parameters)) {}
    static CommandLine fromMain(int argc, const char* const* argv);

    // Flag switches ("/S", "/VF", "/ERASE").
    bool hasFlag(const std::string& switchText) const;
    // Value switch ("/F"): nullopt when not found, else the (possibly empty) value.
    std::optional<std::string> value(const std::string& switchText) const;

    const std::vector<std::string>& parameters() const { return parameters_; }

private:
    std::vector<std::string> parameters_;
};

// Upper-casing of a parameter (ASCII letters; other bytes stay as they are).
std::string upperCaseParameter(const std::string& text);

} // namespace qv
