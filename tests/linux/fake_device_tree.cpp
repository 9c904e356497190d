#include "fake_device_tree.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qv::test {

namespace {
const char* kController = "devices/pci0000:00/0000:00:14.0";

void link(const fs::path& target, const fs::path& at) {
    fs::create_directories(at.parent_path());
    fs::create_directory_symlink(fs::relative(target, at.parent_path()), at);
}

std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFF);
    return text;
}

std::string hidName(const FakeHidNode& node) {
    char text[40];
    std::snprintf(text, sizeof text, "%04X:%04X:%04X.%04X", node.usbDevice.empty() ? 0x18 : 0x03, node.vendorId,
                  node.productId, node.hidrawNumber + 1);
    return text;
}
} // namespace

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string readText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

FakeDeviceTree::FakeDeviceTree() {
    char pattern[] = "/tmp/quorvex-devtree-XXXXXX";
    if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
    root_ = pattern;
    fs::create_directories(sysRoot() / "class" / "hidraw");
    fs::create_directories(sysRoot() / "bus" / "usb" / "devices");
    fs::create_directories(devRoot());
}

FakeDeviceTree::~FakeDeviceTree() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

fs::path FakeDeviceTree::addRootHub(unsigned bus) {
    const std::string name = "usb" + std::to_string(bus);
    const fs::path hub = sysRoot() / kController / name;
    writeText(hub / "idVendor", "1d6b\n");
    writeText(hub / "idProduct", "0002\n");
    writeText(hub / "bcdDevice", "0606\n");
    writeText(hub / "busnum", std::to_string(bus) + "\n");
    writeText(hub / "devnum", "1\n");
    writeText(hub / "authorized", "1\n");
    link(hub, sysRoot() / "bus" / "usb" / "devices" / name);
    return hub;
}

fs::path FakeDeviceTree::usbDevicePath(const std::string& name) const {
    return sysRoot() / kController / "usb1" / name;
}

fs::path FakeDeviceTree::addUsbDevice(const std::string& name, std::uint16_t vendorId, std::uint16_t productId,
                                      std::uint16_t bcdDevice, unsigned devnum) {
    const fs::path device = usbDevicePath(name);
    writeText(device / "idVendor", hex4(vendorId) + "\n");
    writeText(device / "idProduct", hex4(productId) + "\n");
    writeText(device / "bcdDevice", hex4(bcdDevice) + "\n");
    writeText(device / "busnum", "1\n");
    writeText(device / "devnum", std::to_string(devnum) + "\n");
    writeText(device / "authorized", "1\n");
    link(device, sysRoot() / "bus" / "usb" / "devices" / name);
    return device;
}

void FakeDeviceTree::addHidNode(const FakeHidNode& node) {
    nodes_.push_back(node);
    if (!node.usbDevice.empty()) {
        const std::string interfaceName = node.usbDevice + ":1." + std::to_string(node.interfaceNumber);
        const fs::path interface = usbDevicePath(node.usbDevice) / interfaceName;
        writeText(interface / "bInterfaceNumber", hex4(node.interfaceNumber).substr(2) + "\n");
        link(interface, sysRoot() / "bus" / "usb" / "devices" / interfaceName);
    }
    createHidraw(node);
}

void FakeDeviceTree::createHidraw(const FakeHidNode& node) {
    fs::path hid;
    if (node.usbDevice.empty()) {
        hid = sysRoot() / "devices/platform/i2c-0/i2c-ELAN0001:00" / hidName(node);
    } else {
        hid = usbDevicePath(node.usbDevice) / (node.usbDevice + ":1." + std::to_string(node.interfaceNumber)) / hidName(node);
    }
    char hidId[40];
    std::snprintf(hidId, sizeof hidId, "%04X:%08X:%08X", node.usbDevice.empty() ? 0x18 : 0x03, node.vendorId,
                  node.productId);
    writeText(hid / "uevent", "DRIVER=hid-generic\nHID_ID=" + std::string(hidId) + "\nHID_NAME=fake\n");
    writeText(hid / "report_descriptor", std::string(node.descriptor.begin(), node.descriptor.end()));
    const std::string name = "hidraw" + std::to_string(node.hidrawNumber);
    const fs::path classDevice = hid / "hidraw" / name;
    writeText(classDevice / "dev", "242:" + std::to_string(node.hidrawNumber) + "\n");
    link(hid, classDevice / "device");
    link(classDevice, sysRoot() / "class" / "hidraw" / name);
    writeText(hidrawNode(node.hidrawNumber), "");
}

void FakeDeviceTree::removeHidraw(const FakeHidNode& node) {
    const std::string name = "hidraw" + std::to_string(node.hidrawNumber);
    const fs::path classLink = sysRoot() / "class" / "hidraw" / name;
    std::error_code ignored;
    const fs::path classDevice = fs::canonical(classLink, ignored);
    if (!ignored) fs::remove_all(classDevice.parent_path().parent_path(), ignored);  // the HID device
    fs::remove(classLink, ignored);
    fs::remove(hidrawNode(node.hidrawNumber), ignored);
}

void FakeDeviceTree::syncAuthorization() {
    for (const FakeHidNode& node : nodes_) {
        if (node.usbDevice.empty()) continue;
        const std::string authorized = readText(usbDevicePath(node.usbDevice) / "authorized");
        const bool present = fs::exists(sysRoot() / "class" / "hidraw" / ("hidraw" + std::to_string(node.hidrawNumber)));
        if (!authorized.empty() && authorized[0] == '0' && present) removeHidraw(node);
        if (!authorized.empty() && authorized[0] == '1' && !present) createHidraw(node);
    }
}

} // namespace qv::test
