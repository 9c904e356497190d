#pragma once
// A sysfs and /dev tree in a temporary folder, laid out as the kernel lays
// out USB HID devices:
//   sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:1C7A:5C50.0001/hidraw/hidraw1
//   sys/class/hidraw/hidraw1 -> that folder, its "device" -> the HID device
//   sys/bus/usb/devices/1-2 -> the USB device, 1-2:1.0 -> its interface
//   dev/hidraw1
// syncAuthorization() plays the kernel's part after an "authorized" write:
// a de-authorised USB device loses its hidraw nodes, an authorised one gets
// them back.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qv::test {

namespace fs = std::filesystem;

struct FakeHidNode {
    unsigned hidrawNumber = 0;
    std::vector<std::uint8_t> descriptor;
    std::string usbDevice;   // "1-2"; empty for a HID device on another bus
    unsigned interfaceNumber = 0;
    std::uint16_t vendorId = 0;   // for the HID_ID line
    std::uint16_t productId = 0;
};

class FakeDeviceTree {
public:
    FakeDeviceTree();
    ~FakeDeviceTree();

    fs::path sysRoot() const { return root_ / "sys"; }
    fs::path devRoot() const { return root_ / "dev"; }
    fs::path root() const { return root_; }

    // A root hub "usbN" on the PCI controller.
    fs::path addRootHub(unsigned bus);
    // A USB device "1-2" (bus 1, port 2) below root hub usb1; ids written in
    // lower case as the kernel does.
    fs::path addUsbDevice(const std::string& name, std::uint16_t vendorId, std::uint16_t productId,
                          std::uint16_t bcdDevice, unsigned devnum);
    // A HID device with one hidraw node; on the named USB device's interface,
    // or (usbDevice empty) on an I2C controller.
    void addHidNode(const FakeHidNode& node);

    fs::path usbDevicePath(const std::string& name) const;
    fs::path hidrawNode(unsigned number) const { return devRoot() / ("hidraw" + std::to_string(number)); }

    void syncAuthorization();

private:
    void createHidraw(const FakeHidNode& node);
    void removeHidraw(const FakeHidNode& node);

    fs::path root_;
    std::vector<FakeHidNode> nodes_;
};

void writeText(const fs::path& path, const std::string& text);
std::string readText(const fs::path& path);

} // namespace qv::test
