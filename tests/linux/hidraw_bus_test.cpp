#include <fcntl.h>
#include <gtest/gtest.h>

#include <chrono>

#include "fake_device_tree.h"
#include "fake_hidraw_calls.h"
#include "platform/linux/hidraw_bus.h"
#include "test_report_descriptors.h"

namespace qv {
namespace {

using test::FakeDeviceTree;
using test::FakeHidrawCalls;

class HidrawBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.addRootHub(1);
        tree.addUsbDevice("1-1", 0x046D, 0xC31C, 0x6400, 2);
        tree.addUsbDevice("1-2", 0x1C7A, 0x5C50, 0x0102, 3);
        // A keyboard with a boot interface and a three-collection interface,
        // the sensor hub with two HID interfaces, a touchpad on I2C whose
        // descriptor cannot be parsed.
        tree.addHidNode({0, test::kBootKeyboard, "1-1", 0, 0x046D, 0xC31C});
        tree.addHidNode({1, test::kThreeCollections, "1-1", 1, 0x046D, 0xC31C});
        tree.addHidNode({2, test::kHubNumbered, "1-2", 0, 0x1C7A, 0x5C50});
        tree.addHidNode({10, test::kHubUnnumbered, "1-2", 1, 0x1C7A, 0x5C50});
        tree.addHidNode({3, test::kBroken, "", 0, 0x04F3, 0x3140});
        auto fake = std::make_unique<FakeHidrawCalls>();
        calls = fake.get();
        bus = std::make_unique<HidrawBus>(HidrawRoots{tree.sysRoot(), tree.devRoot()}, std::move(fake),
                                          [this](unsigned ms) { sleeps.push_back(ms); });
    }

    std::string node(unsigned number) const { return tree.hidrawNode(number).string(); }

    FakeDeviceTree tree;
    FakeHidrawCalls* calls = nullptr;
    std::unique_ptr<HidrawBus> bus;
    std::vector<unsigned> sleeps;
};

TEST_F(HidrawBusTest, ListsEveryCollectionOfEveryNodeInNodeOrder) {
    struct Interface {
        std::string path;
        std::optional<HidCollectionCaps> caps;
        std::optional<HidAttributes> attributes;
    };
    const HidAttributes keyboard{0x046D, 0xC31C, 0x6400};
    const HidAttributes hub{0x1C7A, 0x5C50, 0x0102};
    const std::vector<Interface> expected = {
        {node(0), HidCollectionCaps{0x0001, 0x0006}, keyboard},
        {node(1) + "&col01", HidCollectionCaps{0x0001, 0x0006}, keyboard},
        {node(1) + "&col02", HidCollectionCaps{0x000C, 0x0001}, keyboard},
        {node(1) + "&col03", HidCollectionCaps{0x0001, 0x0080}, keyboard},
        {node(2), HidCollectionCaps{0xFF5C, 0x80}, hub},
        {node(3), std::nullopt, HidAttributes{0x04F3, 0x3140, 0}},  // not on USB: version 0
        {node(10), HidCollectionCaps{0xFF5C, 0x80}, hub},
    };
    for (unsigned index = 0; index < expected.size(); ++index) {
        SCOPED_TRACE("index " + std::to_string(index));
        const auto path = bus->interfacePath(index);
        ASSERT_TRUE(path.has_value());
        EXPECT_EQ(*path, expected[index].path);
        const HidHandle handle = bus->open(*path);
        ASSERT_NE(handle, kNoHandle);
        const auto caps = bus->collectionCaps(handle);
        ASSERT_EQ(caps.has_value(), expected[index].caps.has_value());
        if (caps) {
            EXPECT_EQ(caps->usagePage, expected[index].caps->usagePage);
            EXPECT_EQ(caps->usage, expected[index].caps->usage);
        }
        const auto attributes = bus->attributes(handle);
        ASSERT_TRUE(attributes.has_value());
        EXPECT_EQ(attributes->vendorId, expected[index].attributes->vendorId);
        EXPECT_EQ(attributes->productId, expected[index].attributes->productId);
        EXPECT_EQ(attributes->versionNumber, expected[index].attributes->versionNumber);
        bus->close(handle);
    }
    EXPECT_FALSE(bus->interfacePath(static_cast<unsigned>(expected.size())).has_value());
    EXPECT_TRUE(calls->openFds.empty());
}

TEST_F(HidrawBusTest, PathsThatNoLongerNameAnInterfaceDoNotOpen) {
    for (const std::string& path : {node(1),                // the node now has three collections
                                    node(1) + "&col04",     // past its last collection
                                    node(2) + "&col01",     // a one-collection node
                                    node(7),                // no such node
                                    std::string("/dev/sda"), node(2) + "&colx"}) {
        EXPECT_EQ(bus->open(path), kNoHandle) << path;
    }
    EXPECT_TRUE(calls->openFds.empty());
}

TEST_F(HidrawBusTest, EmptyBusListsNothing) {
    FakeDeviceTree empty;
    HidrawBus emptyBus({empty.sysRoot(), empty.devRoot()}, std::make_unique<FakeHidrawCalls>(), {});
    EXPECT_FALSE(emptyBus.interfacePath(0).has_value());
    HidrawBus noSysfs({empty.root() / "missing", empty.devRoot()}, std::make_unique<FakeHidrawCalls>(), {});
    EXPECT_FALSE(noSysfs.interfacePath(0).has_value());
}

FeatureReport reportWith(std::uint8_t id, std::initializer_list<std::uint8_t> payload) {
    FeatureReport report{};
    report[0] = id;
    std::size_t at = 1;
    for (const std::uint8_t byte : payload) report[at++] = byte;
    return report;
}

TEST_F(HidrawBusTest, SetWithReportIdZeroSendsThePayloadAlone) {
    const HidHandle handle = bus->open(node(10));
    std::uint32_t error = 0;
    ASSERT_TRUE(bus->setFeature(handle, reportWith(0, {0xC2, 0x00, 0x20, 0x00, 0x76, 0x00}), error));
    const auto& wire = calls->device(node(10)).received;
    ASSERT_EQ(wire.size(), 1u);
    ASSERT_EQ(wire[0].size(), 63u);
    EXPECT_EQ(wire[0][0], 0xC2);
    EXPECT_EQ(wire[0][4], 0x76);
}

TEST_F(HidrawBusTest, SetWithNumberedReportSendsTheIdFirst) {
    const HidHandle handle = bus->open(node(2));
    std::uint32_t error = 0;
    ASSERT_TRUE(bus->setFeature(handle, reportWith(0x5A, {0x09}), error));
    const auto& wire = calls->device(node(2)).received;
    ASSERT_EQ(wire.size(), 1u);
    ASSERT_EQ(wire[0].size(), 64u);
    EXPECT_EQ(wire[0][0], 0x5A);
    EXPECT_EQ(wire[0][1], 0x09);
}

TEST_F(HidrawBusTest, GetKeepsTheReportIdInByteZeroBothWays) {
    // Unnumbered: the device sends 63 bytes; they land from byte 1 on.
    std::vector<std::uint8_t> payload(63);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(0x80 + i);
    calls->device(node(10)).answers[0] = payload;
    // Numbered: the device sends its id and 63 bytes.
    std::vector<std::uint8_t> numbered{0x5A};
    numbered.insert(numbered.end(), payload.begin(), payload.end());
    calls->device(node(2)).answers[0x5A] = numbered;

    for (const auto& [path, id] : {std::pair{node(10), std::uint8_t{0}}, std::pair{node(2), std::uint8_t{0x5A}}}) {
        SCOPED_TRACE(path);
        const HidHandle handle = bus->open(path);
        FeatureReport report = reportWith(id, {});
        std::uint32_t error = 0;
        ASSERT_TRUE(bus->getFeature(handle, report, error));
        EXPECT_EQ(report[0], id);
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), report.begin() + 1));
    }
}

TEST_F(HidrawBusTest, ShortAnswerLeavesTheRestOfTheBufferAsItWas) {
    calls->device(node(10)).answers[0] = {0x11, 0x22, 0x33};
    const HidHandle handle = bus->open(node(10));
    FeatureReport report = reportWith(0, {0xD0});
    std::uint32_t error = 0;
    ASSERT_TRUE(bus->getFeature(handle, report, error));
    EXPECT_EQ(report[0], 0);
    EXPECT_EQ(report[1], 0x11);
    EXPECT_EQ(report[3], 0x33);
    EXPECT_EQ(report[4], 0x00);
}

TEST_F(HidrawBusTest, FailedExchangesGiveErrno) {
    const HidHandle handle = bus->open(node(10));
    calls->device(node(10)).failWith = EPIPE;
    std::uint32_t error = 0;
    EXPECT_FALSE(bus->setFeature(handle, reportWith(0, {0xC0}), error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(EPIPE));
    FeatureReport report = reportWith(0, {0xD0, 0x77});
    const FeatureReport before = report;
    error = 0;
    EXPECT_FALSE(bus->getFeature(handle, report, error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(EPIPE));
    EXPECT_EQ(report, before);

    // An empty or closed handle.
    bus->close(handle);
    for (const HidHandle stale : {handle, kNoHandle}) {
        error = 0;
        EXPECT_FALSE(bus->setFeature(stale, report, error));
        EXPECT_EQ(error, static_cast<std::uint32_t>(EBADF));
        error = 0;
        EXPECT_FALSE(bus->getFeature(stale, report, error));
        EXPECT_EQ(error, static_cast<std::uint32_t>(EBADF));
        EXPECT_FALSE(bus->collectionCaps(stale).has_value());
        EXPECT_FALSE(bus->attributes(stale).has_value());
    }
}

TEST_F(HidrawBusTest, OpensReadWriteAndFallsBackToWhatTheNodeAllows) {
    ASSERT_NE(bus->open(node(2)), kNoHandle);
    ASSERT_EQ(calls->opens.size(), 1u);
    EXPECT_EQ(calls->opens[0].flags & O_ACCMODE, O_RDWR);
    EXPECT_NE(calls->opens[0].flags & O_CLOEXEC, 0);

    calls->opens.clear();
    calls->allowedAccess = O_WRONLY;
    ASSERT_NE(bus->open(node(2)), kNoHandle);
    ASSERT_EQ(calls->opens.size(), 3u);
    EXPECT_EQ(calls->opens[1].flags & O_ACCMODE, O_RDONLY);
    EXPECT_EQ(calls->opens[2].flags & O_ACCMODE, O_WRONLY);
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(HidrawBusTest, FreshNodeRefusedUntilUdevHasSetItsPermissionsIsRetried) {
    calls->refusedOpens = 2 * 3;  // two rounds of all three modes
    const HidHandle handle = bus->open(node(2));
    EXPECT_NE(handle, kNoHandle);
    EXPECT_EQ(sleeps, (std::vector<unsigned>{HidrawBus::kOpenRetryPauseMs, HidrawBus::kOpenRetryPauseMs}));
    EXPECT_EQ(calls->opens.back().flags & O_ACCMODE, O_RDWR);
}

TEST_F(HidrawBusTest, RetriesAreBounded) {
    calls->refusedOpens = 1000;
    EXPECT_EQ(bus->open(node(2)), kNoHandle);
    EXPECT_EQ(sleeps.size(), HidrawBus::kOpenRetries);
    EXPECT_EQ(calls->opens.size(), 3u * (HidrawBus::kOpenRetries + 1));
}

TEST_F(HidrawBusTest, OldNodeThatRefusesIsNotWaitedFor) {
    // A foreign device kept root-only costs no time in every search.
    std::filesystem::last_write_time(tree.hidrawNode(0),
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    calls->refusedOpens = 1000;
    EXPECT_EQ(bus->open(node(0)), kNoHandle);
    EXPECT_TRUE(sleeps.empty());
    EXPECT_EQ(calls->opens.size(), 3u);
}

TEST_F(HidrawBusTest, MissingNodeIsNotRetried) {
    std::filesystem::remove(tree.hidrawNode(2));
    EXPECT_EQ(bus->open(node(2)), kNoHandle);
    EXPECT_TRUE(sleeps.empty());
    EXPECT_EQ(calls->opens.size(), 1u);
}

TEST_F(HidrawBusTest, HandlesAreDistinctAndClosedWithTheBus) {
    const HidHandle first = bus->open(node(2));
    const HidHandle second = bus->open(node(2));
    ASSERT_NE(first, kNoHandle);
    ASSERT_NE(second, kNoHandle);
    EXPECT_NE(first, second);
    EXPECT_EQ(calls->openFds.size(), 2u);
    std::vector<int> closedAtEnd;
    calls->onClose = [&](int fd) { closedAtEnd.push_back(fd); };
    bus.reset();
    EXPECT_EQ(closedAtEnd.size(), 2u);
}

} // namespace
} // namespace qv
