// Faults the simulated hub produces on demand.
#include <gtest/gtest.h>

#include <bit>

#include "sim_test_support.h"

namespace qv::sim::testing {
namespace {

struct SimFaultTest : SimHubTest {
    HidHandle openLoader() { return openCollection(0xFF5C, 0xDB); }
    bool trySet(HidHandle handle, const FeatureReport& r, std::uint32_t& code) { return hub.setFeature(handle, r, code); }
};

TEST_F(SimFaultTest, NextExchangesFail) {
    start(Mode::Normal);
    device->faults().failNextExchanges = 2;
    std::uint32_t code = 0;
    EXPECT_FALSE(trySet(h, handshake(0x5A), code));
    EXPECT_EQ(code, error::kGeneralFailure);
    FeatureReport answer = report({0x5A});
    EXPECT_FALSE(hub.getFeature(h, answer, code));
    EXPECT_TRUE(trySet(h, handshake(0x5A), code));
    EXPECT_TRUE(device->vendorSessionOpen()) << "the third exchange reached the firmware";
}

TEST_F(SimFaultTest, ExchangesFailWithTheGivenProbability) {
    start(Mode::Normal);
    device->faults().failProbability = 0.25;
    std::uint32_t code = 0;
    int failed = 0;
    for (int i = 0; i < 2000; ++i) {
        failed += trySet(h, report({0x5A, 0x05, 0x00, 0x31, 0x00, 1}), code) ? 0 : 1;
    }
    EXPECT_GT(failed, 400);
    EXPECT_LT(failed, 600);

    // The same seed gives the same sequence.
    VirtualEventLoop otherLoop;
    SimulatedHub other(otherLoop);
    other.addDevice().faults().failProbability = 0.25;
    const HidHandle o = other.open(*other.interfacePath(0));
    int otherFailed = 0;
    for (int i = 0; i < 2000; ++i) {
        otherFailed += other.setFeature(o, report({0x5A, 0x05, 0x00, 0x31, 0x00, 1}), code) ? 0 : 1;
    }
    EXPECT_EQ(otherFailed, failed);
}

TEST_F(SimFaultTest, AnswersSpoiledOnDemand) {
    start(Mode::Normal);
    device->faults().wrongAddressEchoes = 1;
    const FeatureReport read = report({0x5A, 0x05, 0x00, 0x31, 0x00, 4});
    EXPECT_NE(ask(h, read)[2], 0x00) << "wrong address echo";
    EXPECT_EQ(ask(h, read)[2], 0x00) << "only once";

    device->faults().noHandshakeEcho = true;
    EXPECT_EQ(ask(h, handshake(0x5A))[1], 0);
    EXPECT_EQ(ask(h, handshake(0x5A))[1], 0);
}

TEST_F(SimFaultTest, WrongPageBufferSumOnTheGivenPage) {
    start(Mode::Flash);
    device->faults().wrongSumOnPage = 2;
    send(h, report({0x00, 0xC0}));
    const std::uint16_t right = (0xFF * 1024) & 0xFFFF;
    EXPECT_EQ(word(ask(h, report({0x00, 0xD0})), 2), right);
    EXPECT_EQ(word(ask(h, report({0x00, 0xD0})), 2), right + 1);
    EXPECT_EQ(word(ask(h, report({0x00, 0xD0})), 2), right);
}

TEST_F(SimFaultTest, ReadBackCarriesOneFlippedBit) {
    start(Mode::Flash);
    device->faults().readBackBitFlips = 1;
    const FeatureReport read = report({0x00, 0xD1, 0x00, 0x20, 0x00, 56});
    const FeatureReport spoiled = ask(h, read);
    const FeatureReport clean = ask(h, read);
    int bits = 0;
    for (std::size_t i = 0; i < spoiled.size(); ++i) {
        bits += std::popcount(static_cast<unsigned>(spoiled[i] ^ clean[i]));
    }
    EXPECT_EQ(bits, 1);
    EXPECT_TRUE(std::equal(clean.begin() + 6, clean.begin() + 62, device->chip().flash().begin() + 0x2000));
}

TEST_F(SimFaultTest, DeviceThatRefusesToSwitch) {
    start(Mode::Normal);
    device->faults().refuseModeSwitch = true;
    send(h, report({0x5A, 0x09}));
    loop.advance(5000);
    EXPECT_EQ(device->mode(), Mode::Normal);
    EXPECT_EQ(ask(h, handshake(0x5A))[1], 'V') << "the same handle still works";
}

TEST_F(SimFaultTest, SlowAndFlickeringReenumeration) {
    start(Mode::Normal);
    device->faults().extraReenumerationMs = 4000;
    device->faults().flickerReenumeration = true;
    device->faults().flickerMs = 200;
    send(h, report({0x5A, 0x09}));
    loop.advance(5499);
    EXPECT_FALSE(device->present());
    loop.advance(1);
    ASSERT_TRUE(device->present());
    const HidHandle early = openLoader();
    ASSERT_NE(early, kNoHandle);
    loop.advance(200);
    EXPECT_FALSE(device->present());
    loop.advance(199);
    EXPECT_FALSE(device->present());
    loop.advance(1);
    EXPECT_TRUE(device->present());
    std::uint32_t code = 0;
    EXPECT_FALSE(trySet(early, report({0x00, 0xC0}), code)) << "the first appearance's handle is stale";
    EXPECT_EQ(code, error::kDeviceNotConnected);
    EXPECT_NE(openLoader(), kNoHandle);
}

TEST_F(SimFaultTest, DisconnectAtAnExchangeUntilPluggedIn) {
    start(Mode::Flash);
    device->faults().disconnectAtExchange = 3;
    std::uint32_t code = 0;
    EXPECT_TRUE(trySet(h, report({0x00, 0xC0}), code));
    EXPECT_TRUE(trySet(h, report({0x00, 0xC2, 0x00, 0x20, 0x00, 0x01, 0x00}), code));
    EXPECT_FALSE(trySet(h, report({0x00, 0xC0}), code));
    EXPECT_EQ(code, error::kDeviceNotConnected);
    EXPECT_TRUE(device->unplugged());
    loop.advance(60000);
    hub.rescan();
    EXPECT_FALSE(device->present());

    device->plugIn();
    EXPECT_TRUE(device->present());
    EXPECT_EQ(device->mode(), Mode::Flash) << "back in the program it ran";
}

TEST_F(SimFaultTest, PowerLossKeepsWhatWasProgrammed) {
    start(Mode::Flash);
    // Erase the firmware's first page and program one page elsewhere.
    send(h, report({0x00, 0xC2, 0x00, 0x20, 0x00, 0x01, 0x00}));
    send(h, report({0x00, 0xC2, 0x00, 0x40, 0x00, 0x01, 0x00}));
    send(h, report({0x00, 0xC0}));
    send(h, report({0x00, 0xC1, 0x00, 0x00, 2, 0x12, 0x34}));
    send(h, report({0x00, 0xC3, 0x00, 0x40, 0x00, 0x00, 0x04}));
    device->faults().powerLossAtExchange = 2;
    device->faults().powerOffMs = 700;
    std::uint32_t code = 0;
    EXPECT_TRUE(trySet(h, report({0x00, 0xC1, 0x00, 0x00, 1, 0x00}), code));
    EXPECT_FALSE(trySet(h, report({0x00, 0xC4}), code));
    EXPECT_FALSE(device->present());
    loop.advance(699);
    EXPECT_FALSE(device->present());
    loop.advance(1);
    EXPECT_TRUE(device->present());
    EXPECT_EQ(device->mode(), Mode::Flash);
    EXPECT_EQ(device->chip().flash()[0x4000], 0x12);
    EXPECT_EQ(device->chip().flash()[0x4001], 0x34);
    EXPECT_EQ(device->chip().pageBuffer()[0], 0xFF) << "the page buffer is RAM";
}

TEST_F(SimFaultTest, PowerLossInTheFirmwareComesBackInTheFirmware) {
    start(Mode::Normal);
    send(h, report({0x5A, 0x06, 0x00, 0x00, 0x06, 1, 0x77}));  // work buffer
    device->powerLoss(100);
    loop.advance(100);
    EXPECT_EQ(device->mode(), Mode::Normal);
    EXPECT_EQ(device->chip().workBuffer()[0], 0xFF) << "reloaded from the eFlash copy";

    // A firmware whose first page is blank cannot start: the loader comes up.
    device->chip().erasePages(0x2000, 1);
    device->powerLoss(100);
    loop.advance(100);
    EXPECT_EQ(device->mode(), Mode::Flash);
    EXPECT_NE(openLoader(), kNoHandle);
}

} // namespace
} // namespace qv::sim::testing
