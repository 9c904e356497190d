#include "platform/linux/inhibitor_keep_awake.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace qv {

namespace {
// How long release waits for the holder to leave before ending it.
constexpr auto kHolderExitWait = std::chrono::milliseconds(500);
constexpr auto kHolderPoll = std::chrono::milliseconds(5);
} // namespace

std::vector<std::string> defaultInhibitorCommand() {
    return {"systemd-inhibit", "--what=idle:sleep", "--who=QuorvexUpdate",
            "--why=Updating the sensor hub firmware", "--mode=block", "cat"};
}

InhibitorKeepAwake::InhibitorKeepAwake(std::vector<std::string> command) : command_(std::move(command)) {}

InhibitorKeepAwake::~InhibitorKeepAwake() { release(); }

void InhibitorKeepAwake::request() {
    if (holder_ != 0 || command_.empty()) return;
    int input[2];
    if (::pipe2(input, O_CLOEXEC) != 0) return;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (std::string& part : command_) argv.push_back(part.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    if (spawned != 0) {
        ::close(input[1]);  // no inhibitor on this system: silently without
        return;
    }
    holder_ = child;
    holderInput_ = input[1];
}

void InhibitorKeepAwake::release() {
    if (holder_ == 0) return;
    ::close(holderInput_);
    holderInput_ = -1;
    const auto deadline = std::chrono::steady_clock::now() + kHolderExitWait;
    int status = 0;
    pid_t waited;
    while ((waited = ::waitpid(holder_, &status, WNOHANG)) == 0 || (waited < 0 && errno == EINTR)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(holder_, SIGTERM);
            ::waitpid(holder_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(kHolderPoll);
    }
    holder_ = 0;
}

} // namespace qv
