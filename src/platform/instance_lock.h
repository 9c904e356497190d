#pragma once
// Port: the lock that lets one updater at a time work on a station. It is
// held from the start of a run to the end of the process and dies with its
// owner (a killed updater leaves nothing that blocks the next one).
#include <string>

namespace qv {

class InstanceLock {
public:
    enum class Result {
        Taken,          // this process holds the lock now
        HeldByAnother,  // another updater runs on this station
        Unavailable,    // no place for the lock could be used
    };
    virtual ~InstanceLock() = default;  // releases it
    virtual Result take() = 0;
    // Where the lock lives (a file, a mutex name), for messages.
    virtual std::string where() const = 0;
};

} // namespace qv
