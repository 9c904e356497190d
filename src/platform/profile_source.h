#pragma once
// Port: reads one key of a profile (ini) file with a default text. Windows
// uses the system's own profile service; the other platforms use ours.
#include <string>

namespace qv {

class ProfileSource {
public:
    virtual ~ProfileSource() = default;
    // The value of [section] key in the file at path, at most 2047 characters;
    // defaultText when the file, the section or the key is missing.
    virtual std::string readString(const std::string& path, const std::string& section,
                                   const std::string& key, const std::string& defaultText) = 0;
};

} // namespace qv
