#pragma once
// KILLTASK on Linux: ends every process whose image name matches, and all
// their descendants, with SIGKILL (what a forced tree kill does), found by
// walking /proc.
//
// The configured name is a Windows image name ("KarnaHostSvc.exe"). A
// process matches when, compared without regard to letter case,
//   - the file name of its executable (/proc/PID/exe) equals the name or the
//     name without its ".exe", or
//   - its command name (/proc/PID/comm, which the kernel cuts to 15
//     characters) equals the first 15 characters of either; this also finds
//     a Windows service run under Wine, whose executable is the loader.
// The program itself and process 1 are never ended. Fire and forget: a
// process that may not be signalled (another user's) is left alone.
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/process_control.h"

namespace qv {

// Whether a process with this command name and executable file name
// (empty when unreadable) carries the image name.
bool processMatchesImage(const std::string& imageName, const std::string& command, const std::string& executable);

class ProcProcessControl : public ProcessControl {
public:
    using Signal = std::function<int(pid_t pid, int signal)>;
    // signal: how a process is ended; kill(2) by default.
    explicit ProcProcessControl(std::filesystem::path procRoot = "/proc", Signal signal = {});

    void endProcessTree(const std::string& imageName) override;

    // The matching processes and their descendants, each tree parents first.
    std::vector<pid_t> processTree(const std::string& imageName) const;

private:
    std::filesystem::path procRoot_;
    Signal signal_;
};

} // namespace qv
