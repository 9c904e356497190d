#pragma once
// The small Windows services the updater uses: the registry value FWVer, the
// shell (to end a background service), the power requests, the profile
// service for TAVO.ini, the module's own path and the local time, and the
// directory search for update files.
#include "platform/directory_listing.h"
#include "platform/environment.h"
#include "platform/keep_awake.h"
#include "platform/process_control.h"
#include "platform/profile_source.h"
#include "platform/system_store.h"

namespace qv {

// HKEY_LOCAL_MACHINE\SOFTWARE\VOR\TAVO, value "FWVer" (REG_SZ).
class RegistrySystemStore : public SystemStore {
public:
    bool writeFirmwareVersion(const std::string& version, std::string& error) override;
};

// Runs the system's taskkill through the shell, hidden, and does not wait.
class ShellProcessControl : public ProcessControl {
public:
    void endProcessTree(const std::string& imageName) override;
};

// SetThreadExecutionState: display and system stay on while the program runs.
class ExecutionStateKeepAwake : public KeepAwake {
public:
    void request() override;
    void release() override;
};

// GetPrivateProfileStringA with a 2048-byte result buffer. Configuration
// files already deployed rely on the system's own reading of them.
class PrivateProfileSource : public ProfileSource {
public:
    std::string readString(const std::string& path, const std::string& section, const std::string& key,
                           const std::string& defaultText) override;
};

// The folder of the running module (GetModuleFileNameA) and GetLocalTime.
class ModuleEnvironment : public Environment {
public:
    // fallbackPath: the program's path as started, used when the system
    // cannot name the module.
    explicit ModuleEnvironment(std::string fallbackPath) : fallbackPath_(std::move(fallbackPath)) {}
    std::string executableFolder() override;
    LocalTime localTime() override;

private:
    std::string fallbackPath_;
};

// FindFirstFileA / FindNextFileA on "<folder>*.bin".
class FindFileDirectoryListing : public DirectoryListing {
public:
    std::vector<DirectoryEntry> listBinFiles(const std::string& folder) override;
};

} // namespace qv
