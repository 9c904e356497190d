#include "ui/win32/open_file_filter.h"

#include <vector>

namespace qv::win32 {

namespace {
std::vector<std::string> splitAtBars(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = text.find('|', start);
        parts.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) {
            return parts;
        }
        start = bar + 1;
    }
}
} // namespace

std::string toOpenFileNameFilter(const std::string& filter) {
    const std::vector<std::string> parts = splitAtBars(filter);
    std::string converted;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        const std::string& patterns = parts[i + 1];
        if (patterns.empty()) {
            continue;
        }
        converted += parts[i].empty() ? patterns : parts[i];
        converted += '\0';
        converted += patterns;
        converted += '\0';
    }
    if (!converted.empty()) {
        converted += '\0';
    }
    return converted;
}

} // namespace qv::win32
