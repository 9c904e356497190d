#pragma once
// Our own reader of profile (ini) files, following the rules the
// configuration relies on:
// - "[name]" opens a section; "KEY=value" inside it gives a value;
// - section and key names match without regard to letter case;
// - blanks around names and values are dropped, and a value enclosed in one
//   pair of single or double quotation marks loses them;
// - a missing file, section or key gives the default text without its
//   trailing spaces; a key present with an empty value gives the empty text;
// - at most 2047 characters of a value are seen;
// - the first matching section and the first matching key in it win;
// - lines end with CR LF, LF or a CR alone, and a UTF-8 signature at the start
//   of the file is skipped.
#include <string>

#include "platform/profile_source.h"

namespace qv {

class ProfileReader : public ProfileSource {
public:
    std::string readString(const std::string& path, const std::string& section, const std::string& key,
                           const std::string& defaultText) override;
};

// The same lookup on a text already in memory (the fuzzer and tests use it).
std::string lookupProfileText(const std::string& fileText, const std::string& section, const std::string& key,
                              const std::string& defaultText);

inline constexpr std::size_t kProfileValueLimit = 2047;

} // namespace qv
