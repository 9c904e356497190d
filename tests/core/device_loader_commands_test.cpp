#include <gtest/gtest.h>

#include <functional>

#include "core/fakes/device_link_fixture.h"

namespace qv::test {
namespace {

using ::testing::ElementsAre;

class LoaderCommandsTest : public DeviceLinkTest {
protected:
    // Slot 0 and slot 1 hold two devices, MAININDEX = 1: the loader commands
    // must go to slot 0, the running-firmware commands to slot 1.
    void openTwoSlots() {
        bus.interfaces = {{kRunningCollection}, {kRunningCollection}};
        link.OpenMatchingDevices(kRunningCollection.usagePage, kRunningCollection.usage);
        ASSERT_EQ(link.FoundDeviceCount(), 2);
        options.MAININDEX = 1;
        window.memo2.clear();
    }
};

struct SetCase {
    const char* what;
    std::function<void(DeviceLink&)> send;
    unsigned slot;
    std::vector<std::uint8_t> report;  // report id, then the payload
};

TEST_F(LoaderCommandsTest, EachCommandSendsItsWireLayoutOnItsSlot) {
    openTwoSlots();
    options.REPORTID = 0x42;
    const std::uint8_t chunk[3] = {0xA1, 0xB2, 0xC3};
    const SetCase cases[] = {
        {"flash-mode request", [](DeviceLink& l) { l.RequestFlashMode(); }, 1, {0x42, 0x09, 0x00}},
        {"clear page buffer", [](DeviceLink& l) { l.ClearPageBuffer(); }, 0, {0x00, 0xC0}},
        {"write page buffer", [&](DeviceLink& l) { l.WritePageBuffer(0x0039, 3, chunk); }, 0,
         {0x00, 0xC1, 0x39, 0x00, 0x03, 0xA1, 0xB2, 0xC3}},
        {"erase", [](DeviceLink& l) { l.EraseFlash(0x002000, 118); }, 0, {0x00, 0xC2, 0x00, 0x20, 0x00, 0x76, 0x00}},
        {"program page", [](DeviceLink& l) { l.ProgramPage(0x012C00, 1024); }, 0,
         {0x00, 0xC3, 0x00, 0x2C, 0x01, 0x00, 0x04}},
        {"exit flash mode", [](DeviceLink& l) { l.ExitFlashMode(); }, 0, {0x00, 0xC4}},
        {"write memory byte", [](DeviceLink& l) { l.WriteMemoryByte(0x001234, 0x07); }, 1,
         {0x5A, 0x06, 0x34, 0x12, 0x00, 0x01, 0x07}},
        {"write memory byte, 0xF0 space", [](DeviceLink& l) { l.WriteMemoryByte(0xF02001, 0xAB); }, 1,
         {0x5A, 0x08, 0x01, 0x20, 0xF0, 0x01, 0xAB}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bus.exchanges.clear();
        c.send(link);
        ASSERT_EQ(bus.exchanges.size(), 1u);
        EXPECT_TRUE(bus.exchanges[0].isSet);
        EXPECT_EQ(bus.exchanges[0].handle, link.handleAt(c.slot));
        EXPECT_TRUE(reportIs(bus.exchanges[0].report, c.report));
    }
    EXPECT_TRUE(memo2().empty());
}

TEST_F(LoaderCommandsTest, FlashOperationsPauseAfterwardsAndBufferWritesPauseWhenConfigured) {
    openLoader();
    const std::uint8_t byte = 0;
    link.WritePageBuffer(0, 1, &byte);
    EXPECT_EQ(loop.sleptMilliseconds(), 0u);
    options.WRITEFLASHDATADELAY = 7;
    link.WritePageBuffer(0, 1, &byte);
    EXPECT_EQ(loop.sleptMilliseconds(), 7u);
    link.EraseFlash(0x2000, 1);
    link.ProgramPage(0x2000, 1024);
    EXPECT_EQ(loop.sleptMilliseconds(), 7u + 5u + 5u);
}

TEST_F(LoaderCommandsTest, PageBufferWritesOutsideTheBufferOrTheReportAreRefused) {
    openLoader();
    link.ClearPageBuffer();
    bus.exchanges.clear();
    const std::vector<std::uint8_t> data(64, 0x11);
    link.WritePageBuffer(1000, 57, data.data());  // would end past 1024
    link.WritePageBuffer(0, 58, data.data());     // longer than a report carries
    link.WritePageBuffer(0, 5, nullptr);
    EXPECT_TRUE(bus.exchanges.empty());
    for (auto byte : link.PageBufferMirror()) ASSERT_EQ(byte, 0xFF);

    link.WritePageBuffer(967, 57, data.data());  // ends exactly at 1024
    EXPECT_EQ(bus.exchanges.size(), 1u);
    EXPECT_EQ(link.PageBufferMirror()[1023], 0x11);
}

TEST_F(LoaderCommandsTest, VerifyPageBufferComparesTheMirrorWithTheDeviceSum) {
    openLoader();
    link.ClearPageBuffer();  // 1024 x 0xFF: sum 0x3FC00, 0xFC00 in 16 bits
    const std::uint8_t two[2] = {0x01, 0x02};
    link.WritePageBuffer(10, 2, two);  // 0xFC00 - 0xFF - 0xFF + 1 + 2 = 0xFA05
    bus.exchanges.clear();

    bus.answers = {answerWithPayload({0xEE, 0x05, 0xFA})};
    EXPECT_EQ(link.VerifyPageBuffer(), 0);
    EXPECT_TRUE(standardOutput.str().empty());
    ASSERT_EQ(bus.exchanges.size(), 2u);
    EXPECT_TRUE(reportIs(bus.exchanges[0].report, {0x00, 0xD0}));
    EXPECT_FALSE(bus.exchanges[1].isSet);

    bus.answers = {answerWithPayload({0x00, 0x34, 0x12})};
    EXPECT_EQ(link.VerifyPageBuffer(), 0xFA05 - 0x1234);
    EXPECT_EQ(standardOutput.str(), "Checksum0: 64005(FA05h)\nChecksum1: 4660(1234h)\n");
}

TEST_F(LoaderCommandsTest, ReadFlashChunkCopiesOnlyTheAnsweredData) {
    openLoader();
    FeatureReport answer{};
    for (std::size_t i = 1; i < answer.size(); ++i) answer[i] = static_cast<std::uint8_t>(i);
    bus.answers = {answer};
    std::vector<std::uint8_t> destination(8, 0xEE);
    link.ReadFlashChunk(0x2038, 4, destination.data());

    ASSERT_EQ(bus.exchanges.size(), 2u);
    EXPECT_TRUE(reportIs(bus.exchanges[0].report, {0x00, 0xD1, 0x38, 0x20, 0x00, 0x04}));
    EXPECT_THAT(destination, ElementsAre(6, 7, 8, 9, 0xEE, 0xEE, 0xEE, 0xEE)) << "report bytes 6..9";

    bus.exchanges.clear();
    link.ReadFlashChunk(0x2038, 57, destination.data());  // more than one answer carries
    EXPECT_TRUE(bus.exchanges.empty());
}

// --- Vendor handshake --------------------------------------------------------

const std::vector<std::uint8_t> kHandshakeReport = {0x5A, 'V', 'O', 'R', ' ', 'T', 'e', 'c', 'h',
                                                    '.',  ' ', 'I', 'n', 'c', '.', 0};

FeatureReport echoOf(const FeatureReport& lastSet) { return lastSet; }

struct HandshakeCase {
    const char* what;
    bool wantEcho;
    std::vector<bool> deviceEchoes;  // per Get, in order
    unsigned pairs;
    bool result;
    std::uint64_t sleptMs;
};

TEST_F(LoaderCommandsTest, HandshakeRepeatsThePairOnceWhenTheEchoStateIsNotTheWantedOne) {
    const HandshakeCase cases[] = {
        {"echoing device", true, {true}, 1, true, 300},
        {"echoes on the second try", true, {false, true}, 2, true, 500},
        {"never echoes", true, {false, false}, 2, false, 500},
        {"closing: no echo wanted", false, {false}, 1, true, 300},
        {"closing: still echoes", false, {true, true}, 2, false, 500},
    };
    openRunningFirmware();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bus.exchanges.clear();
        window.memo2.clear();
        const auto sleptBefore = loop.sleptMilliseconds();
        std::size_t get = 0;
        bus.answer = [&](const FeatureReport& lastSet) {
            const bool echo = get < c.deviceEchoes.size() && c.deviceEchoes[get];
            ++get;
            return echo ? echoOf(lastSet) : FeatureReport{};
        };
        EXPECT_EQ(link.VendorHandshake(c.wantEcho), c.result);
        EXPECT_EQ(bus.sets().size(), c.pairs);
        EXPECT_EQ(bus.gets().size(), c.pairs);
        for (const auto& set : bus.sets()) EXPECT_TRUE(reportIs(set.report, kHandshakeReport));
        EXPECT_THAT(memo2(), ElementsAre("VORReportID=90"));
        EXPECT_EQ(loop.sleptMilliseconds() - sleptBefore, c.sleptMs);
    }
}

TEST_F(LoaderCommandsTest, HandshakeCountsAFailedGetAsNoEcho) {
    openRunningFirmware();
    bus.answer = echoOf;
    bus.failedGetFillsReport = true;  // the failed Get's buffer holds the echo all the same
    bus.failNextGets.assign(10, 5);   // every attempt of the first Get fails
    EXPECT_TRUE(link.VendorHandshake(true));
    EXPECT_EQ(bus.sets().size(), 2u) << "the failed Get counted as no echo, so the pair was repeated";
    EXPECT_EQ(std::count(memo2().begin(), memo2().end(), "failed HidD_GetFeature - 5"), 10);
}

TEST_F(LoaderCommandsTest, HandshakeWithAnEmptySlotSendsAndLogsNothing) {
    EXPECT_FALSE(link.VendorHandshake(true));
    EXPECT_TRUE(bus.exchanges.empty());
    EXPECT_TRUE(memo2().empty());
}

TEST_F(LoaderCommandsTest, HandshakeUsesTheConfiguredReportIdAndSlot) {
    openTwoSlots();
    options.REPORTID = 7;
    bus.answer = echoOf;
    EXPECT_TRUE(link.VendorHandshake(true));
    EXPECT_EQ(bus.exchanges[0].handle, link.handleAt(1));
    EXPECT_EQ(bus.exchanges[0].reportId(), 7);
    EXPECT_EQ(bus.exchanges[1].reportId(), 7);
    EXPECT_THAT(memo2(), ElementsAre("VORReportID=7"));
}

} // namespace
} // namespace qv::test
