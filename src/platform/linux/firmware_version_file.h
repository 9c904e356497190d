#pragma once
// FWVer on Linux: a system-wide file holding the version text alone (no
// line end), by default /var/lib/quorvex/FWVer. Writing it needs root or a
// folder made writable for the operator; a refusal comes back as a text
// that says which file and why.
#include <string>

#include "platform/system_store.h"

namespace qv {

inline constexpr const char* kFirmwareVersionFile = "/var/lib/quorvex/FWVer";

class FirmwareVersionFile : public SystemStore {
public:
    explicit FirmwareVersionFile(std::string path = kFirmwareVersionFile) : path_(std::move(path)) {}
    bool writeFirmwareVersion(const std::string& version, std::string& error) override;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace qv
