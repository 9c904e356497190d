// The core's device-tree maintenance over the sysfs device manager: the
// lines of the message pane, the hub's revision, and what lands in sysfs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "device/device_tree.h"
#include "fake_device_tree.h"
#include "platform/linux/sysfs_device_manager.h"
#include "session/link_wiring.h"
#include "session/window_model.h"
#include "test_report_descriptors.h"

namespace qv {
namespace {

using ::testing::ElementsAre;
using test::readText;

class DeviceTreeOverSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        tree.addRootHub(1);
        tree.addUsbDevice("1-1", 0x046D, 0xC31C, 0x6400, 2);
        tree.addUsbDevice("1-2", 0x1C7A, 0x5C50, 0x0102, 3);
        tree.addUsbDevice("1-3", 0x1C7A, 0x5C50, 0x0105, 4);
        tree.addHidNode({0, test::kHubUnnumbered, "1-2", 0, 0x1C7A, 0x5C50});
        tree.addHidNode({1, test::kHubUnnumbered, "1-3", 0, 0x1C7A, 0x5C50});
        window.memo1.clear();  // the pane's designed text
    }

    std::string authorized(const char* device) { return readText(tree.usbDevicePath(device) / "authorized").substr(0, 1); }

    test::FakeDeviceTree tree;
    SysfsDeviceManager manager{tree.sysRoot()};
    WindowModel window;
    DeviceTree deviceTree{manager, messagePaneOf(window)};
};

TEST_F(DeviceTreeOverSysfs, RemovesEveryCarrierAndRescanBringsThemBack) {
    deviceTree.RemoveDevicesByHardwareId("USB\\VID_1C7A&PID_5C50");
    EXPECT_THAT(window.memo1.lines(),
                ElementsAre("Found! [USB\\VID_1C7A&PID_5C50] ,and remove it form Device Manager.\n",
                            "Found! [USB\\VID_1C7A&PID_5C50] ,and remove it form Device Manager.\n"));
    EXPECT_EQ(authorized("1-2"), "0");
    EXPECT_EQ(authorized("1-3"), "0");
    EXPECT_EQ(authorized("1-1"), "1");

    window.memo1.clear();
    deviceTree.RemoveDevicesByHardwareId("USB\\VID_1C7A&PID_5C50");  // removed devices are not present
    EXPECT_TRUE(window.memo1.lines().empty());

    deviceTree.RescanDevices();
    EXPECT_THAT(window.memo1.lines(), ElementsAre("Rescan Device Manager!"));
    EXPECT_EQ(authorized("1-2"), "1");
    EXPECT_EQ(authorized("1-3"), "1");
}

// Start-up: both hubs were left de-authorised by a run that died; the pass
// brings them back before its first search.
TEST_F(DeviceTreeOverSysfs, StrandedHubsAreBroughtBackAtStartUp) {
    for (const char* hub : {"1-2", "1-3"}) test::writeText(tree.usbDevicePath(hub) / "authorized", "0\n");
    tree.syncAuthorization();
    EXPECT_EQ(deviceTree.ReadDeviceRevision("USB\\VID_1C7A&PID_5C50"), 0u) << "de-authorised: not present";
    SysfsDeviceManager nextRun{tree.sysRoot()};
    DeviceTree nextTree{nextRun, messagePaneOf(window)};
    EXPECT_EQ(nextTree.RestoreStrandedDevices(), 2u);
    EXPECT_EQ(authorized("1-2"), "1");
    EXPECT_EQ(authorized("1-3"), "1");
    EXPECT_EQ(nextTree.ReadDeviceRevision("USB\\VID_1C7A&PID_5C50"), 0x0102u);
}

TEST_F(DeviceTreeOverSysfs, RevisionComesFromBcdDevice) {
    EXPECT_EQ(deviceTree.ReadDeviceRevision("USB\\VID_1C7A&PID_5C50"), 0x0102u);  // the first carrier
    EXPECT_EQ(deviceTree.ReadDeviceRevision("USB\\VID_046D&PID_C31C"), 0x6400u);
    EXPECT_EQ(deviceTree.ReadDeviceRevision("USB\\VID_1C7A&PID_5C51"), 0u);
    EXPECT_EQ(deviceTree.ReadDeviceRevision("usb\\vid_1c7a&pid_5c50"), 0u) << "ids compare case-sensitively";
    EXPECT_TRUE(window.memo1.lines().empty());
}

TEST_F(DeviceTreeOverSysfs, IdNobodyCarriesWritesNothing) {
    deviceTree.RemoveDevicesByHardwareId("USB\\VID_1C7A&PID_5C99");
    EXPECT_TRUE(window.memo1.lines().empty());
    EXPECT_EQ(authorized("1-2"), "1");
}

TEST(DeviceTreeWithoutUsb, ReportsTheMissingTree) {
    test::FakeDeviceTree tree;
    SysfsDeviceManager manager{tree.root() / "no-sysfs"};
    WindowModel window;
    DeviceTree deviceTree{manager, messagePaneOf(window)};
    window.memo1.clear();
    deviceTree.RemoveDevicesByHardwareId("USB\\VID_1C7A&PID_5C50");
    deviceTree.RescanDevices();
    EXPECT_THAT(window.memo1.lines(),
                ElementsAre("Error! GetClassDevs(All Present Devices)", "Error!! CM_Connect_Machine"));
}

} // namespace
} // namespace qv
