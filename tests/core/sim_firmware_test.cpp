// The simulated chip's running firmware, driven with hand-built reports.
#include <gtest/gtest.h>

#include <cstring>

#include "sim_test_support.h"

namespace qv::sim::testing {
namespace {

struct SimFirmwareTest : SimHubTest {
    void SetUp() override { start(Mode::Normal, {0x3B, 0x72, 0x05}); }
};

TEST_F(SimFirmwareTest, HandshakeOpensAndClosesTheVendorSession) {
    const FeatureReport hello = handshake(0x5A);
    FeatureReport answer = ask(h, hello);
    EXPECT_TRUE(std::equal(hello.begin() + 1, hello.begin() + 16, answer.begin() + 1)) << "first handshake echoes";
    EXPECT_EQ(answer[0], 0x5A);
    EXPECT_TRUE(device->vendorSessionOpen());

    answer = ask(h, hello);
    EXPECT_EQ(std::count(answer.begin() + 1, answer.end(), 0), 63) << "closing handshake is not echoed";
    EXPECT_FALSE(device->vendorSessionOpen());

    answer = ask(h, hello);
    EXPECT_EQ(answer[1], 'V');
}

TEST_F(SimFirmwareTest, HandshakeOnAnotherReportIdIsNotEchoed) {
    const FeatureReport answer = ask(h, handshake(0x5B));
    EXPECT_EQ(std::count(answer.begin() + 1, answer.end(), 0), 63);
    EXPECT_FALSE(device->vendorSessionOpen());
}

TEST(SimFirmwareHandshake, ConfiguredReportIdAndAlwaysEchoStyle) {
    VirtualEventLoop loop;
    SimulatedHub hub(loop);
    DeviceConfig config;
    config.firmware.handshakeReportId = 0x07;
    config.firmware.handshakeStyle = HandshakeStyle::AlwaysEcho;
    hub.addDevice(config);
    const HidHandle h = hub.open(*hub.interfacePath(0));
    std::uint32_t code = 0;
    for (int round = 0; round < 3; ++round) {
        FeatureReport answer = report({0x07});
        ASSERT_TRUE(hub.setFeature(h, handshake(0x07), code));
        ASSERT_TRUE(hub.getFeature(h, answer, code));
        EXPECT_EQ(answer[14], '.') << "round " << round;
    }
    FeatureReport answer = report({0x5A});
    ASSERT_TRUE(hub.setFeature(h, handshake(0x5A), code));
    ASSERT_TRUE(hub.getFeature(h, answer, code));
    EXPECT_EQ(answer[1], 0) << "0x5A is not this firmware's handshake id";
}

TEST_F(SimFirmwareTest, MemoryReadRepeatsAddressAndCountAndReturnsFlash) {
    const char version[] = "OEM 2.50 SIM";
    device->chip().loadFlash(std::span(reinterpret_cast<const std::uint8_t*>(version), sizeof version), 0x3100);
    const FeatureReport answer = ask(h, report({0x5A, 0x05, 0x00, 0x31, 0x00, 10}));
    EXPECT_EQ(answer[1], 0x05);
    EXPECT_EQ(answer[2], 0x00);
    EXPECT_EQ(answer[3], 0x31);
    EXPECT_EQ(answer[4], 0x00);
    EXPECT_EQ(answer[5], 10);
    EXPECT_EQ(std::memcmp(answer.data() + 6, version, 10), 0);
    EXPECT_EQ(answer[16], 0) << "nothing after the data";
}

TEST_F(SimFirmwareTest, IdentificationBytesLiveInTheF0SpaceOnly) {
    FeatureReport answer = ask(h, report({0x5A, 0x07, 0x00, 0x20, 0xF0, 3}));
    EXPECT_EQ(answer[2], 0x00);
    EXPECT_EQ(answer[3], 0x20);
    EXPECT_EQ(answer[4], 0xF0);
    EXPECT_EQ(answer[6], 0x3B);
    EXPECT_EQ(answer[7], 0x72);
    EXPECT_EQ(answer[8], 0x05);

    // The data-space opcode at the same address reaches plain RAM.
    answer = ask(h, report({0x5A, 0x05, 0x00, 0x20, 0xF0, 3}));
    EXPECT_EQ(answer[4], 0xF0);
    EXPECT_EQ(answer[6], 0x00);

    // The identification bytes cannot be written; other registers can.
    send(h, report({0x5A, 0x08, 0x00, 0x20, 0xF0, 1, 0x99}));
    send(h, report({0x5A, 0x08, 0x10, 0x20, 0xF0, 1, 0x42}));
    answer = ask(h, report({0x5A, 0x07, 0x00, 0x20, 0xF0, 1}));
    EXPECT_EQ(answer[6], 0x3B);
    answer = ask(h, report({0x5A, 0x07, 0x10, 0x20, 0xF0, 1}));
    EXPECT_EQ(answer[6], 0x42);
}

TEST_F(SimFirmwareTest, MemoryWritesReachRamButNotFlash) {
    const std::uint8_t flashByte = device->chip().flash()[0x3100];
    send(h, report({0x5A, 0x06, 0x00, 0x31, 0x00, 1, static_cast<std::uint8_t>(~flashByte)}));
    EXPECT_EQ(device->chip().flash()[0x3100], flashByte);

    send(h, report({0x5A, 0x06, 0x34, 0x12, 0x00, 1, 0xAB}));  // 0x001234 is flash too
    EXPECT_NE(device->chip().flash()[0x1234], 0xAB);

    send(h, report({0x5A, 0x06, 0x00, 0x00, 0x20, 1, 0xAB}));  // 0x200000: scratch RAM
    const FeatureReport answer = ask(h, report({0x5A, 0x05, 0x00, 0x00, 0x20, 2}));
    EXPECT_EQ(answer[6], 0xAB);
    EXPECT_EQ(answer[7], 0x00);
}

TEST_F(SimFirmwareTest, ParameterAreaIsLocatedWrittenAndStored) {
    // Sub-command 0 locates the work buffer.
    FeatureReport answer = ask(h, report({0x5A, 0x02, 0}));
    const std::uint32_t stored = answer[3] | (answer[4] << 8) | (answer[5] << 16);
    const std::uint32_t work = answer[6] | (answer[7] << 8) | (answer[8] << 16);
    EXPECT_EQ(stored, 0x040000u);
    EXPECT_EQ(work, 0x060000u);
    EXPECT_EQ(answer[9], 128);

    // Byte writes fill the work buffer; the eFlash copy keeps its content.
    send(h, report({0x5A, 0x06, 0x00, 0x00, 0x06, 1, 0x80}));
    send(h, report({0x5A, 0x06, 0x01, 0x00, 0x06, 1, 0x5C}));
    EXPECT_EQ(device->chip().workBuffer()[1], 0x5C);
    EXPECT_EQ(device->chip().storedParameters()[1], 0xFF);
    answer = ask(h, report({0x5A, 0x05, 0x00, 0x00, 0x04, 2}));
    EXPECT_EQ(answer[6], 0xFF);

    // Sub-command 1 stores it and reports the same layout.
    answer = ask(h, report({0x5A, 0x02, 1}));
    EXPECT_EQ(answer[3] | (answer[4] << 8) | (answer[5] << 16), 0x040000);
    EXPECT_EQ(answer[9], 128);
    answer = ask(h, report({0x5A, 0x05, 0x00, 0x00, 0x04, 2}));
    EXPECT_EQ(answer[6], 0x80);
    EXPECT_EQ(answer[7], 0x5C);
    // eFlash itself is not byte-writable.
    send(h, report({0x5A, 0x06, 0x00, 0x00, 0x04, 1, 0x00}));
    EXPECT_EQ(device->chip().storedParameters()[0], 0x80);
}

TEST_F(SimFirmwareTest, ConfiguredParameterLayoutIsReported) {
    DeviceConfig config;
    config.parameters = {0x00E000, 0x01F000, 255};
    hub.addDevice(config);
    const HidHandle second = hub.open(*hub.interfacePath(1));
    const FeatureReport answer = ask(second, report({0x5A, 0x02, 0}));
    EXPECT_EQ(answer[3] | (answer[4] << 8) | (answer[5] << 16), 0x01F000);
    EXPECT_EQ(answer[6] | (answer[7] << 8) | (answer[8] << 16), 0x00E000);
    EXPECT_EQ(answer[9], 255);
}

TEST_F(SimFirmwareTest, ReportIdZeroIsRejectedAndUnknownOpcodesIgnored) {
    std::uint32_t code = 0;
    EXPECT_FALSE(hub.setFeature(h, report({0x00, 0x05, 0x00, 0x31, 0x00, 1}), code));
    EXPECT_EQ(code, error::kInvalidParameter);

    const FeatureReport answer = ask(h, report({0x5A, 0xC0}));  // a loader command
    EXPECT_EQ(answer[1], 0xC0);
    EXPECT_EQ(device->refusedRequests(), 1u);
    EXPECT_EQ(device->mode(), Mode::Normal);
}

TEST_F(SimFirmwareTest, GetReturnsTheAnswerOfTheLastSet) {
    send(h, report({0x5A, 0x05, 0x00, 0x31, 0x00, 4}));
    send(h, report({0x5A, 0x07, 0x00, 0x20, 0xF0, 3}));
    FeatureReport answer = report({0x5A});
    std::uint32_t code = 0;
    ASSERT_TRUE(hub.getFeature(h, answer, code));
    EXPECT_EQ(answer[1], 0x07);
    EXPECT_EQ(answer[6], 0x3B);
    // A second Get repeats it.
    FeatureReport again = report({0x5A});
    ASSERT_TRUE(hub.getFeature(h, again, code));
    EXPECT_EQ(again, answer);
}

TEST_F(SimFirmwareTest, FlashModeRequestReenumeratesAsTheLoader) {
    send(h, report({0x5A, 0x09, 0x00}));
    EXPECT_EQ(device->mode(), Mode::Flash);
    EXPECT_FALSE(hub.interfacePath(0)) << "gone at once";
    std::uint32_t code = 0;
    EXPECT_FALSE(hub.setFeature(h, handshake(0x5A), code));
    EXPECT_EQ(code, error::kDeviceNotConnected);

    loop.advance(1499);
    EXPECT_FALSE(hub.interfacePath(0));
    loop.advance(1);
    ASSERT_TRUE(hub.interfacePath(0));
    EXPECT_EQ(openCollection(0xFF5C, 0x80), kNoHandle);
    const HidHandle loader = openCollection(0xFF5C, 0xDB);
    ASSERT_NE(loader, kNoHandle);
    EXPECT_EQ(hub.attributes(loader)->productId, 0x5CDB);
    EXPECT_FALSE(hub.setFeature(h, report({0x00, 0xC0}), code)) << "old handle stays stale";
    EXPECT_EQ(code, error::kDeviceNotConnected);
    EXPECT_EQ(loop.sleptMilliseconds(), 0u) << "the hub itself never sleeps without latency";
}

} // namespace
} // namespace qv::sim::testing
