#pragma once
// Keep-awake on Linux: a systemd-logind inhibitor lock on idle and sleep,
// held by a child process ("systemd-inhibit ... cat") for as long as the
// program runs. The child's standard input is a pipe from this process;
// closing it at release, or this process ending in any way, ends cat, and
// with it systemd-inhibit and the lock, so no lock outlives the program.
// Where there is no systemd-inhibit or no logind, the child fails on its
// own and nothing else happens.
#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/keep_awake.h"

namespace qv {

std::vector<std::string> defaultInhibitorCommand();

class InhibitorKeepAwake : public KeepAwake {
public:
    // command: the program and arguments that hold the lock while their
    // standard input stays open.
    explicit InhibitorKeepAwake(std::vector<std::string> command = defaultInhibitorCommand());
    ~InhibitorKeepAwake() override;

    void request() override;
    void release() override;

    // The child holding the lock; 0 when none was started.
    pid_t holder() const { return holder_; }

private:
    std::vector<std::string> command_;
    pid_t holder_ = 0;
    int holderInput_ = -1;  // write end of the child's standard input
};

} // namespace qv
