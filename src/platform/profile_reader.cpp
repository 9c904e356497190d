#include "platform/profile_reader.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string_view>

namespace qv {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

std::string unquote(std::string value) {
    if (value.size() >= 2) {
        const char first = value.front();
        if ((first == '"' || first == '\'') && value.back() == first) {
            value = value.substr(1, value.size() - 2);
        }
    }
    return value;
}

// An editor's UTF-8 signature at the start of the file is not part of the
// first line.
constexpr std::string_view kUtf8Signature = "\xEF\xBB\xBF";

// Splits into lines ended by CR LF, LF or a CR alone (as the system's
// profile service does), after the UTF-8 signature if there is one.
template <typename Visit>
void forEachLine(const std::string& text, Visit visit) {
    std::size_t start = text.starts_with(kUtf8Signature) ? kUtf8Signature.size() : 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (!visit(text.substr(start, end - start))) return;
        start = end + ((text.compare(end, 2, "\r\n") == 0) ? 2 : 1);
    }
}

std::optional<std::string> sectionName(const std::string& trimmedLine) {
    if (trimmedLine.empty() || trimmedLine.front() != '[') return std::nullopt;
    const std::size_t close = trimmedLine.find(']');
    if (close == std::string::npos) return std::nullopt;
    return trim(trimmedLine.substr(1, close - 1));
}

// The text handed back when nothing is found: trailing spaces are dropped
// (the system's profile service does so with its default text too).
std::string defaultValue(const std::string& defaultText) {
    std::string value = defaultText.substr(0, defaultText.find_last_not_of(' ') + 1);
    if (value.size() > kProfileValueLimit) value.resize(kProfileValueLimit);
    return value;
}

} // namespace

std::string lookupProfileText(const std::string& fileText, const std::string& section, const std::string& key,
                              const std::string& defaultText) {
    enum class Where { Before, Inside, After } where = Where::Before;
    std::optional<std::string> found;
    forEachLine(fileText, [&](const std::string& rawLine) {
        const std::string line = trim(rawLine);
        if (auto name = sectionName(line)) {
            if (where == Where::Inside) {
                where = Where::After;
                return false;
            }
            if (equalsIgnoreCase(*name, section)) where = Where::Inside;
            return true;
        }
        if (where != Where::Inside) return true;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) return true;
        if (!equalsIgnoreCase(trim(line.substr(0, equals)), key)) return true;
        found = unquote(trim(line.substr(equals + 1)));
        return false;
    });
    if (!found) return defaultValue(defaultText);
    std::string value = *found;
    if (value.size() > kProfileValueLimit) value.resize(kProfileValueLimit);
    return value;
}

std::string ProfileReader::readString(const std::string& path, const std::string& section, const std::string& key,
                                      const std::string& defaultText) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return defaultValue(defaultText);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return lookupProfileText(text, section, key, defaultText);
}

} // namespace qv
