// qv-imagetool: makes firmware image files the updater accepts and shows
// what the updater sees in one.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "platform/integer_text.h"
#include "tool_commands.h"

namespace qv::imagetool {

bool OptionList::parse(const std::vector<std::string>& items, const std::vector<std::string>& allowed,
                       std::string& error) {
    for (std::size_t i = 0; i < items.size(); i += 2) {
        const std::string& name = items[i];
        if (name.rfind("--", 0) != 0 || std::find(allowed.begin(), allowed.end(), name.substr(2)) == allowed.end()) {
            error = "unknown option '" + name + "'";
            return false;
        }
        if (i + 1 >= items.size()) {
            error = "option '" + name + "' needs a value";
            return false;
        }
        if (!values_.emplace(name.substr(2), items[i + 1]).second) {
            error = "option '" + name + "' given twice";
            return false;
        }
    }
    return true;
}

std::optional<std::string> OptionList::text(const std::string& name) const {
    const auto found = values_.find(name);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool OptionList::number(const std::string& name, long long low, long long high, long long& value,
                        std::string& error) const {
    const auto given = text(name);
    if (!given) {
        return true;
    }
    const auto parsed = parseInteger(*given);
    if (!parsed || *parsed < low || *parsed > high) {
        error = "--" + name + " needs an integer from " + std::to_string(low) + " to " + std::to_string(high) +
                ", not '" + *given + "'";
        return false;
    }
    value = *parsed;
    return true;
}

} // namespace qv::imagetool

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  qv-imagetool make --kind 126k|190k|sized|small|patch|param|direct --out FILE [options]\n"
    "      --length N           file length (small: required; 126k/190k: any length of the layout)\n"
    "      --kib N              sized: N KiB (N x 1024 bytes, N > 8)\n"
    "      --chip-class N       small: checked region from 0x2000 (0) or from 0x400 (nonzero)\n"
    "      --version TEXT       firmware version at 0x0090 (16 characters)\n"
    "      --oem TEXT           OEM version at 0x3100 (32 characters)\n"
    "      --preload-version T  preload-code version at 0x0050 (16 characters)\n"
    "      --field-padding HEX  byte after each text's terminating zero: 00 (default) or ff\n"
    "      --clock internal|external   clock select bit 4 of 0x0087 and 0x0047\n"
    "      --ivt-marker BYTE    byte 0x0023 (0x3A mapping on, 0x3C off)\n"
    "      --blank-pages LIST   1 KiB pages left 0xFF, e.g. 40-60,100\n"
    "      --seed N             content of the code area\n"
    "      --data-length N      patch/direct: length field; param: block size\n"
    "      --address N          patch/direct: address field\n"
    "  qv-imagetool info FILE [--sized-kib N]\n"
    "      kind by length, texts, clock bits, IVT marker, checksum verdicts\n"
    "      (--sized-kib: the updater's SPECIALLYBINSIZEFOR5C80, default 126)\n";

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    if (arguments[0] == "make") {
        return qv::imagetool::runMake(rest, std::cout, std::cerr);
    }
    if (arguments[0] == "info") {
        return qv::imagetool::runInfo(rest, std::cout, std::cerr);
    }
    if (arguments[0] == "--help" || arguments[0] == "help") {
        std::cout << kUsage;
        return 0;
    }
    std::cerr << "unknown command '" << arguments[0] << "'\n" << kUsage;
    return 2;
}
