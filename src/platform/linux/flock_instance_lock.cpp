#include "platform/linux/flock_instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qv {

FlockInstanceLock::~FlockInstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

InstanceLock::Result FlockInstanceLock::take() {
    if (fd_ >= 0) return Result::Taken;
    for (const std::string& path : candidates_) {
        // Read-only is enough for flock, and opens a file another user made.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) continue;
        ::fchmod(fd, 0666);  // every user of the station shares it; refused unless ours, which is fine
        int result;
        do {
            result = ::flock(fd, LOCK_EX | LOCK_NB);
        } while (result != 0 && errno == EINTR);
        if (result == 0) {
            fd_ = fd;
            where_ = path;
            return Result::Taken;
        }
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            where_ = path;
            return Result::HeldByAnother;
        }
    }
    return Result::Unavailable;
}

} // namespace qv
