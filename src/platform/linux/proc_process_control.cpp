#include "platform/linux/proc_process_control.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <system_error>

#include "platform/linux/sysfs_files.h"

namespace qv {

namespace fs = std::filesystem;

namespace {

// The kernel keeps 15 characters of a command name.
constexpr std::size_t kCommandNameLength = 15;

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

struct ProcessEntry {
    pid_t pid = 0;
    pid_t parent = 0;
    std::string command;
    std::string executable;
};

// /proc/PID/stat: "PID (command) STATE PPID ..."; the command may itself
// hold blanks and parentheses, so it ends at the last ')'.
std::optional<ProcessEntry> readProcess(const fs::path& folder, pid_t pid) {
    const sysfs::ReadResult stat = sysfs::readFile(folder / "stat", 4096);
    if (!stat.ok()) return std::nullopt;
    const std::size_t open = stat.bytes.find('(');
    const std::size_t close = stat.bytes.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
    ProcessEntry entry;
    entry.pid = pid;
    entry.command = stat.bytes.substr(open + 1, close - open - 1);
    // ") S 1234 ..." : state, then the parent's id.
    const std::size_t parentStart = stat.bytes.find_first_of("0123456789", close);
    if (parentStart == std::string::npos) return std::nullopt;
    long parent = 0;
    for (std::size_t i = parentStart; i < stat.bytes.size() && stat.bytes[i] >= '0' && stat.bytes[i] <= '9'; ++i) {
        parent = parent * 10 + (stat.bytes[i] - '0');
        if (parent > 1L << 30) return std::nullopt;
    }
    entry.parent = static_cast<pid_t>(parent);
    std::error_code error;
    std::string executable = fs::read_symlink(folder / "exe", error).filename().string();
    constexpr std::string_view kDeleted = " (deleted)";
    if (executable.size() > kDeleted.size() && executable.ends_with(kDeleted)) {
        executable.resize(executable.size() - kDeleted.size());
    }
    if (!error) entry.executable = executable;
    return entry;
}

std::optional<pid_t> pidOf(const std::string& name) {
    if (name.empty() || name.size() > 9) return std::nullopt;
    pid_t pid = 0;
    for (const char c : name) {
        if (c < '0' || c > '9') return std::nullopt;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

} // namespace

bool processMatchesImage(const std::string& imageName, const std::string& command, const std::string& executable) {
    if (imageName.empty()) return false;
    std::vector<std::string> names{lowered(imageName)};
    if (names[0].size() > 4 && names[0].ends_with(".exe")) names.push_back(names[0].substr(0, names[0].size() - 4));
    const std::string exe = lowered(executable);
    const std::string comm = lowered(command);
    return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
        return (!exe.empty() && exe == name) || (!comm.empty() && comm == name.substr(0, kCommandNameLength));
    });
}

ProcProcessControl::ProcProcessControl(fs::path procRoot, Signal signal)
    : procRoot_(std::move(procRoot)), signal_(std::move(signal)) {
    if (!signal_) signal_ = [](pid_t pid, int number) { return ::kill(pid, number); };
}

std::vector<pid_t> ProcProcessControl::processTree(const std::string& imageName) const {
    int error = 0;
    std::vector<ProcessEntry> processes;
    for (const std::string& name : sysfs::sortedEntries(procRoot_, error)) {
        const auto pid = pidOf(name);
        if (!pid) continue;
        if (auto entry = readProcess(procRoot_ / name, *pid)) processes.push_back(std::move(*entry));
    }
    std::multimap<pid_t, pid_t> children;
    for (const auto& process : processes) children.emplace(process.parent, process.pid);

    const pid_t self = ::getpid();
    std::vector<pid_t> tree;
    std::set<pid_t> seen;
    for (const auto& process : processes) {
        if (seen.count(process.pid) || !processMatchesImage(imageName, process.command, process.executable)) continue;
        // Breadth first from the matching process: parents before children.
        std::vector<pid_t> pending{process.pid};
        for (std::size_t next = 0; next < pending.size(); ++next) {
            const pid_t pid = pending[next];
            if (!seen.insert(pid).second) continue;
            if (pid != self && pid > 1) tree.push_back(pid);
            const auto [first, last] = children.equal_range(pid);
            for (auto it = first; it != last; ++it) pending.push_back(it->second);
        }
    }
    return tree;
}

void ProcProcessControl::endProcessTree(const std::string& imageName) {
    for (const pid_t pid : processTree(imageName)) signal_(pid, SIGKILL);
}

} // namespace qv
