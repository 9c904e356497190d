#pragma once
// The two commands of qv-imagetool. Exit status: 0 done (info: every check
// that applies passes), 1 a check fails, 2 usage or file error.
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qv::imagetool {

// "--name value" pairs, each name at most once, from an allowed set.
class OptionList {
public:
    // False with `error` set when an item is not an allowed "--name value".
    bool parse(const std::vector<std::string>& items, const std::vector<std::string>& allowed, std::string& error);
    std::optional<std::string> text(const std::string& name) const;
    // Decimal or hexadecimal ("0x3A", "$3A"); false with `error` when the
    // value is no integer in [low, high]. Absent options leave `value` as is.
    bool number(const std::string& name, long long low, long long high, long long& value, std::string& error) const;

private:
    std::map<std::string, std::string> values_;
};

int runMake(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
int runInfo(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

} // namespace qv::imagetool
