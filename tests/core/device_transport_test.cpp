#include <gtest/gtest.h>

#include <array>
#include <string>

#include "core/fakes/device_link_fixture.h"

namespace qv::test {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;

class TransportTest : public DeviceLinkTest {};

TEST_F(TransportTest, SetSendsReportIdPayloadAndZerosAfterIt) {
    openLoader();
    std::array<std::uint8_t, 8> payload{0xC1, 0x39, 0x00, 0x02, 0xAB, 0xCD, 0x77, 0x77};
    ASSERT_TRUE(link.FeatureTransaction(link.handleAt(0), true, 0x5A, payload, 6));

    ASSERT_EQ(bus.exchanges.size(), 1u);
    const auto& sent = bus.exchanges[0].report;
    EXPECT_EQ(sent[0], 0x5A);
    EXPECT_TRUE(std::equal(payload.begin(), payload.begin() + 6, sent.begin() + 1));
    EXPECT_THAT(std::vector<std::uint8_t>(sent.begin() + 7, sent.end()), Each(0));
    EXPECT_TRUE(memo2().empty());
    EXPECT_EQ(loop.sleptMilliseconds(), 0u);
}

TEST_F(TransportTest, EmptySlotFailsTenTimesWithTheSystemErrorCode) {
    std::array<std::uint8_t, 1> payload{0xC4};
    EXPECT_FALSE(link.FeatureTransaction(link.handleAt(0), true, 0, payload, 1));
    EXPECT_EQ(bus.exchanges.size(), 10u);
    EXPECT_EQ(memo2(), std::vector<std::string>(10, "failed HidD_SetFeature - 6"));
    EXPECT_EQ(loop.sleptMilliseconds(), 1000u);
}

TEST_F(TransportTest, GetThatFailsOnceThenSucceedsKeepsTheSecondAnswer) {
    openLoader();
    bus.failNext = {31};
    bus.answers = {answerWithPayload({0x11, 0x22, 0x33, 0x44})};
    std::array<std::uint8_t, 5> payload{9, 9, 9, 9, 9};
    ASSERT_TRUE(link.FeatureTransaction(link.handleAt(0), false, 0, payload, 3));
    EXPECT_THAT(payload, ElementsAre(0x11, 0x22, 0x33, 9, 9)) << "only `length` bytes are copied";
    EXPECT_THAT(memo2(), ElementsAre("failed HidD_GetFeature - 31"));
    EXPECT_EQ(bus.exchanges.size(), 2u);
    EXPECT_EQ(loop.sleptMilliseconds(), 100u);
}

TEST_F(TransportTest, CommandDelayIsPaidOncePerExchange) {
    openLoader();
    options.ALLHIDCOMMANDDELAY = 20;
    std::array<std::uint8_t, 1> payload{0xC0};
    ASSERT_TRUE(link.FeatureTransaction(link.handleAt(0), true, 0, payload, 1));
    EXPECT_EQ(loop.sleptMilliseconds(), 20u);
    EXPECT_EQ(bus.exchanges.back().tick, 20u) << "the pause comes before the exchange";

    const auto before = loop.sleptMilliseconds();
    EXPECT_FALSE(link.FeatureTransaction(kNoHandle, true, 0, payload, 1));
    EXPECT_EQ(loop.sleptMilliseconds() - before, 20u + 10u * 100u);
}

TEST_F(TransportTest, LengthBeyondThePayloadOrTheReportIsRefused) {
    openLoader();
    std::array<std::uint8_t, 4> small{};
    EXPECT_FALSE(link.FeatureTransaction(link.handleAt(0), false, 0, small, 5));
    std::array<std::uint8_t, 70> large{};
    EXPECT_FALSE(link.FeatureTransaction(link.handleAt(0), true, 0, large, 64));
    EXPECT_TRUE(bus.exchanges.empty());
    EXPECT_TRUE(link.FeatureTransaction(link.handleAt(0), false, 0, large, 63));
}

TEST_F(TransportTest, WaitWithMessagesReturnsOnceMoreThanTheTimeHasPassed) {
    const auto start = loop.tickCount();
    link.WaitWithMessages(0);
    EXPECT_EQ(loop.tickCount() - start, 1u);
    link.WaitWithMessages(500);
    EXPECT_EQ(loop.tickCount() - start, 1u + 501u);
    EXPECT_EQ(loop.sleptMilliseconds(), 0u) << "waiting processes events, it does not sleep";
}

TEST(TransportWait, SurvivesTheTickCounterWrapping) {
    VirtualEventLoop loop(0xFFFFFF00u);
    ScriptedHidBus bus;
    Options options;
    WindowModel window;
    std::ostringstream out;
    DeviceLink link(bus, loop, [&] { return linkSettingsFrom(options); }, linkSinksInto(window), out);
    link.WaitWithMessages(1000);
    EXPECT_EQ(loop.elapsedMilliseconds(), 1001u);
}

} // namespace
} // namespace qv::test
