#pragma once
// Port: the system-wide store where the installed firmware version is kept
// (a registry value on Windows, a file elsewhere).
#include <string>

namespace qv {

class SystemStore {
public:
    virtual ~SystemStore() = default;
    // Writes the FWVer value. On failure returns false and says why in error.
    virtual bool writeFirmwareVersion(const std::string& version, std::string& error) = 0;
};

} // namespace qv
