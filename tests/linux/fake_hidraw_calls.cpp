#include "fake_hidraw_calls.h"

#include <fcntl.h>

#include <algorithm>

namespace qv::test {

int FakeHidrawCalls::openNode(const std::string& path, int flags) {
    opens.push_back({path, flags});
    if (!std::filesystem::exists(path)) return -ENOENT;
    if (refusedOpens > 0) {
        --refusedOpens;
        return -EACCES;
    }
    if (allowedAccess != -1 && (flags & O_ACCMODE) != allowedAccess) return -EACCES;
    const int fd = nextFd_++;
    openFds[fd] = path;
    return fd;
}

void FakeHidrawCalls::closeNode(int fd) {
    closed.push_back(fd);
    openFds.erase(fd);
    if (onClose) onClose(fd);
}

int FakeHidrawCalls::setFeature(int fd, std::uint8_t* data, std::size_t size) {
    const auto it = openFds.find(fd);
    if (it == openFds.end()) return -EBADF;
    FakeFeatureDevice& target = devices[it->second];
    if (target.failWith != 0) return -target.failWith;
    const std::size_t skip = data[0] == 0 ? 1 : 0;
    target.received.emplace_back(data + skip, data + size);
    return static_cast<int>(size);
}

int FakeHidrawCalls::getFeature(int fd, std::uint8_t* data, std::size_t size) {
    const auto it = openFds.find(fd);
    if (it == openFds.end()) return -EBADF;
    FakeFeatureDevice& target = devices[it->second];
    if (target.failWith != 0) return -target.failWith;
    const auto answer = target.answers.find(data[0]);
    if (answer == target.answers.end()) return -EPIPE;  // the device stalls an unknown report
    if (data[0] == 0) {
        const std::size_t count = std::min(answer->second.size(), size - 1);
        std::copy_n(answer->second.begin(), count, data + 1);
        return static_cast<int>(count + 1);
    }
    const std::size_t count = std::min(answer->second.size(), size);
    std::copy_n(answer->second.begin(), count, data);
    return static_cast<int>(count);
}

} // namespace qv::test
