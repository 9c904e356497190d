// The automatic runs on Timer1 (code) and Timer3 (parameters), driven
// through the whole program on virtual time.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/outcome.h"
#include "app/update_run.h"
#include "programming/flash_mode.h"
#include "station/fault_campaign.h"
#include "support/app_fixture.h"

namespace qv {
namespace {

using testing::AppTest;
using testing::imageWithVersion;

// What the code flash holds after the image was programmed: the firmware
// area as in the image, with the version text stamped into the slot.
void expectProgrammed(const sim::SimulatedDevice& device, const std::vector<std::uint8_t>& image) {
    EXPECT_TRUE(sim::firmwareAreaMatches(device.chip().flash(), image)) << "the firmware area differs from the image";
}

class Run : public AppTest {
protected:
    // Lines of a pane from `first` on.
    std::vector<std::string> linesFrom(const TextPane& pane, std::size_t first) const {
        const auto& lines = pane.lines();
        return {lines.begin() + static_cast<std::ptrdiff_t>(std::min(first, lines.size())), lines.end()};
    }
    std::size_t indexOf(const TextPane& pane, const std::string& line) const {
        const auto& lines = pane.lines();
        return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
    }
    // Lets the run tick until the window closes or the time is up.
    void runUntilClosed(std::uint32_t limitMs = 120000) {
        for (std::uint32_t t = 0; t < limitMs && !window().closed; t += 500) run(500);
    }
};

TEST(HalfwayTick, HalfOfTheLimitPlusOneTruncatedTowardZero) {
    EXPECT_EQ(halfwayTick(10), 6);
    EXPECT_EQ(halfwayTick(5), 3);
    EXPECT_EQ(halfwayTick(0), 1);
    EXPECT_EQ(halfwayTick(-1), 1);
    EXPECT_EQ(halfwayTick(-3), 0);
}

TEST_F(Run, WithoutDeviceRescansOnTickSixAndGivesUpOnTickEleven) {
    addFile("fw.bin", imageWithVersion("A"));
    createWindow();
    run(60000);
    const TextPane& trace = window().memo2;
    const std::size_t firstSeek = indexOf(trace, "State:1");
    const std::size_t rescan = indexOf(trace, "Mode:128");
    ASSERT_LT(firstSeek, rescan);
    const auto beforeRescan = std::vector<std::string>(trace.lines().begin() + static_cast<std::ptrdiff_t>(firstSeek),
                                                       trace.lines().begin() + static_cast<std::ptrdiff_t>(rescan));
    EXPECT_EQ(std::count(beforeRescan.begin(), beforeRescan.end(), "State:1"), 6);
    EXPECT_EQ(count(trace, "State:1"), 11u);
    EXPECT_EQ(count(trace, "Mode:2"), 1u);  // the rescan's search for the loader
    EXPECT_EQ(window().memo1.lines(), std::vector<std::string>{"Can not Find Device! - 1"});
    EXPECT_EQ(window().memo1.fontSize, 25);
    EXPECT_EQ(window().memo1.fontColour, colour::kRed);
    EXPECT_EQ(session().ResultCode, 1);
    EXPECT_EQ(resultLog(), "Can not Find Device! - 1\r\n");
    EXPECT_FALSE(session().Timer1.enabled());
    EXPECT_TRUE(session().Timer2.enabled());
    EXPECT_TRUE(window().borderIcons.systemMenu);
    EXPECT_FALSE(window().closed);
}

TEST_F(Run, TheHalfwayRescanRemovesAndRescansOnlyForABootIdOutsideUsb) {
    for (const char* bootId : {"USB\\VID_1C7A&PID_5CDB", "HID\\VID_1C7A&PID_5CDB"}) {
        SCOPED_TRACE(bootId);
        testing::AppHarness t;
        t.writeIni(std::string("[BOOT]\nHWID=") + bootId + "\n");
        t.addFile("fw.bin", imageWithVersion("A"));
        t.createWindow();
        t.run(12000);  // past the rescan of tick 6, before the time-out of tick 11
        EXPECT_EQ(t.session().ResultCode, 0);
        EXPECT_EQ(t.window().memo1.contains("Rescan Device Manager!"), bootId[0] == 'H');
        EXPECT_EQ(t.count(t.window().memo2, "Mode:128"), 1u);
    }
}

TEST_F(Run, ADeviceAlreadyInFlashModeIsProgrammedOnTheFirstTick) {
    auto& device = sim.hub.addDevice({.mode = sim::Mode::Flash});
    const auto image = imageWithVersion("NEW1.0", 7);
    createWindow();
    session().setTimer(session().Timer4, false);
    session().ImageBuffer = image;
    OpenDeviceInMode(session(), 2);
    session().RunState = 4;
    session().setTimer(session().Timer1, true);
    run(1000);
    EXPECT_EQ(count(window().memo2, "State:4"), 1u);
    EXPECT_EQ(session().ResultCode, 0);
    expectProgrammed(device, image);
    EXPECT_TRUE(window().closed);  // PASS 1
    const std::string log = resultLog();
    EXPECT_EQ(log.rfind("New OEM Version: NEW1.0\n\r\nOld OEM Version: ", 0), 0u) << log;
    EXPECT_TRUE(log.size() > 9 && log.compare(log.size() - 9, 9, "Success\r\n") == 0) << log;
}

TEST_F(Run, AWholeUpdateFromStartToSuccess) {
    auto& device = sim.hub.addDevice();
    const auto image = addFile("fw.bin", imageWithVersion("NEW1.0", 7));
    writeIni("[CLOSEAPP]\nPASS=0\n");
    createWindow();
    run(60000);
    EXPECT_EQ(session().ResultCode, 0);
    expectProgrammed(device, image);
    EXPECT_EQ(device.mode(), sim::Mode::Normal);
    EXPECT_EQ(sim.store.value, std::optional<std::string>("NEW1.0"));
    EXPECT_EQ(window().memo1.lines(), (std::vector<std::string>{
                                          "Instructions:", "Firmware update is completed and soon close menu."}));
    EXPECT_FALSE(session().Timer1.enabled());
    EXPECT_TRUE(window().button6.enabled);
    EXPECT_EQ(session().RunState, 4);  // the device is still attached
    EXPECT_EQ(window().label2.caption, "Current firmware version: NEW1.0");
    EXPECT_FALSE(window().closed);
}

TEST_F(Run, DockingProgramsDeviceAfterDevice) {
    writeIni("[DEVICE]\nDOCKINGBURN=1\n");
    const auto image = addFile("fw.bin", imageWithVersion("NEW1.0", 7));
    auto& first = sim.hub.addDevice();
    auto& second = sim.hub.addDevice({.attached = false});
    auto& third = sim.hub.addDevice({.attached = false});
    createWindow();
    for (sim::SimulatedDevice* device : {&first, &second, &third}) {
        if (!device->present()) device->plugIn();
        run(40000);
        expectProgrammed(*device, image);
        EXPECT_EQ(session().RunState, 5);  // waits for the device to go
        EXPECT_EQ(window().memo1.lines().back(), "Firmware update is completed and reinsert a new device.");
        device->unplug();
        run(5000);
        EXPECT_LE(session().RunState, 1);
    }
    EXPECT_EQ(session().ResultCode, 0);
    EXPECT_FALSE(window().closed);
    EXPECT_TRUE(session().Timer1.enabled());
}

TEST_F(Run, DockingWithoutDeviceRestartsTheStartupInsteadOfGivingUp) {
    writeIni("[DEVICE]\nDOCKINGBURN=1\n");
    addFile("fw.bin", imageWithVersion("A"));
    createWindow();
    run(60000);
    EXPECT_EQ(session().ResultCode, 0);
    EXPECT_GE(count(window().memo2, "State:0"), 3u);
    EXPECT_LE(session().RunTicks, 7);
    EXPECT_TRUE(session().Timer1.enabled());
    EXPECT_TRUE(resultLogs().empty());
}

TEST_F(Run, MaxStateCountZeroFailsOnTheFirstSeekTickAndStillRescans) {
    for (const char* docking : {"0", "1"}) {
        SCOPED_TRACE(docking);
        testing::AppHarness t;
        t.writeIni(std::string("[OPTION]\nMAXSTATECUNT=0\n[DEVICE]\nDOCKINGBURN=") + docking + "\n");
        t.addFile("fw.bin", imageWithVersion("A"));
        t.createWindow();
        t.run(20000);
        EXPECT_EQ(t.session().ResultCode, 1);
        EXPECT_EQ(t.count(t.window().memo2, "State:1"), 1u);
        const bool rescanned = t.count(t.window().memo2, "Mode:128") == 1;
        EXPECT_EQ(rescanned, std::string(docking) == "0");  // docking ends the tick before it
        EXPECT_EQ(t.window().memo1.lines(), std::vector<std::string>{"Can not Find Device! - 1"});
    }
}

TEST_F(Run, ADeviceThatNeverEntersFlashModeTimesOutInStateThree) {
    auto& device = sim.hub.addDevice();
    device.faults().refuseModeSwitch = true;
    addFile("fw.bin", imageWithVersion("A"));
    createWindow();
    run(90000);
    EXPECT_EQ(session().ResultCode, 3);
    EXPECT_EQ(window().memo1.lines(), std::vector<std::string>{"Can not Find Device! - 3"});
    EXPECT_EQ(resultLog(), "Can not Find Device! - 3\r\n");
    EXPECT_EQ(count(window().memo2, "State:2"), 1u);
}

TEST_F(Run, RefusedImagesEndTheRunWithTheirCodeAndTheCloseBox) {
    struct Case {
        const char* name;
        std::size_t offset;
        std::uint8_t flip;
        std::uint8_t code;
        const char* lastLine;
    };
    const Case cases[] = {
        {"clock", 0x87, 0x10, result_code::kClockMismatch, "Clock setting not match."},
        {"interrupt vectors", 0x100, 0x01, result_code::kIvtMismatch, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::AppHarness t;
        auto& device = t.sim.hub.addDevice();
        const std::vector<std::uint8_t> before(device.chip().flash().begin(), device.chip().flash().end());
        auto image = imageWithVersion("NEW1.0", 7);
        image[c.offset] ^= c.flip;
        t.addFile("fw.bin", image);
        t.writeIni("[CLOSEAPP]\nFAIL=1\n");
        t.createWindow();
        t.run(60000);
        EXPECT_EQ(t.session().ResultCode, c.code);
        EXPECT_TRUE(t.window().borderIcons.systemMenu);
        EXPECT_TRUE(t.window().closed);
        if (c.lastLine != nullptr) EXPECT_TRUE(t.window().memo1.contains(c.lastLine));
        EXPECT_TRUE(t.resultLogs().empty());
        EXPECT_TRUE(std::equal(before.begin(), before.end(), device.chip().flash().begin()));
    }
}

TEST_F(Run, AFailedProgrammingBlinksTheErrorPanel) {
    auto& device = sim.hub.addDevice();
    device.faults().wrongSumOnPage = 5;  // the fifth page arrives spoilt
    addFile("fw.bin", imageWithVersion("NEW1.0", 7));
    createWindow();
    run(60000);
    EXPECT_EQ(session().ResultCode, 16);
    EXPECT_EQ(window().memo1.lines(), std::vector<std::string>{"Failure"});
    EXPECT_TRUE(session().Timer2.enabled());
    EXPECT_TRUE(window().panel1.visible);
    EXPECT_TRUE(window().button6.enabled);
    EXPECT_FALSE(window().closed);
}

TEST_F(Run, ParameterRunWritesTheParameterArea) {
    auto& device = sim.hub.addDevice();
    const auto file = addFile("param.bin", sim::makeFirmwareImage({.kind = sim::ImageKind::ParameterFile}));
    createWindow();
    run(30000);
    EXPECT_EQ(session().ResultCode, 0);
    const auto stored = device.chip().storedParameters();
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), file.begin()));
    EXPECT_EQ(window().memo1.lines().back(), "Success");
    EXPECT_TRUE(window().closed);
}

TEST_F(Run, ParameterRunWithoutDeviceGivesUpAfterTheLimit) {
    addFile("param.bin", sim::makeFirmwareImage({.kind = sim::ImageKind::ParameterFile}));
    createWindow();
    run(30000);
    EXPECT_EQ(session().ResultCode, 1);
    EXPECT_EQ(window().memo1.lines(), std::vector<std::string>{"Can not Find Device! - 1"});
    EXPECT_FALSE(session().Timer3.enabled());
}

TEST_F(Run, ARefusedParameterFileLeavesAnAttendedWindowAsItIs) {
    sim.hub.addDevice();
    addFile("param.bin", sim::makeFirmwareImage({.kind = sim::ImageKind::ParameterFile, .dataLength = 0x40}));
    createWindow();
    run(30000);
    EXPECT_EQ(session().ResultCode, 0);
    EXPECT_EQ(window().memo1.lines().back(), "Error!! The Size of Parameters File is not match !!");
    EXPECT_FALSE(window().borderIcons.systemMenu);
    EXPECT_FALSE(window().closed);
}

class SilentRun : public AppTest {
protected:
    SilentRun() : AppTest(CommandLine({"/S"})) { window().visible = false; }
};

TEST_F(SilentRun, ARefusedParameterFileEndsTheProgramWith17) {
    sim.hub.addDevice();
    addFile("param.bin", sim::makeFirmwareImage({.kind = sim::ImageKind::ParameterFile, .dataLength = 0x40}));
    createWindow();
    run(30000);
    EXPECT_EQ(session().ResultCode, result_code::kParameterFailed);
    EXPECT_TRUE(window().closed);
    EXPECT_EQ(resultLog(), "Error!! The Size of Parameters File is not match !!\r\nFailure\r\n");
}

} // namespace
} // namespace qv
