// The device link and the device-tree maintenance on the Windows ports: the
// lines the operator and the diagnostics see come from the system's answers.
// Under Wine the HID devices are its virtual keyboard (01/06) and mouse
// (01/02) of vendor 845E.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <sstream>

#include "device/device_link.h"
#include "device/device_tree.h"
#include "platform/virtual_event_loop.h"
#include "platform/win32/win32_device_manager.h"
#include "platform/win32/win32_hid_bus.h"
#include "session/link_wiring.h"
#include "session/options.h"
#include "session/window_model.h"
#include "windows_test_support.h"

namespace qv {
namespace {

using test::runningUnderWine;

struct LinkOnWindows {
    Win32HidBus bus;
    VirtualEventLoop loop;
    Options options;
    WindowModel window;
    std::ostringstream standardOutput;
    DeviceLink link{bus, loop, [this] { return linkSettingsFrom(options); }, linkSinksInto(window), standardOutput};

    // Every interface index costs a fresh device-information set, which is
    // slow under Wine; a few indices cover its two devices.
    LinkOnWindows() { options.MAXSCANDEVICE = 8; }

    std::ptrdiff_t count(const std::string& prefix) const {
        const auto& lines = window.memo2.lines();
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    }
};

TEST(DeviceLinkOnWindows, FindsCollectionsByUsageAndLogsWhatItSees) {
    if (!runningUnderWine()) GTEST_SKIP() << "needs Wine's virtual devices";
    ASSERT_TRUE(test::wineHidDevicesReady());
    LinkOnWindows on;
    on.link.OpenMatchingDevices(0x0001, 0x0002);
    EXPECT_EQ(on.link.FoundDeviceCount(), 1);
    EXPECT_NE(on.link.handleAt(0), kNoHandle);
    EXPECT_EQ(on.link.handleAt(1), kNoHandle);
    const std::vector<std::string> expected = {"0001 , 0002", "845E  0001  0000", "Find 1 VOR SensorHub."};
    EXPECT_EQ(on.window.memo2.lines(), expected);

    on.link.CloseAllHandles();
    on.window.memo2.clear();
    on.link.OpenMatchingDevices(kPageFF5C, 0x80);
    EXPECT_EQ(on.link.FoundDeviceCount(), 0);
    EXPECT_EQ(on.window.memo2.lines(), std::vector<std::string>{"Find 0 VOR SensorHub."});
    EXPECT_FALSE(on.link.DetectFF7ADevice());
    EXPECT_FALSE(on.link.DetectFF6DDevice());
    EXPECT_FALSE(on.link.DetectFF4EDevice());
}

TEST(DeviceLinkOnWindows, ARefusedExchangeIsTriedTenTimesWithTheSystemErrorCode) {
    LinkOnWindows on;
    std::array<std::uint8_t, 63> payload{};
    // An empty slot: the system rejects the handle itself.
    EXPECT_FALSE(on.link.FeatureTransaction(kNoHandle, true, 0x5A, payload, 3));
    EXPECT_EQ(on.count("failed HidD_SetFeature - 6"), 10);
    EXPECT_GE(on.loop.sleptMilliseconds(), 1000u);

    if (!runningUnderWine()) GTEST_SKIP() << "needs Wine's virtual devices";
    ASSERT_TRUE(test::wineHidDevicesReady());
    // A mouse has no such feature report: its driver refuses the request.
    on.link.OpenMatchingDevices(0x0001, 0x0002);
    ASSERT_EQ(on.link.FoundDeviceCount(), 1);
    on.window.memo2.clear();
    EXPECT_FALSE(on.link.FeatureTransaction(on.link.handleAt(0), false, 0x5A, payload, 61));
    EXPECT_EQ(on.count("failed HidD_GetFeature - "), 10);
    EXPECT_EQ(on.count("failed HidD_GetFeature - 6"), 0) << "the handle itself was good";
}

TEST(DeviceTreeOnWindows, RemovesDevicesByHardwareIdAndReportsTheRescan) {
    Win32DeviceManager manager;
    WindowModel window;
    DeviceTree tree(manager, messagePaneOf(window));
    window.memo1.clear();

    tree.RemoveDevicesByHardwareId("USB\\VID_1C7A&PID_5C50");
    EXPECT_TRUE(window.memo1.lines().empty()) << "no such device: no line at all";
    EXPECT_EQ(tree.ReadDeviceRevision("USB\\VID_1C7A&PID_5C50"), 0u);

    tree.RescanDevices();
    ASSERT_FALSE(window.memo1.lines().empty());
    if (runningUnderWine()) {
        // Wine's configuration manager does not connect to the local machine.
        EXPECT_EQ(window.memo1.lines(), std::vector<std::string>{"Error!! CM_Connect_Machine"});
    } else {
        EXPECT_EQ(window.memo1.lines().back(), "Rescan Device Manager!");
    }

    if (!runningUnderWine()) GTEST_SKIP() << "removes a device: only in Wine's throw-away prefix";
    // Wine's stand-in display adapter, which a console program can spare.
    const std::string adapter = "PCI\\VEN_0000&DEV_0000&SUBSYS_00000000&REV_00";
    window.memo1.clear();
    tree.RemoveDevicesByHardwareId(adapter);
    if (window.memo1.lines().empty()) GTEST_SKIP() << "no stand-in display adapter in this prefix";
    EXPECT_EQ(window.memo1.lines(),
              std::vector<std::string>{"Found! [" + adapter + "] ,and remove it form Device Manager.\n"});
    window.memo1.clear();
    tree.RemoveDevicesByHardwareId(adapter);
    EXPECT_TRUE(window.memo1.lines().empty()) << "removed for good";
}

} // namespace
} // namespace qv
