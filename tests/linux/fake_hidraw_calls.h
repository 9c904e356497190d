#pragma once
// The kernel side of hidraw for tests: opens check the node in the fake
// /dev tree and can be refused; feature ioctls reach a fake device and
// treat report id 0 as the kernel's USB HID driver does (a Set sends the
// buffer without byte 0; a Get stores the data from byte 1, leaves byte 0
// at 0 and returns one byte more than the device sent).
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/linux/hidraw_bus.h"

namespace qv::test {

struct FakeFeatureDevice {
    std::vector<std::vector<std::uint8_t>> received;             // bytes on the wire, per Set
    std::map<std::uint8_t, std::vector<std::uint8_t>> answers;   // wire bytes per requested report id
    int failWith = 0;                                            // errno for every feature ioctl
};

class FakeHidrawCalls : public HidrawCalls {
public:
    struct OpenCall {
        std::string path;
        int flags;
    };

    int openNode(const std::string& path, int flags) override;
    void closeNode(int fd) override;
    int setFeature(int fd, std::uint8_t* data, std::size_t size) override;
    int getFeature(int fd, std::uint8_t* data, std::size_t size) override;

    FakeFeatureDevice& device(const std::string& path) { return devices[path]; }

    std::map<std::string, FakeFeatureDevice> devices;  // by node path
    std::vector<OpenCall> opens;
    int refusedOpens = 0;              // the next opens refused with EACCES
    int allowedAccess = -1;            // O_RDONLY / O_WRONLY / O_RDWR only; -1 any
    std::map<int, std::string> openFds;
    std::vector<int> closed;
    std::function<void(int)> onClose;  // outlives the fake, which the bus owns

private:
    int nextFd_ = 3;
};

} // namespace qv::test
