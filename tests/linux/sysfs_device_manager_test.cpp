#include <gtest/gtest.h>

#include "fake_device_tree.h"
#include "fake_hidraw_calls.h"
#include "platform/linux/hidraw_bus.h"
#include "platform/linux/sysfs_device_manager.h"
#include "test_report_descriptors.h"

namespace qv {
namespace {

using test::FakeDeviceTree;
using test::readText;

using namespace std::string_literals;

class SysfsDeviceManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.addRootHub(1);
        tree.addUsbDevice("1-1", 0x046D, 0xC31C, 0x6400, 2);
        tree.addUsbDevice("1-2", 0x1C7A, 0x5C50, 0x0102, 3);
        tree.addHidNode({0, test::kBootKeyboard, "1-1", 0, 0x046D, 0xC31C});
        tree.addHidNode({1, test::kHubNumbered, "1-2", 0, 0x1C7A, 0x5C50});
        tree.addHidNode({2, test::kHubLoader, "1-2", 1, 0x1C7A, 0x5C50});
    }

    // The node of the first listed device carrying the hardware id.
    std::optional<std::uint64_t> nodeOf(const PresentDeviceList& list, const std::string& prefix) {
        for (const auto& device : list.devices) {
            if (device.hardwareIds.rfind(prefix, 0) == 0) return device.node;
        }
        return std::nullopt;
    }

    FakeDeviceTree tree;
    SysfsDeviceManager manager{tree.sysRoot()};
};

TEST(UsbHardwareIds, WindowsFormUppercaseFourDigits) {
    EXPECT_EQ(usbHardwareIds(0x1c7a, 0x5c50, 0x0102), "USB\\VID_1C7A&PID_5C50&REV_0102\0USB\\VID_1C7A&PID_5C50\0\0"s);
    EXPECT_EQ(usbHardwareIds(0x0001, 0x000a, 0xFFFF), "USB\\VID_0001&PID_000A&REV_FFFF\0USB\\VID_0001&PID_000A\0\0"s);
}

TEST_F(SysfsDeviceManagerTest, ListsUsbDevicesButNotTheirInterfaces) {
    const PresentDeviceList list = manager.presentDevices();
    ASSERT_TRUE(list.opened);
    EXPECT_FALSE(list.enumerationFailed);
    ASSERT_EQ(list.devices.size(), 3u);  // 1-1, 1-2, usb1
    EXPECT_EQ(list.devices[0].hardwareIds, "USB\\VID_046D&PID_C31C&REV_6400\0USB\\VID_046D&PID_C31C\0\0"s);
    EXPECT_EQ(list.devices[1].hardwareIds, "USB\\VID_1C7A&PID_5C50&REV_0102\0USB\\VID_1C7A&PID_5C50\0\0"s);
    EXPECT_EQ(list.devices[2].hardwareIds, "USB\\VID_1D6B&PID_0002&REV_0606\0USB\\VID_1D6B&PID_0002\0\0"s);
    for (const auto& device : list.devices) EXPECT_EQ(device.status, PresentDevice::IdStatus::Ok);
    EXPECT_EQ(manager.listed().at(list.devices[1].node), tree.usbDevicePath("1-2"));
}

TEST_F(SysfsDeviceManagerTest, UnreadableIdsAreSkippedOrFail) {
    tree.addUsbDevice("1-3", 0x1111, 0x2222, 0x0100, 4);
    tree.addUsbDevice("1-4", 0x3333, 0x4444, 0x0100, 5);
    test::writeText(tree.usbDevicePath("1-3") / "idProduct", "zz\n");  // no usable id
    std::filesystem::remove(tree.usbDevicePath("1-4") / "bcdDevice");
    std::filesystem::create_directory(tree.usbDevicePath("1-4") / "bcdDevice");  // reading fails (EISDIR)
    const PresentDeviceList list = manager.presentDevices();
    ASSERT_EQ(list.devices.size(), 5u);
    EXPECT_EQ(list.devices[2].status, PresentDevice::IdStatus::NoIds);
    EXPECT_EQ(list.devices[3].status, PresentDevice::IdStatus::Failed);
}

TEST_F(SysfsDeviceManagerTest, NoUsbSubsystem) {
    SysfsDeviceManager bare{tree.root() / "nothing"};
    EXPECT_FALSE(bare.presentDevices().opened);
    const RescanStatus status = bare.rescan();
    EXPECT_FALSE(status.connected);
}

TEST_F(SysfsDeviceManagerTest, RemovalAndRescanLeaveTheDeviceUsableWithoutReplug) {
    HidrawBus bus({tree.sysRoot(), tree.devRoot()}, std::make_unique<test::FakeHidrawCalls>(), {});
    ASSERT_EQ(bus.interfaces().size(), 3u);

    const auto hub = nodeOf(manager.presentDevices(), "USB\\VID_1C7A&PID_5C50");
    ASSERT_TRUE(hub.has_value());
    ASSERT_TRUE(manager.removeDevice(*hub));
    EXPECT_EQ(readText(tree.usbDevicePath("1-2") / "authorized").substr(0, 1), "0");
    tree.syncAuthorization();

    // Removed: the hub's two HID interfaces are gone and it is not present.
    EXPECT_EQ(bus.interfaces().size(), 1u);
    EXPECT_FALSE(nodeOf(manager.presentDevices(), "USB\\VID_1C7A").has_value());

    const RescanStatus status = manager.rescan();
    EXPECT_TRUE(status.connected);
    EXPECT_TRUE(status.rootLocated);
    EXPECT_TRUE(status.reenumerated);
    EXPECT_EQ(readText(tree.usbDevicePath("1-2") / "authorized").substr(0, 1), "1");
    tree.syncAuthorization();

    const auto interfaces = bus.interfaces();
    ASSERT_EQ(interfaces.size(), 3u);
    const HidHandle handle = bus.open(bus.pathOf(interfaces[1]));
    ASSERT_NE(handle, kNoHandle);
    EXPECT_EQ(bus.collectionCaps(handle)->usagePage, 0xFF5C);
    EXPECT_TRUE(nodeOf(manager.presentDevices(), "USB\\VID_1C7A&PID_5C50&REV_0102").has_value());
}

TEST_F(SysfsDeviceManagerTest, RescanTouchesNoOtherVendorsDevice) {
    // Someone else's de-authorised device stays so.
    test::writeText(tree.usbDevicePath("1-1") / "authorized", "0\n");
    const RescanStatus status = manager.rescan();
    EXPECT_TRUE(status.reenumerated);
    EXPECT_EQ(readText(tree.usbDevicePath("1-1") / "authorized"), "0\n");
}

// An earlier run de-authorised the hub and died before its rescan: a new
// manager, which removed nothing itself, brings it back at start-up and at
// any rescan, and leaves other vendors' devices alone.
TEST_F(SysfsDeviceManagerTest, AHubAnEarlierRunLeftDeauthorisedComesBack) {
    HidrawBus bus({tree.sysRoot(), tree.devRoot()}, std::make_unique<test::FakeHidrawCalls>(), {});
    const auto strand = [&] {
        test::writeText(tree.usbDevicePath("1-2") / "authorized", "0\n");
        test::writeText(tree.usbDevicePath("1-1") / "authorized", "0\n");
        tree.syncAuthorization();
        ASSERT_TRUE(bus.interfaces().empty());
    };
    strand();
    {
        SysfsDeviceManager startUp{tree.sysRoot()};
        EXPECT_EQ(startUp.restoreStranded(), 1u);
        EXPECT_EQ(startUp.restoreStranded(), 0u);  // nothing left to bring back
    }
    EXPECT_EQ(readText(tree.usbDevicePath("1-2") / "authorized").substr(0, 1), "1");
    EXPECT_EQ(readText(tree.usbDevicePath("1-1") / "authorized"), "0\n");
    tree.syncAuthorization();
    EXPECT_EQ(bus.interfaces().size(), 2u);  // the hub's two collections

    test::writeText(tree.usbDevicePath("1-1") / "authorized", "1\n");
    strand();
    SysfsDeviceManager later{tree.sysRoot()};
    EXPECT_TRUE(later.rescan().reenumerated);
    EXPECT_EQ(readText(tree.usbDevicePath("1-2") / "authorized").substr(0, 1), "1");
    EXPECT_EQ(readText(tree.usbDevicePath("1-1") / "authorized"), "0\n");
}

TEST_F(SysfsDeviceManagerTest, DeviceThatLeftTheBusBeforeTheRescanIsNotAnError) {
    const auto hub = nodeOf(manager.presentDevices(), "USB\\VID_1C7A");
    ASSERT_TRUE(manager.removeDevice(*hub));
    std::filesystem::remove_all(tree.usbDevicePath("1-2"));  // the chip restarted as another device
    EXPECT_TRUE(manager.rescan().reenumerated);
}

TEST_F(SysfsDeviceManagerTest, RefusedWritesAreReported) {
    const PresentDeviceList list = manager.presentDevices();
    const auto hub = nodeOf(list, "USB\\VID_1C7A");
    const std::filesystem::path authorized = tree.usbDevicePath("1-2") / "authorized";
    std::filesystem::remove(authorized);
    std::filesystem::create_directory(authorized);  // cannot be written
    EXPECT_FALSE(manager.removeDevice(*hub));
    EXPECT_FALSE(manager.removeDevice(99));  // not a node of the last list

    // A removal that succeeded but whose authorisation is refused at rescan.
    std::filesystem::remove(authorized);
    test::writeText(authorized, "1\n");
    ASSERT_TRUE(manager.removeDevice(*hub));
    std::filesystem::remove(authorized);
    std::filesystem::create_directory(authorized);
    EXPECT_FALSE(manager.rescan().reenumerated);
}

TEST_F(SysfsDeviceManagerTest, RootHubMissingIsReported) {
    std::filesystem::remove(tree.sysRoot() / "bus" / "usb" / "devices" / "usb1");
    const RescanStatus status = manager.rescan();
    EXPECT_TRUE(status.connected);
    EXPECT_FALSE(status.rootLocated);
    EXPECT_TRUE(status.reenumerated);
}

TEST_F(SysfsDeviceManagerTest, EndingTheProgramAuthorisesWhatIsStillRemoved) {
    {
        SysfsDeviceManager shortLived{tree.sysRoot()};
        const auto hub = nodeOf(shortLived.presentDevices(), "USB\\VID_1C7A");
        ASSERT_TRUE(shortLived.removeDevice(*hub));
        EXPECT_EQ(readText(tree.usbDevicePath("1-2") / "authorized").substr(0, 1), "0");
    }
    EXPECT_EQ(readText(tree.usbDevicePath("1-2") / "authorized").substr(0, 1), "1");
}

} // namespace
} // namespace qv
