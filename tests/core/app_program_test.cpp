// The whole program through runProgram, as main runs it: window creation,
// the event loop until the window closes (or, hidden, until no run is left
// to tick), the device's final release and the exit code.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/program.h"
#include "platform/virtual_event_loop.h"
#include "station/fault_campaign.h"
#include "station/simulated_station.h"
#include "support/sim_session.h"

namespace qv {
namespace {

class Program : public ::testing::Test {
protected:
    void writeFile(const std::string& name, const std::string& bytes) {
        std::ofstream file(scratch.path() / name, std::ios::binary | std::ios::trunc);
        file << bytes;
    }
    std::vector<std::uint8_t> addImage(const std::string& oem) {
        const auto image = testing::imageWithVersion(oem, 7);
        writeFile("fw.bin", std::string(image.begin(), image.end()));
        return image;
    }
    int run(std::vector<std::string> parameters, std::function<void(Session&)> attach = {}) {
        return runProgram(loop, station, CommandLine(std::move(parameters)), attach);
    }

    testing::ScratchDirectory scratch{"qv-program"};
    VirtualEventLoop loop;
    sim::SimulatedStation station{loop, scratch.folder()};
    sim::SimulatedHub& hub = station.hub;
    NoKeepAwake& keepAwake = station.keepAwake;
};

TEST_F(Program, ASilentUpdateEndsWithSuccessAndTheDeviceReleased) {
    auto& device = hub.addDevice();
    const auto image = addImage("NEW1.0");
    EXPECT_EQ(run({"/S"}), 0);
    EXPECT_TRUE(sim::firmwareAreaMatches(device.chip().flash(), image));
    // The steps after the closing outcome reopened the device; it still got
    // its closing handshake last.
    EXPECT_FALSE(device.vendorSessionOpen());
    EXPECT_EQ(hub.openHandleCount(), 0u);
    EXPECT_EQ(keepAwake.requests, 1);
    EXPECT_EQ(keepAwake.releases, 1);
    EXPECT_FALSE(keepAwake.active);
}

// An operator who closes the window a minute after an outcome appeared.
class OperatorLoop : public VirtualEventLoop {
public:
    void processEvents(std::uint32_t maxWaitMs) override {
        VirtualEventLoop::processEvents(maxWaitMs);
        if (session == nullptr || session->window.closed || session->ResultCode == 0) return;
        if (outcomeSeenAt == 0) outcomeSeenAt = elapsedMilliseconds();
        if (elapsedMilliseconds() - outcomeSeenAt >= 60000 && session->window.borderIcons.systemMenu) {
            session->closeMainWindow();
        }
    }
    Session* session = nullptr;
    std::uint64_t outcomeSeenAt = 0;
};

TEST_F(Program, AShownWindowWaitsForTheOperatorToClose) {
    addImage("NEW1.0");
    OperatorLoop operatorLoop;
    bool shown = false;
    const int exitCode =
        runProgram(operatorLoop, station, CommandLine{}, [&](Session& session) {
            operatorLoop.session = &session;
            shown = session.window.visible;
        });
    EXPECT_TRUE(shown);
    EXPECT_EQ(exitCode, 1);  // no device; FAIL 0 keeps the window open
    EXPECT_GE(operatorLoop.elapsedMilliseconds() - operatorLoop.outcomeSeenAt, 60000u);
}

TEST_F(Program, HeadlessRunWithoutViewKeepsTheClosingRulesAndStillEnds) {
    addImage("NEW1.0");
    writeFile("TAVO.ini", "[CLOSEAPP]\r\nFAIL=0\r\n[OPTION]\r\nRETURNCODETYPE=1\r\n");
    EXPECT_EQ(run({}), 3);
    EXPECT_EQ(keepAwake.releases, 1);
}

TEST_F(Program, SilentUpdateButtonModeTapsUpdateItself) {
    auto& device = hub.addDevice();
    const auto image = addImage("NEW1.0");
    writeFile("TAVO.ini", "[OPTION]\r\nTALVIK_UPDATEBUTTON=1\r\n[CHECKVERSION]\r\nDONOTUPDATETHESAMEVERSION=1\r\n");
    EXPECT_EQ(run({"/S"}), 0);
    EXPECT_TRUE(sim::firmwareAreaMatches(device.chip().flash(), image));
}

TEST_F(Program, DiagnosticLogIsWrittenAtTheEnd) {
    addImage("NEW1.0");
    writeFile("TAVO.ini", "[MESSAGE]\r\nENABLE=1\r\n");
    EXPECT_EQ(run({"/S"}), 1);
    std::ifstream log(scratch.path() / "Mesaage.log", std::ios::binary);
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_NE(text.str().find("State:1\r\n"), std::string::npos);
}

} // namespace
} // namespace qv
