// The simulated hub's bus and device tree: collections and ids of each
// family in both modes, interface order, handles, removal and rescan, the
// exchange log and latency.
#include <gtest/gtest.h>

#include "sim_test_support.h"

namespace qv::sim::testing {
namespace {

struct FamilyCase {
    Family family;
    Mode mode;
    std::uint16_t loaderUsage;  // 0: the family's
    HidCollectionCaps caps;
    std::uint16_t productId;
};

TEST(SimBus, EachFamilyShowsItsCollectionsAndIds) {
    const FamilyCase cases[] = {
        {Family::FF5C, Mode::Normal, 0, {0xFF5C, 0x80}, 0x5C50},
        {Family::FF5C, Mode::Flash, 0, {0xFF5C, 0xDB}, 0x5CDB},
        {Family::FF5C, Mode::Flash, 0xD0, {0xFF5C, 0xD0}, 0x5CDB},
        {Family::FF5C, Mode::Flash, 0xDD, {0xFF5C, 0xDD}, 0x5CDB},
        {Family::FF7A, Mode::Normal, 0, {0xFF7A, 0x95}, 0x7A95},
        {Family::FF7A, Mode::Flash, 0, {0xFF5C, 0xDB}, 0x5CDB},
        {Family::FF7A, Mode::Flash, 0xDD, {0xFF5C, 0xDD}, 0x5CDB},
        {Family::FF6D, Mode::Normal, 0, {0xFF6D, 0x10}, 0x6D10},
        {Family::FF6D, Mode::Flash, 0, {0xFF6D, 0xDB}, 0x6DDB},
        {Family::FF4E, Mode::Normal, 0, {0xFF4E, 0x12}, 0x4E12},
        {Family::FF4E, Mode::Flash, 0, {0xFF4E, 0xDB}, 0x4EDB},
    };
    for (const auto& c : cases) {
        VirtualEventLoop loop;
        SimulatedHub hub(loop);
        DeviceConfig config;
        config.family = c.family;
        config.mode = c.mode;
        config.loaderUsage = c.loaderUsage;
        config.revision = 0x0215;
        hub.addDevice(config);
        const std::string label = std::string(familyTraits(c.family).name) + (c.mode == Mode::Normal ? " normal" : " flash");
        const HidHandle h = hub.open(*hub.interfacePath(0));
        ASSERT_NE(h, kNoHandle) << label;
        const auto caps = hub.collectionCaps(h);
        ASSERT_TRUE(caps) << label;
        EXPECT_EQ(caps->usagePage, c.caps.usagePage) << label;
        EXPECT_EQ(caps->usage, c.caps.usage) << label;
        const auto attributes = hub.attributes(h);
        ASSERT_TRUE(attributes) << label;
        EXPECT_EQ(attributes->vendorId, 0x1C7A) << label;
        EXPECT_EQ(attributes->productId, c.productId) << label;
        EXPECT_EQ(attributes->versionNumber, 0x0215) << label;

        const auto tree = hub.presentDevices();
        ASSERT_EQ(tree.devices.size(), 1u) << label;
        char pid[5];
        std::snprintf(pid, sizeof pid, "%04X", c.productId);
        const std::string id = std::string("USB\\VID_1C7A&PID_") + pid;
        EXPECT_EQ(tree.devices[0].hardwareIds, id + "&REV_0215" + '\0' + id + '\0' + '\0') << label;
        EXPECT_EQ(tree.devices[0].status, PresentDevice::IdStatus::Ok) << label;
    }
}

TEST(SimBus, FamilyNamesAndHardwareIdText) {
    EXPECT_EQ(familyFromName("5c"), Family::FF5C);
    EXPECT_EQ(familyFromName("4E"), Family::FF4E);
    EXPECT_EQ(familyFromName("5C50"), std::nullopt);
    EXPECT_EQ(familyFromName(""), std::nullopt);
    EXPECT_EQ(usbHardwareIds(0x1C7A, 0x5C50, 0x0102),
              std::string("USB\\VID_1C7A&PID_5C50&REV_0102\0USB\\VID_1C7A&PID_5C50\0\0", 54));
}

TEST_F(SimHubTest, InterfacesKeepTheirOrderAcrossAModeSwitch) {
    auto& first = hub.addDevice();
    hub.addForeignInterface();
    DeviceConfig second;
    second.family = Family::FF6D;
    hub.addDevice(second);
    ASSERT_EQ(presentInterfaces(), 3u);
    const auto keyboardPath = *hub.interfacePath(1);

    const HidHandle h = openCollection(0xFF5C, 0x80);
    send(h, report({0x5A, 0x09}));
    EXPECT_EQ(presentInterfaces(), 2u);
    EXPECT_EQ(*hub.interfacePath(0), keyboardPath);
    loop.advance(1500);
    ASSERT_EQ(presentInterfaces(), 3u);
    EXPECT_EQ(*hub.interfacePath(1), keyboardPath);
    const HidHandle loader = hub.open(*hub.interfacePath(0));
    EXPECT_EQ(hub.collectionCaps(loader)->usage, 0xDB);
    EXPECT_EQ(hub.collectionCaps(hub.open(*hub.interfacePath(2)))->usagePage, 0xFF6D);
    EXPECT_EQ(first.mode(), Mode::Flash);
    EXPECT_EQ(hub.device(1).mode(), Mode::Normal);
}

TEST_F(SimHubTest, ForeignInterfacesTakeNoFeatureReports) {
    hub.addForeignInterface(keyboardInterface());
    ForeignInterface locked = keyboardInterface();
    locked.opens = false;
    hub.addForeignInterface(locked);
    ForeignInterface unreadable = keyboardInterface();
    unreadable.capsReadable = false;
    unreadable.hardwareIds.clear();
    hub.addForeignInterface(unreadable);

    const HidHandle keyboard = hub.open(*hub.interfacePath(0));
    ASSERT_NE(keyboard, kNoHandle);
    EXPECT_EQ(hub.collectionCaps(keyboard)->usage, 0x0006);
    std::uint32_t code = 0;
    EXPECT_FALSE(hub.setFeature(keyboard, handshake(0x5A), code));
    EXPECT_EQ(code, error::kInvalidFunction);

    EXPECT_EQ(hub.open(*hub.interfacePath(1)), kNoHandle);
    const HidHandle third = hub.open(*hub.interfacePath(2));
    EXPECT_FALSE(hub.collectionCaps(third));
    EXPECT_TRUE(hub.attributes(third));

    const auto tree = hub.presentDevices();
    ASSERT_EQ(tree.devices.size(), 3u);
    EXPECT_EQ(tree.devices[2].status, PresentDevice::IdStatus::NoIds);
    EXPECT_EQ(hub.open("\\\\?\\hid#nothing"), kNoHandle);
}

TEST_F(SimHubTest, ClosedAndUnknownHandlesFail) {
    hub.addDevice();
    const HidHandle h = openCollection(0xFF5C, 0x80);
    hub.close(h);
    std::uint32_t code = 0;
    EXPECT_FALSE(hub.setFeature(h, handshake(0x5A), code));
    EXPECT_EQ(code, error::kInvalidHandle);
    FeatureReport answer{};
    EXPECT_FALSE(hub.getFeature(kNoHandle, answer, code));
    EXPECT_EQ(code, error::kInvalidHandle);
    EXPECT_FALSE(hub.collectionCaps(h));
    EXPECT_EQ(hub.openHandleCount(), 0u);
}

TEST_F(SimHubTest, RemovedDeviceStaysGoneUntilRescan) {
    hub.addForeignInterface();
    auto& device = hub.addDevice();
    const HidHandle h = openCollection(0xFF5C, 0x80);
    auto tree = hub.presentDevices();
    ASSERT_EQ(tree.devices.size(), 2u);
    EXPECT_FALSE(hub.removeDevice(999));

    ASSERT_TRUE(hub.removeDevice(tree.devices[1].node));
    EXPECT_FALSE(device.present());
    EXPECT_EQ(presentInterfaces(), 1u);
    EXPECT_EQ(hub.presentDevices().devices.size(), 1u);
    std::uint32_t code = 0;
    EXPECT_FALSE(hub.setFeature(h, handshake(0x5A), code));
    EXPECT_EQ(code, error::kDeviceNotConnected);
    EXPECT_FALSE(hub.removeDevice(tree.devices[1].node)) << "no longer present";

    loop.advance(60000);
    EXPECT_FALSE(device.present());
    const RescanStatus status = hub.rescan();
    EXPECT_TRUE(status.connected && status.rootLocated && status.reenumerated);
    EXPECT_TRUE(device.present());
    EXPECT_NE(openCollection(0xFF5C, 0x80), kNoHandle);
    EXPECT_FALSE(hub.setFeature(h, handshake(0x5A), code)) << "a handle from before the removal stays stale";
}

TEST_F(SimHubTest, TreeBehaviourAndExtraEntries) {
    hub.addDevice();
    PresentDevice noIds;
    noIds.status = PresentDevice::IdStatus::NoIds;
    hub.addTreeEntry(noIds);
    auto tree = hub.presentDevices();
    ASSERT_EQ(tree.devices.size(), 2u);
    EXPECT_EQ(tree.devices[1].status, PresentDevice::IdStatus::NoIds);
    EXPECT_TRUE(tree.opened);
    EXPECT_FALSE(tree.enumerationFailed);

    hub.tree().refuseRemoval = true;
    EXPECT_FALSE(hub.removeDevice(tree.devices[0].node));
    EXPECT_TRUE(hub.device().present());
    hub.tree().cannotList = true;
    EXPECT_FALSE(hub.presentDevices().opened);
    hub.tree().cannotList = false;
    hub.tree().enumerationFails = true;
    EXPECT_TRUE(hub.presentDevices().enumerationFailed);
    hub.tree().rescanStatus = {true, false, true};
    EXPECT_FALSE(hub.rescan().rootLocated);
}

TEST_F(SimHubTest, ExchangesAreLoggedCountedAndCostLatency) {
    hub.addDevice();
    const HidHandle h = openCollection(0xFF5C, 0x80);
    hub.setLatency(3);
    const FeatureReport request = report({0x5A, 0x07, 0x00, 0x20, 0xF0, 3});
    const FeatureReport answer = ask(h, request);
    EXPECT_EQ(loop.sleptMilliseconds(), 6u);
    ASSERT_EQ(hub.exchangeLog().size(), 2u);
    const auto& set = hub.exchangeLog()[0];
    EXPECT_EQ(set.direction, ExchangeRecord::Direction::Set);
    EXPECT_EQ(set.interfaceId, 0);
    EXPECT_EQ(set.report, request);
    EXPECT_TRUE(set.ok);
    const auto& get = hub.exchangeLog()[1];
    EXPECT_EQ(get.direction, ExchangeRecord::Direction::Get);
    EXPECT_EQ(get.report, answer);
    EXPECT_EQ(get.tick, 6u);

    hub.setLogging(false);
    std::uint32_t code = 0;
    EXPECT_FALSE(hub.setFeature(0x7777, request, code));
    EXPECT_EQ(hub.exchangeLog().size(), 2u);
    EXPECT_EQ(hub.exchangeCount(), 3u);
    hub.setLogging(true);
    EXPECT_FALSE(hub.setFeature(0x7777, request, code));
    EXPECT_EQ(hub.exchangeLog().back().interfaceId, -1);
    EXPECT_EQ(hub.exchangeLog().back().errorCode, error::kInvalidHandle);
    hub.clearLog();
    EXPECT_TRUE(hub.exchangeLog().empty());
}

TEST(SimBus, ReenumerationSurvivesTheTickCounterWrapping) {
    VirtualEventLoop loop(0xFFFFFF00u);
    SimulatedHub hub(loop);
    auto& device = hub.addDevice();
    const HidHandle h = hub.open(*hub.interfacePath(0));
    std::uint32_t code = 0;
    ASSERT_TRUE(hub.setFeature(h, report({0x5A, 0x09}), code));
    loop.advance(1000);
    EXPECT_FALSE(device.present());
    loop.advance(500);
    EXPECT_TRUE(device.present());
}

} // namespace
} // namespace qv::sim::testing
