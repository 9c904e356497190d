#pragma once
// The station lock on Linux: an advisory flock on the first lock file that
// can be opened, in the order given (the system-wide one, then one beside
// the executable). The kernel drops the lock when its owner ends, however
// it ends.
#include <string>
#include <vector>

#include "platform/instance_lock.h"

namespace qv {

inline constexpr const char* kSystemLockFile = "/run/lock/quorvex-update.lock";
inline constexpr const char* kLockFileName = "quorvex-update.lock";

class FlockInstanceLock : public InstanceLock {
public:
    explicit FlockInstanceLock(std::vector<std::string> candidates) : candidates_(std::move(candidates)) {}
    ~FlockInstanceLock() override;
    FlockInstanceLock(const FlockInstanceLock&) = delete;
    FlockInstanceLock& operator=(const FlockInstanceLock&) = delete;

    Result take() override;
    std::string where() const override { return where_; }

private:
    std::vector<std::string> candidates_;
    std::string where_;
    int fd_ = -1;
};

} // namespace qv
