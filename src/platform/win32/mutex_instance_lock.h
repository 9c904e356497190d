#pragma once
// The station lock on Windows: a named mutex, tried under each name in
// order ("Global\QuorvexUpdate" for every session of the machine, then
// "Local\QuorvexUpdate" where the global namespace is refused). The system
// releases it when its owner ends, however it ends.
#include <string>
#include <vector>

#include "platform/instance_lock.h"

namespace qv {

class MutexInstanceLock : public InstanceLock {
public:
    explicit MutexInstanceLock(std::vector<std::string> names) : names_(std::move(names)) {}
    ~MutexInstanceLock() override;
    MutexInstanceLock(const MutexInstanceLock&) = delete;
    MutexInstanceLock& operator=(const MutexInstanceLock&) = delete;

    Result take() override;
    std::string where() const override { return where_; }

private:
    std::vector<std::string> names_;
    std::string where_;
    void* mutex_ = nullptr;
};

} // namespace qv
