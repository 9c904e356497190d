#pragma once
// The number part of a firmware version text ("1.10" in "ABC1.10"): a
// decimal number with an optional fraction, compared by value, so 1.10 is
// lower than 1.9 and 2.0 equals 2. The decimal separator is '.', whatever
// the machine's regional settings say: the texts come from firmware images
// built elsewhere, not from the operator.
//
// Accepted: optional blanks around the number, an optional '+' or '-', then
// digits with at most one '.', at least one digit in all ("1.", ".5", "007").
// Anything else (an exponent, a second '.', letters, the empty text) is not
// a number. Numbers of any length compare exactly; no floating point.
#include <optional>
#include <string>
#include <string_view>

namespace qv {

class VersionNumber {
public:
    static std::optional<VersionNumber> parse(std::string_view text);

    // <0, 0 or >0 as this number is lower than, equal to or greater than other.
    int compare(const VersionNumber& other) const;
    bool operator>(const VersionNumber& other) const { return compare(other) > 0; }
    bool operator==(const VersionNumber& other) const { return compare(other) == 0; }

private:
    int compareMagnitude(const VersionNumber& other) const;

    bool negative_ = false;
    std::string whole_;     // digits without leading zeros ("" for 0)
    std::string fraction_;  // digits without trailing zeros ("" for none)
};

} // namespace qv
