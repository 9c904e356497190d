#pragma once
// HID bus on the kernel's hidraw interface. Interfaces are the nodes of
// /sys/class/hidraw in number order; a node whose report descriptor holds
// several top-level collections presents one interface per collection, in
// descriptor order, as the HID class driver of Windows does. Their paths are
// "/dev/hidrawN", or "/dev/hidrawN&colKK" (KK from 01) on such a node.
//
// Feature reports keep the layout of the HidBus port both ways: byte 0 is
// the report id, 0 when the collection does not number its reports. The
// kernel takes care of id 0: on a Set it drops byte 0 before sending, on a
// Get the data arrive from byte 1 with byte 0 left 0 (and a length one
// larger than the device sent), so the buffer passes through untouched.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/hid_bus.h"

namespace qv {

// The system calls on a hidraw node: the thinnest seam between the bus and
// the kernel, so the bus runs against a fake device tree in tests. Results
// are a file descriptor or a byte count, or -errno on failure.
class HidrawCalls {
public:
    virtual ~HidrawCalls() = default;
    virtual int openNode(const std::string& path, int flags) = 0;
    virtual void closeNode(int fd) = 0;
    // HIDIOCSFEATURE / HIDIOCGFEATURE with the buffer's size.
    virtual int setFeature(int fd, std::uint8_t* data, std::size_t size) = 0;
    virtual int getFeature(int fd, std::uint8_t* data, std::size_t size) = 0;
};

// open(2), close(2) and ioctl(2).
class KernelHidrawCalls : public HidrawCalls {
public:
    int openNode(const std::string& path, int flags) override;
    void closeNode(int fd) override;
    int setFeature(int fd, std::uint8_t* data, std::size_t size) override;
    int getFeature(int fd, std::uint8_t* data, std::size_t size) override;
};

struct HidrawRoots {
    std::filesystem::path sys = "/sys";
    std::filesystem::path dev = "/dev";
};

// One interface as the bus lists it.
struct HidrawInterface {
    std::string node;           // "hidraw3"
    unsigned collection = 0;    // 0-based top-level collection of the node
    unsigned collectionCount = 1;
};

class HidrawBus : public HidBus {
public:
    using Sleep = std::function<void(unsigned milliseconds)>;

    // A node that udev has not yet given its permissions answers EACCES for
    // a moment after it appears: an open refused on a node younger than
    // kFreshNode is retried every kOpenRetryPauseMs, kOpenRetries times.
    static constexpr unsigned kOpenRetries = 10;
    static constexpr unsigned kOpenRetryPauseMs = 25;
    static constexpr std::chrono::seconds kFreshNode{5};

    HidrawBus(HidrawRoots roots, std::unique_ptr<HidrawCalls> calls, Sleep sleep);
    ~HidrawBus() override;

    std::optional<std::string> interfacePath(unsigned index) override;
    HidHandle open(const std::string& path) override;
    void close(HidHandle handle) override;
    std::optional<HidCollectionCaps> collectionCaps(HidHandle handle) override;
    std::optional<HidAttributes> attributes(HidHandle handle) override;
    bool setFeature(HidHandle handle, const FeatureReport& report, std::uint32_t& errorCode) override;
    bool getFeature(HidHandle handle, FeatureReport& report, std::uint32_t& errorCode) override;

    // The interfaces present now, in index order.
    std::vector<HidrawInterface> interfaces() const;
    std::string pathOf(const HidrawInterface& interface) const;

private:
    struct OpenInterface {
        int fd = -1;
        std::optional<HidCollectionCaps> caps;
        std::optional<HidAttributes> attributes;
    };

    using FeatureCall = int (HidrawCalls::*)(int fd, std::uint8_t* data, std::size_t size);

    bool exchange(HidHandle handle, FeatureReport& buffer, FeatureCall call, std::uint32_t& errorCode);
    int openNodeWithRetry(const std::filesystem::path& node);
    unsigned collectionCountOf(const std::string& node) const;
    OpenInterface* find(HidHandle handle);

    HidrawRoots roots_;
    std::unique_ptr<HidrawCalls> calls_;
    Sleep sleep_;
    std::map<HidHandle, OpenInterface> open_;
    HidHandle nextHandle_ = 1;
};

} // namespace qv
