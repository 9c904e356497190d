#include "app/version_number.h"

namespace qv {

namespace {
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}
} // namespace

std::optional<VersionNumber> VersionNumber::parse(std::string_view text) {
    text = trimBlanks(text);
    VersionNumber number;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        number.negative_ = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
    if (whole.size() + fraction.size() == 0) return std::nullopt;
    for (char c : whole) {
        if (!isDigit(c)) return std::nullopt;
    }
    for (char c : fraction) {
        if (!isDigit(c)) return std::nullopt;
    }
    const std::size_t firstSignificant = whole.find_first_not_of('0');
    if (firstSignificant != std::string_view::npos) number.whole_ = std::string(whole.substr(firstSignificant));
    const std::size_t lastSignificant = fraction.find_last_not_of('0');
    if (lastSignificant != std::string_view::npos) number.fraction_ = std::string(fraction.substr(0, lastSignificant + 1));
    if (number.whole_.empty() && number.fraction_.empty()) number.negative_ = false;  // -0 is 0
    return number;
}

int VersionNumber::compareMagnitude(const VersionNumber& other) const {
    if (whole_.size() != other.whole_.size()) return whole_.size() < other.whole_.size() ? -1 : 1;
    if (const int c = whole_.compare(other.whole_); c != 0) return c < 0 ? -1 : 1;
    // Fractions without trailing zeros compare as plain digit strings:
    // "1" < "15" < "9" is 0.1 < 0.15 < 0.9.
    if (const int c = fraction_.compare(other.fraction_); c != 0) return c < 0 ? -1 : 1;
    return 0;
}

int VersionNumber::compare(const VersionNumber& other) const {
    if (negative_ != other.negative_) return negative_ ? -1 : 1;
    const int magnitude = compareMagnitude(other);
    return negative_ ? -magnitude : magnitude;
}

} // namespace qv
