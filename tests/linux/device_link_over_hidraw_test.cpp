// The device link of the core running over the hidraw bus: discovery across
// a fake device tree, and the loader's exchanges with report id 0.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "device/device_link.h"
#include "fake_device_tree.h"
#include "fake_hidraw_calls.h"
#include "platform/linux/hidraw_bus.h"
#include "platform/virtual_event_loop.h"
#include "session/link_wiring.h"
#include "session/options.h"
#include "session/window_model.h"
#include "test_report_descriptors.h"

namespace qv {
namespace {

using ::testing::ElementsAre;

class DeviceLinkOverHidraw : public ::testing::Test {
protected:
    void SetUp() override {
        tree.addRootHub(1);
        tree.addUsbDevice("1-1", 0x046D, 0xC31C, 0x6400, 2);
        tree.addUsbDevice("1-2", 0x1C7A, 0x5C51, 0x0200, 3);
        tree.addHidNode({0, test::kThreeCollections, "1-1", 0, 0x046D, 0xC31C});
        tree.addHidNode({1, test::kHubLoader, "1-2", 0, 0x1C7A, 0x5C51});
        auto fake = std::make_unique<test::FakeHidrawCalls>();
        calls = fake.get();
        bus = std::make_unique<HidrawBus>(HidrawRoots{tree.sysRoot(), tree.devRoot()}, std::move(fake), nullptr);
        link = std::make_unique<DeviceLink>(*bus, loop, [this] { return linkSettingsFrom(options); }, linkSinksInto(window), out);
    }

    test::FakeDeviceTree tree;
    test::FakeHidrawCalls* calls = nullptr;
    std::unique_ptr<HidrawBus> bus;
    VirtualEventLoop loop;
    Options options;
    WindowModel window;
    std::ostringstream out;
    std::unique_ptr<DeviceLink> link;
};

TEST_F(DeviceLinkOverHidraw, FindsTheLoaderAmongForeignCollections) {
    link->OpenMatchingDevices(0xFF5C, 0xDB);
    EXPECT_EQ(link->FoundDeviceCount(), 1);
    EXPECT_THAT(window.memo2.lines(), ElementsAre("FF5C , 00DB", "1C7A  5C51  0200", "Find 1 VOR SensorHub."));
    EXPECT_EQ(calls->openFds.size(), 1u) << "the keyboard's three interfaces were closed again";
}

TEST_F(DeviceLinkOverHidraw, ReportIdZeroExchangesCarryThePayloadAlone) {
    link->OpenMatchingDevices(0xFF5C, 0xDB);
    auto& device = calls->device(tree.hidrawNode(1).string());
    device.answers[0] = {0xD0, 0x00, 0xFC};  // the device's page-buffer sum answer

    std::array<std::uint8_t, 3> request{0xD0, 0, 0};
    ASSERT_TRUE(link->FeatureTransaction(link->handleAt(0), true, 0, request, 1));
    ASSERT_EQ(device.received.size(), 1u);
    EXPECT_EQ(device.received[0].size(), 63u);
    EXPECT_EQ(device.received[0][0], 0xD0);

    ASSERT_TRUE(link->FeatureTransaction(link->handleAt(0), false, 0, request, 3));
    EXPECT_THAT(request, ElementsAre(0xD0, 0x00, 0xFC));
    EXPECT_TRUE(window.memo2.lines().back() == "Find 1 VOR SensorHub.");
}

TEST_F(DeviceLinkOverHidraw, FailedExchangesAreLoggedWithErrno) {
    link->OpenMatchingDevices(0xFF5C, 0xDB);
    calls->device(tree.hidrawNode(1).string()).failWith = EPIPE;
    window.memo2.clear();
    std::array<std::uint8_t, 1> request{0xC4};
    EXPECT_FALSE(link->FeatureTransaction(link->handleAt(0), true, 0, request, 1));
    EXPECT_EQ(window.memo2.lines(), std::vector<std::string>(10, "failed HidD_SetFeature - 32"));
    EXPECT_EQ(loop.sleptMilliseconds(), 1000u);
}

} // namespace
} // namespace qv
