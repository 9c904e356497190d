#pragma once
// Small helpers for reading the kernel's device tree (sysfs): attribute
// files, hexadecimal ids, uevent keys, and the walk from a HID device up to
// the USB device it belongs to. Errors come back as errno values.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::sysfs {

// Attribute files are small; anything longer is cut here.
inline constexpr std::size_t kMaxAttributeBytes = 64 * 1024;

struct ReadResult {
    std::string bytes;
    int error = 0;  // errno of the failed open or read; 0 on success
    bool ok() const { return error == 0; }
};

ReadResult readFile(const std::filesystem::path& path, std::size_t maxBytes = kMaxAttributeBytes);

// The attribute's text without trailing white space; nullopt when unreadable.
std::optional<std::string> readAttribute(const std::filesystem::path& path);

// Writes the text in one write(); 0 or the errno of the failure.
int writeAttribute(const std::filesystem::path& path, std::string_view text);

// "1c7a" -> 0x1C7A. At most 8 hexadecimal digits, nothing else.
std::optional<std::uint32_t> parseHex(std::string_view text);

// The value of KEY=value in a uevent file's text.
std::optional<std::string> ueventValue(std::string_view uevent, std::string_view key);

// Vendor, product and revision (bcdDevice) of a USB device folder.
struct UsbIds {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t revision = 0;
};

struct UsbIdsRead {
    std::optional<UsbIds> ids;
    int error = 0;  // errno of the first attribute that could not be read
};

UsbIdsRead readUsbIds(const std::filesystem::path& usbDevice);

// The first folder at or above start (inside devicesRoot) that has an
// idVendor attribute: the USB device a HID device hangs under. nullopt for
// HID devices on other buses.
std::optional<std::filesystem::path> usbDeviceAbove(const std::filesystem::path& start,
                                                    const std::filesystem::path& devicesRoot);

// Entry names of a folder sorted with their trailing numbers compared as
// numbers ("hidraw2" before "hidraw10"); error receives the errno when the
// folder cannot be read.
std::vector<std::string> sortedEntries(const std::filesystem::path& folder, int& error);

} // namespace qv::sysfs
