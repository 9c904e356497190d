#include "platform/linux/hidraw_bus.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/linux/hid_report_descriptor.h"
#include "platform/linux/sysfs_files.h"

namespace qv {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kNodePrefix = "hidraw";
constexpr std::string_view kCollectionMark = "&col";

bool isHidrawNodeName(std::string_view name) {
    if (name.size() <= kNodePrefix.size() || name.substr(0, kNodePrefix.size()) != kNodePrefix) return false;
    for (const char c : name.substr(kNodePrefix.size())) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// "hidraw3" -> (hidraw3, 0, no mark); "hidraw3&col02" -> (hidraw3, 1, mark).
struct ParsedPath {
    std::string node;
    unsigned collection = 0;
    bool marked = false;
};

std::optional<ParsedPath> parseInterfacePath(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    ParsedPath parsed;
    const std::size_t mark = name.find(kCollectionMark);
    parsed.node = name.substr(0, mark);
    if (!isHidrawNodeName(parsed.node)) return std::nullopt;
    if (mark == std::string::npos) return parsed;
    const std::string digits = name.substr(mark + kCollectionMark.size());
    if (digits.empty() || digits.size() > 4) return std::nullopt;
    unsigned number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number == 0) return std::nullopt;
    parsed.collection = number - 1;
    parsed.marked = true;
    return parsed;
}

ReportDescriptorLayout readLayout(const fs::path& hidDevice) {
    const sysfs::ReadResult read = sysfs::readFile(hidDevice / "report_descriptor");
    if (!read.ok()) {
        ReportDescriptorLayout failed;
        failed.error = ReportDescriptorError::TruncatedItem;
        return failed;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(read.bytes.data());
    return parseReportDescriptor(std::span<const std::uint8_t>(bytes, read.bytes.size()));
}

// A node whose descriptor cannot be read or parsed is still one interface;
// it simply matches no collection.
unsigned interfaceCount(const ReportDescriptorLayout& layout) {
    return layout.ok() && !layout.collections.empty() ? static_cast<unsigned>(layout.collections.size()) : 1;
}

// Vendor, product and version: from the USB device above the HID device
// (version = bcdDevice, as the HID class driver reports it), or for HID
// devices on other buses from the HID device's own HID_ID (version 0).
std::optional<HidAttributes> readAttributes(const fs::path& hidDevice, const fs::path& devicesRoot) {
    if (const auto usb = sysfs::usbDeviceAbove(hidDevice, devicesRoot)) {
        const sysfs::UsbIdsRead read = sysfs::readUsbIds(*usb);
        if (!read.ids) return std::nullopt;
        return HidAttributes{read.ids->vendorId, read.ids->productId, read.ids->revision};
    }
    const sysfs::ReadResult uevent = sysfs::readFile(hidDevice / "uevent");
    if (!uevent.ok()) return std::nullopt;
    // HID_ID=0003:00001C7A:00005C50 (bus, vendor, product)
    const auto id = sysfs::ueventValue(uevent.bytes, "HID_ID");
    if (!id) return std::nullopt;
    const std::size_t first = id->find(':');
    const std::size_t second = first == std::string::npos ? first : id->find(':', first + 1);
    if (second == std::string::npos) return std::nullopt;
    const auto vendor = sysfs::parseHex(std::string_view(*id).substr(first + 1, second - first - 1));
    const auto product = sysfs::parseHex(std::string_view(*id).substr(second + 1));
    if (!vendor || !product) return std::nullopt;
    return HidAttributes{static_cast<std::uint16_t>(*vendor), static_cast<std::uint16_t>(*product), 0};
}

bool isPermissionError(int error) { return error == EACCES || error == EPERM; }

// Whether the node appeared a moment ago (its modification time is its
// creation time: nothing writes to a device node's inode).
bool isFreshNode(const fs::path& node, std::chrono::seconds freshFor) {
    struct stat status {};
    if (::stat(node.c_str(), &status) != 0) return false;
    const auto created = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(status.st_mtim.tv_sec) + std::chrono::nanoseconds(status.st_mtim.tv_nsec)));
    return std::chrono::system_clock::now() - created < freshFor;
}

int ioctlResult(int result) { return result < 0 ? -errno : result; }

} // namespace

int KernelHidrawCalls::openNode(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    return ioctlResult(fd);
}

void KernelHidrawCalls::closeNode(int fd) { ::close(fd); }

int KernelHidrawCalls::setFeature(int fd, std::uint8_t* data, std::size_t size) {
    int result;
    do {
        result = ::ioctl(fd, HIDIOCSFEATURE(size), data);
    } while (result < 0 && errno == EINTR);
    return ioctlResult(result);
}

int KernelHidrawCalls::getFeature(int fd, std::uint8_t* data, std::size_t size) {
    int result;
    do {
        result = ::ioctl(fd, HIDIOCGFEATURE(size), data);
    } while (result < 0 && errno == EINTR);
    return ioctlResult(result);
}

HidrawBus::HidrawBus(HidrawRoots roots, std::unique_ptr<HidrawCalls> calls, Sleep sleep)
    : roots_(std::move(roots)),
      calls_(calls ? std::move(calls) : std::make_unique<KernelHidrawCalls>()),
      sleep_(std::move(sleep)) {}

HidrawBus::~HidrawBus() {
    for (const auto& [handle, interface] : open_) calls_->closeNode(interface.fd);
}

std::vector<HidrawInterface> HidrawBus::interfaces() const {
    std::vector<HidrawInterface> list;
    int error = 0;
    for (const std::string& node : sysfs::sortedEntries(roots_.sys / "class" / "hidraw", error)) {
        if (!isHidrawNodeName(node)) continue;
        const unsigned count = collectionCountOf(node);
        for (unsigned collection = 0; collection < count; ++collection) list.push_back({node, collection, count});
    }
    return list;
}

std::string HidrawBus::pathOf(const HidrawInterface& interface) const {
    std::string path = (roots_.dev / interface.node).string();
    if (interface.collectionCount > 1) {
        char mark[16];
        std::snprintf(mark, sizeof mark, "%02u", interface.collection + 1);
        path += std::string(kCollectionMark) + mark;
    }
    return path;
}

unsigned HidrawBus::collectionCountOf(const std::string& node) const {
    return interfaceCount(readLayout(roots_.sys / "class" / "hidraw" / node / "device"));
}

std::optional<std::string> HidrawBus::interfacePath(unsigned index) {
    const auto list = interfaces();
    if (index >= list.size()) return std::nullopt;
    return pathOf(list[index]);
}

int HidrawBus::openNodeWithRetry(const fs::path& node) {
    // Read and write where allowed; feature reports work on a node opened
    // either way, so a node that grants only one of them is still usable.
    constexpr int kModes[] = {O_RDWR, O_RDONLY, O_WRONLY};
    for (unsigned attempt = 0;; ++attempt) {
        int error = 0;
        for (const int mode : kModes) {
            const int fd = calls_->openNode(node.string(), mode | O_CLOEXEC);
            if (fd >= 0) return fd;
            error = -fd;
            if (!isPermissionError(error)) return fd;
        }
        if (attempt >= kOpenRetries || !isFreshNode(node, kFreshNode)) return -error;
        if (sleep_) sleep_(kOpenRetryPauseMs);
    }
}

HidHandle HidrawBus::open(const std::string& path) {
    const auto parsed = parseInterfacePath(path);
    if (!parsed) return kNoHandle;
    const fs::path hidDevice = roots_.sys / "class" / "hidraw" / parsed->node / "device";
    const ReportDescriptorLayout layout = readLayout(hidDevice);
    const unsigned count = interfaceCount(layout);
    // The path must still name an interface of the node as it is now.
    if (parsed->collection >= count || parsed->marked != (count > 1)) return kNoHandle;

    const int fd = openNodeWithRetry(roots_.dev / parsed->node);
    if (fd < 0) return kNoHandle;
    OpenInterface interface;
    interface.fd = fd;
    if (layout.ok() && parsed->collection < layout.collections.size()) {
        const HidTopLevelCollection& collection = layout.collections[parsed->collection];
        interface.caps = HidCollectionCaps{collection.usagePage, collection.usage};
    }
    interface.attributes = readAttributes(hidDevice, roots_.sys / "devices");
    const HidHandle handle = nextHandle_++;
    open_.emplace(handle, std::move(interface));
    return handle;
}

void HidrawBus::close(HidHandle handle) {
    const auto it = open_.find(handle);
    if (it == open_.end()) return;
    calls_->closeNode(it->second.fd);
    open_.erase(it);
}

HidrawBus::OpenInterface* HidrawBus::find(HidHandle handle) {
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : &it->second;
}

std::optional<HidCollectionCaps> HidrawBus::collectionCaps(HidHandle handle) {
    const OpenInterface* interface = find(handle);
    return interface ? interface->caps : std::nullopt;
}

std::optional<HidAttributes> HidrawBus::attributes(HidHandle handle) {
    const OpenInterface* interface = find(handle);
    return interface ? interface->attributes : std::nullopt;
}

// One feature ioctl on the handle's node; the buffer keeps the port's
// layout both ways (byte 0 the report id).
bool HidrawBus::exchange(HidHandle handle, FeatureReport& buffer, FeatureCall call, std::uint32_t& errorCode) {
    const OpenInterface* interface = find(handle);
    if (!interface) {
        errorCode = EBADF;
        return false;
    }
    const int result = (calls_.get()->*call)(interface->fd, buffer.data(), buffer.size());
    if (result < 0) {
        errorCode = static_cast<std::uint32_t>(-result);
        return false;
    }
    return true;
}

bool HidrawBus::setFeature(HidHandle handle, const FeatureReport& report, std::uint32_t& errorCode) {
    FeatureReport buffer = report;
    return exchange(handle, buffer, &HidrawCalls::setFeature, errorCode);
}

bool HidrawBus::getFeature(HidHandle handle, FeatureReport& report, std::uint32_t& errorCode) {
    // Byte 0 names the report to fetch; the kernel leaves the id there. A
    // failed Get leaves the caller's buffer as it was.
    FeatureReport buffer = report;
    if (!exchange(handle, buffer, &HidrawCalls::getFeature, errorCode)) return false;
    report = buffer;
    return true;
}

} // namespace qv
