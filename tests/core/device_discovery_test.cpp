#include <gtest/gtest.h>

#include "core/fakes/device_link_fixture.h"

namespace qv::test {
namespace {

using ::testing::ElementsAre;

class DiscoveryTest : public DeviceLinkTest {};

TEST_F(DiscoveryTest, MatchingInterfacesFillSlotsFromZeroInInterfaceOrder) {
    bus.interfaces = {
        {{kPageFF5C, 0x80}, HidAttributes{0x1C7A, 0x5C50, 0x0102}},
        {{kPageFF5C, 0xDB}},
        {{kPageFF5C, 0x80}, HidAttributes{0x1C7A, 0xAB12, 0x0003}},
    };
    link.OpenMatchingDevices(kPageFF5C, 0x80);

    EXPECT_EQ(link.FoundDeviceCount(), 2);
    EXPECT_EQ(ScriptedHidBus::interfaceIndexOf(link.handleAt(0)), 0);
    EXPECT_EQ(ScriptedHidBus::interfaceIndexOf(link.handleAt(1)), 2);
    EXPECT_EQ(link.handleAt(2), kNoHandle);
    EXPECT_EQ(bus.openHandles.size(), 2u) << "the non-matching interface is closed";
    EXPECT_THAT(memo2(), ElementsAre("FF5C , 0080", "1C7A  5C50  0102", "FF5C , 0080", "1C7A  AB12  0003",
                                     "Find 2 VOR SensorHub."));

    link.CloseAllHandles();
    EXPECT_TRUE(bus.openHandles.empty());
    EXPECT_EQ(link.handleAt(0), kNoHandle);
}

TEST_F(DiscoveryTest, SkipsWhatCannotBeOpenedOrQueriedAndLogsNothingForOtherUsages) {
    bus.interfaces = {
        {{kPageFF5C, 0xDB}, {}, /*openable=*/false},
        {{kPageFF5C, 0xDB}, {}, true, /*capsReadable=*/false},
        {{kPageFF5C, 0xD0}},  // same page, other usage: no line
        {{kPageFF5C, 0xDB}, std::nullopt},  // attributes unreadable: still a match
    };
    link.OpenMatchingDevices(kPageFF5C, 0xDB);

    EXPECT_EQ(link.FoundDeviceCount(), 1);
    EXPECT_EQ(ScriptedHidBus::interfaceIndexOf(link.handleAt(0)), 3);
    EXPECT_EQ(bus.openHandles.size(), 1u);
    EXPECT_THAT(memo2(), ElementsAre("FF5C , 00DB", "Find 1 VOR SensorHub."));
}

TEST_F(DiscoveryTest, ScanLimitBoundsTheIndicesExamined) {
    bus.interfaces = {{{kPageFF5C, 0xDB}}, {{kPageFF5C, 0xDB}}, {{kPageFF5C, 0xDB}}};
    options.MAXSCANDEVICE = 2;
    link.OpenMatchingDevices(kPageFF5C, 0xDB);
    EXPECT_EQ(link.FoundDeviceCount(), 2);

    link.CloseAllHandles();
    window.memo2.clear();
    options.MAXSCANDEVICE = 0;
    link.OpenMatchingDevices(kPageFF5C, 0xDB);
    EXPECT_EQ(link.FoundDeviceCount(), 0);
    EXPECT_THAT(memo2(), ElementsAre("Find 0 VOR SensorHub."));
    EXPECT_FALSE(link.DetectFF7ADevice());
    EXPECT_FALSE(link.DetectFF6DDevice());
    EXPECT_FALSE(link.DetectFF4EDevice());
    EXPECT_EQ(bus.opens, 2) << "nothing examined with a limit of 0";
}

struct ProductIdCase {
    const char* what;
    HidCollectionCaps collection;
    std::optional<HidAttributes> attributes;
    std::int32_t mainTargetPid;
    bool counted;
    bool foundLine;
};

TEST_F(DiscoveryTest, ProductIdFilterAppliesOnlyToTheMainDevicePairs) {
    const HidAttributes pid5C50{0x1C7A, 0x5C50, 0x0001};
    const ProductIdCase cases[] = {
        {"filter off", {kPageFF6D, 0x10}, pid5C50, 0, true, false},
        {"FF6D normal, other pid", {kPageFF6D, 0x10}, pid5C50, 0x6D10, false, false},
        {"FF6D normal, same pid", {kPageFF6D, 0x10}, pid5C50, 0x5C50, true, true},
        {"FF6D loader, other pid", {kPageFF6D, 0xDB}, pid5C50, 0x6D10, true, false},
        {"FF5C normal, other pid", {kPageFF5C, 0x80}, pid5C50, 0x1234, false, false},
        {"FF7A normal, same pid", {kPageFF7A, 0x95}, pid5C50, 0x5C50, true, true},
        {"FF4E normal, other pid", {kPageFF4E, 0x12}, pid5C50, 0x1234, true, false},
        {"FF5C normal, attributes unreadable", {kPageFF5C, 0x80}, std::nullopt, 0x5C50, false, false},
        {"FF5C loader, attributes unreadable", {kPageFF5C, 0xDB}, std::nullopt, 0x5C50, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bus.interfaces = {{c.collection, c.attributes}};
        options.MAINTARGETPID = c.mainTargetPid;
        window.memo2.clear();
        link.OpenMatchingDevices(c.collection.usagePage, c.collection.usage);
        EXPECT_EQ(link.FoundDeviceCount(), c.counted ? 1 : 0);
        EXPECT_EQ(window.memo2.contains("Found the device with MainTargetPID"), c.foundLine);
        EXPECT_EQ(bus.openHandles.size(), c.counted ? 1u : 0u);
        link.CloseAllHandles();
    }
}

TEST_F(DiscoveryTest, PresenceTestsTryEachPairAndLeaveTheTableAlone) {
    bus.interfaces = {{{kPageFF5C, 0x80}}, {{kPageFF4E, 0xDB}}, {{kPageFF6D, 0xDB}}};
    EXPECT_FALSE(link.DetectFF7ADevice());
    EXPECT_TRUE(link.DetectFF4EDevice());
    EXPECT_TRUE(link.DetectFF6DDevice());
    EXPECT_TRUE(bus.openHandles.empty()) << "presence tests close every handle";
    EXPECT_EQ(link.handleAt(0), kNoHandle);
    EXPECT_EQ(link.FoundDeviceCount(), 0);
    EXPECT_THAT(memo2(), ElementsAre("FF4E , 00DB", "1C7A  5C50  0102", "FF6D , 00DB", "1C7A  5C50  0102"));

    bus.interfaces = {{{kPageFF7A, 0x95}}};
    EXPECT_TRUE(link.DetectFF7ADevice());
    EXPECT_FALSE(link.DetectFF4EDevice());
}

TEST_F(DiscoveryTest, PresenceScanStopsAtTheFirstMatch) {
    bus.interfaces = {{{kPageFF4E, 0x12}}, {{kPageFF4E, 0x12}}};
    EXPECT_TRUE(link.DetectFF4EDevice());
    EXPECT_EQ(bus.opens, 1);
}

TEST_F(DiscoveryTest, Ignore6D10AffectsOnlyThePresenceTest) {
    bus.interfaces = {{{kPageFF6D, 0x10}}};
    options.IGNORE6D10 = 1;
    EXPECT_FALSE(link.DetectFF6DDevice());
    EXPECT_TRUE(window.memo2.contains("FF6D , 0010")) << "the scan still runs and logs";

    link.OpenMatchingDevices(kPageFF6D, 0x10);
    EXPECT_EQ(link.FoundDeviceCount(), 1);

    options.IGNORE6D10 = 0;
    EXPECT_TRUE(link.DetectFF6DDevice());
}

TEST_F(DiscoveryTest, AFullTableStaysNonzeroAndLogsTheRealCount) {
    bus.interfaces.assign(300, FakeInterface{{kPageFF5C, 0xDB}});
    options.MAXSCANDEVICE = 300;  // clamped to the table size
    link.OpenMatchingDevices(kPageFF5C, 0xDB);
    EXPECT_EQ(bus.opens, 256);
    EXPECT_NE(link.handleAt(255), kNoHandle);
    EXPECT_EQ(link.FoundDeviceCount(), 255) << "eight bits: a full table must not read as nothing found";
    EXPECT_EQ(memo2().back(), "Find 256 VOR SensorHub.");
}

TEST_F(DiscoveryTest, AHandleLeftInAReusedSlotIsClosed) {
    bus.interfaces = {{{kPageFF5C, 0xDB}}};
    link.OpenMatchingDevices(kPageFF5C, 0xDB);
    link.OpenMatchingDevices(kPageFF5C, 0xDB);  // caller forgot to empty the table
    EXPECT_EQ(bus.openHandles.size(), 1u);
    EXPECT_EQ(link.FoundDeviceCount(), 1);
}

} // namespace
} // namespace qv::test
