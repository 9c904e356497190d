#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "fake_device_tree.h"
#include "platform/linux/proc_process_control.h"

extern char** environ;

namespace qv {
namespace {

namespace fs = std::filesystem;

TEST(ProcessMatchesImage, WindowsImageNamesAgainstLinuxProcesses) {
    struct Case {
        const char* command;
        const char* executable;
        bool matches;
    };
    const Case cases[] = {
        {"KarnaHostSvc.ex", "wine64-preloader", true},   // a Windows service under Wine: comm cut to 15
        {"karnahostsvc", "karnahostsvc", true},          // a native build without ".exe", any case
        {"svc", "KarnaHostSvc.exe", true},               // the executable's file name
        {"KARNAHOSTSVC.EX", "", true},                   // executable unreadable (another user's)
        {"KarnaHostSvc.e", "", false},
        {"KarnaHost", "KarnaHost", false},
        {"bash", "bash", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(processMatchesImage("KarnaHostSvc.exe", c.command, c.executable), c.matches)
            << c.command << " / " << c.executable;
    }
    EXPECT_FALSE(processMatchesImage("", "", ""));
    EXPECT_TRUE(processMatchesImage("updater", "updater", ""));
}

class FakeProc {
public:
    FakeProc() : root(tree.root() / "proc") { fs::create_directories(root); }

    void add(pid_t pid, const std::string& command, pid_t parent, const std::string& executable = "") {
        const fs::path folder = root / std::to_string(pid);
        test::writeText(folder / "stat", std::to_string(pid) + " (" + command + ") S " + std::to_string(parent) +
                                             " 100 100 0 -1 4194560 0 0 0 0 0 0 0 0 20 0 1 0\n");
        if (!executable.empty()) fs::create_symlink(executable, folder / "exe");
    }

    test::FakeDeviceTree tree;  // for its temporary folder
    fs::path root;
};

TEST(ProcProcessControl, EndsEveryMatchingTreeParentsFirst) {
    FakeProc proc;
    proc.add(1, "systemd", 0, "/usr/lib/systemd/systemd");
    proc.add(5000100, "KarnaHostSvc.ex", 1, "/usr/bin/wine64-preloader");
    proc.add(5000101, "worker (1)", 5000100);  // a blank and parenthesis in the name
    proc.add(5000102, "helper", 5000101);
    proc.add(5000200, "bash", 1, "/usr/bin/bash");
    proc.add(5000201, "sleep", 5000200);
    proc.add(5000300, "karnahostsvc", 1, "/opt/karna/karnahostsvc (deleted)");
    proc.add(::getpid(), "KarnaHostSvc.ex", 1);  // never the program itself
    test::writeText(proc.root / "self" / "stat", "garbage");
    test::writeText(proc.root / "5000400" / "stat", "5000400 broken");

    std::vector<std::pair<pid_t, int>> signals;
    ProcProcessControl control(proc.root, [&](pid_t pid, int signal) {
        signals.emplace_back(pid, signal);
        return 0;
    });
    control.endProcessTree("KarnaHostSvc.exe");
    const std::vector<std::pair<pid_t, int>> expected = {
        {5000100, SIGKILL}, {5000101, SIGKILL}, {5000102, SIGKILL}, {5000300, SIGKILL}};
    EXPECT_EQ(signals, expected);
}

TEST(ProcProcessControl, NothingMatchesNothingEnds) {
    FakeProc proc;
    proc.add(5000200, "bash", 1);
    int signals = 0;
    ProcProcessControl control(proc.root, [&](pid_t, int) { return ++signals, 0; });
    control.endProcessTree("KarnaHostSvc.exe");
    ProcProcessControl missing(proc.root / "missing", [&](pid_t, int) { return ++signals, 0; });
    missing.endProcessTree("KarnaHostSvc.exe");
    EXPECT_EQ(signals, 0);
}

TEST(ProcProcessControl, EndsARealProcessByItsWindowsName) {
    test::FakeDeviceTree scratch;
    const fs::path image = scratch.root() / "KarnaHostSvc.exe";
    fs::copy_file("/bin/sleep", image);
    fs::permissions(image, fs::perms::owner_all);
    std::string path = image.string();
    std::string seconds = "30";
    char* argv[] = {path.data(), seconds.data(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, path.c_str(), nullptr, nullptr, argv, environ), 0);

    // The child may still be the test binary for a moment before its exec.
    ProcProcessControl control;
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto tree = control.processTree("KarnaHostSvc.exe");
        if (std::find(tree.begin(), tree.end(), child) != tree.end()) break;
        ::usleep(5000);
    }
    control.endProcessTree("KarnaHostSvc.exe");
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
}

} // namespace
} // namespace qv
