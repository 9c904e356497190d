// The replay ports on a hand-written recording: answers, handles and the
// device tree come from it, the clock follows its times, and the first call
// it does not have next is handed over as a divergence, after which every
// call fails.
#include <gtest/gtest.h>

#include <sstream>

#include "app/replay_report.h"
#include "platform/replay_ports.h"
#include "platform/virtual_event_loop.h"

namespace {

using namespace qv;

std::string hexReport(std::uint8_t id, std::uint8_t opcode, std::uint8_t fill = 0) {
    FeatureReport report{};
    report.fill(fill);
    report[0] = id;
    report[1] = opcode;
    return reportHex(report);
}

const std::string kRecording =
    R"({"t":0,"op":"start","version":"x","platform":"y","arguments":[],"ini":""})" "\n"
    R"({"t":100,"op":"enumerate","index":0,"path":"/dev/hidraw1"})" "\n"
    R"({"t":100,"op":"open","path":"/dev/hidraw1","ok":true,"handle":7,"usagePage":65372,"usage":219,"vendorId":7290,"productId":23771,"version":258})" "\n"
    R"({"t":150,"op":"set","path":"/dev/hidraw1","report":")" + hexReport(0, 0xD0) + R"(","ok":true,"error":0})" "\n"
    R"({"t":160,"op":"get","path":"/dev/hidraw1","report":")" + hexReport(0, 0x00, 0x11) + R"(","ok":false,"error":31})" "\n"
    R"({"t":170,"op":"set","path":"/dev/hidraw1","report":")" + hexReport(0, 0xC4) + R"(","ok":true,"error":0})" "\n"
    R"({"t":900,"op":"end","resultCode":0,"exitCode":0})" "\n";

struct Replay {
    std::istringstream in{kRecording};
    VirtualEventLoop loop{5000};
    std::vector<ReplayDivergence> divergences;
    ReplayPorts ports{in, loop, [this](const ReplayDivergence& d) { divergences.push_back(d); }};
};

TEST(ReplayPorts, AnswersComeFromTheRecordingAtItsTimes) {
    Replay replay;
    ASSERT_TRUE(replay.ports.ok());
    EXPECT_EQ(replay.ports.interfacePath(0), "/dev/hidraw1");
    const HidHandle handle = replay.ports.open("/dev/hidraw1");
    EXPECT_EQ(handle, 7);
    ASSERT_TRUE(replay.ports.collectionCaps(handle));
    EXPECT_EQ(replay.ports.collectionCaps(handle)->usage, 0xDB);
    EXPECT_EQ(replay.ports.attributes(handle)->productId, 0x5CDB);
    FeatureReport verify{};
    verify[1] = 0xD0;
    std::uint32_t error = 0;
    EXPECT_TRUE(replay.ports.setFeature(handle, verify, error));
    EXPECT_EQ(replay.loop.tickCount(), 5150u);
    FeatureReport answer{};
    EXPECT_FALSE(replay.ports.getFeature(handle, answer, error));
    EXPECT_EQ(error, 31u);
    EXPECT_EQ(answer[2], 0x11);
    FeatureReport exit{};
    exit[1] = 0xC4;
    EXPECT_TRUE(replay.ports.setFeature(handle, exit, error));
    replay.ports.finish(0);
    EXPECT_TRUE(replay.divergences.empty());
}

TEST(ReplayPorts, TheFirstCallOffTheRecordingIsADivergence) {
    Replay replay;
    replay.ports.interfacePath(0);
    const HidHandle handle = replay.ports.open("/dev/hidraw1");
    FeatureReport clear{};
    clear[1] = 0xC0;  // the recording has 0xD0 here
    std::uint32_t error = 0;
    EXPECT_FALSE(replay.ports.setFeature(handle, clear, error));
    ASSERT_EQ(replay.divergences.size(), 1u);
    const ReplayDivergence& d = replay.divergences.front();
    EXPECT_EQ(d.exchange, 1u);
    EXPECT_EQ(d.line, 4u);
    EXPECT_EQ(d.reason, "the report differs");
    const std::string report = divergenceReport(d);
    EXPECT_NE(report.find("  recorded: set  VerifyPageBuffer\n"), std::string::npos) << report;
    EXPECT_NE(report.find("  actual:   set  ClearPageBuffer\n"), std::string::npos) << report;
    EXPECT_NE(report.find("differing report bytes: 1\n"), std::string::npos) << report;

    // Nothing answers any more, and nothing is reported twice.
    EXPECT_EQ(replay.ports.interfacePath(0), std::nullopt);
    EXPECT_FALSE(replay.ports.presentDevices().opened);
    replay.ports.finish(0);
    EXPECT_EQ(replay.divergences.size(), 1u);
}

TEST(ReplayPorts, EndingEarlyOrWithAnotherCodeIsADivergence) {
    {
        Replay replay;
        replay.ports.interfacePath(0);
        replay.ports.finish(1);
        ASSERT_EQ(replay.divergences.size(), 1u);
        EXPECT_EQ(replay.divergences[0].reason, "the program ended where the recording goes on");
    }
    {
        Replay replay;
        EXPECT_EQ(replay.ports.interfacePath(1), std::nullopt);  // the recording asks for index 0
        ASSERT_EQ(replay.divergences.size(), 1u);
        EXPECT_EQ(replay.divergences[0].reason, "the recording asks for index 0");
        EXPECT_NE(divergenceReport(replay.divergences[0]).find("  actual:   enumerate index 1\n"), std::string::npos);
    }
}

} // namespace
