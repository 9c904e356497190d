// The start-up pass: options, family check, selection, and what it arms or
// records.
#include <gtest/gtest.h>

#include <functional>

#include "app/outcome.h"
#include "app/startup.h"
#include "support/app_fixture.h"

namespace qv {
namespace {

using testing::AppHarness;
using testing::AppTest;
using testing::imageWithVersion;

class Startup : public AppTest {};

struct OutcomeRow {
    const char* name;
    std::function<void(AppHarness&)> setUp;
    std::string line;
    int fontSize;
    std::uint8_t code;
    bool closesWithDefaults;  // PASS 1, FAIL 0
};

TEST_F(Startup, EveryVerdictEndsInItsRowOfTheOutcomeTable) {
    const OutcomeRow rows[] = {
        {"detect error",
         [](AppHarness& t) { t.writeIni("[OPTION]\nTALVIK_BCDDEVICE=2\n"); },
         "Detect error - update the device doesn't meet the update condition, the device can't be updated.", 16, 34,
         false},
        {"no update file", [](AppHarness&) {}, "Can not find update file.", 16, 34, false},
        {"no device for the version rule",
         [](AppHarness& t) {
             t.writeIni("[CHECKVERSION]\nPROJECTNAME1=ABC\n");
             t.addFile("fw.bin", imageWithVersion("ABC2.0"));
         },
         "Can not Find Device! - 1", 25, 32, false},
        {"two files",
         [](AppHarness& t) {
             t.addFile("a.bin", imageWithVersion("A"));
             t.addFile("b.bin", imageWithVersion("B"));
         },
         "Not more than two update files in the same folder.", 25, 33, false},
        {"up to date",
         [](AppHarness& t) {
             t.writeIni("[CHECKVERSION]\nPROJECTNAME1=ABC\n");
             AppHarness::setDeviceVersion(t.sim.hub.addDevice(), "ABC2.0");
             t.addFile("fw.bin", imageWithVersion("ABC2.0"));
         },
         "FW is up to date!", 25, 35, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        AppHarness t;
        row.setUp(t);
        t.createWindow();
        t.runStartup();
        const WindowModel& w = t.window();
        EXPECT_EQ(w.memo1.lines(), std::vector<std::string>{row.line});
        EXPECT_EQ(w.memo1.fontSize, row.fontSize);
        EXPECT_EQ(w.memo1.fontColour, colour::kRed);
        EXPECT_EQ(t.session().ResultCode, row.code);
        EXPECT_EQ(t.resultLog(), row.line + "\r\n");
        EXPECT_TRUE(w.borderIcons.systemMenu);
        EXPECT_FALSE(t.session().Timer4.enabled());
        EXPECT_FALSE(t.session().Timer1.enabled());
        EXPECT_EQ(w.closed, row.closesWithDefaults);
    }
}

TEST_F(Startup, ChecksumErrorIsRecordedAndTheFailKeyClosesTheWindow) {
    auto image = imageWithVersion("A");
    image[0x5000] ^= 0x01;
    addFile("fw.bin", image);
    writeIni("[CLOSEAPP]\nFAIL=1\n");
    createWindow();
    runStartup();
    EXPECT_EQ(window().memo1.lines().front(), "##Checksum Error##");
    EXPECT_EQ(window().memo1.fontSize, 18);
    EXPECT_EQ(session().ResultCode, 36);
    EXPECT_FALSE(session().Timer1.enabled());
    EXPECT_FALSE(session().Timer4.enabled());
    EXPECT_TRUE(window().closed);
}

TEST_F(Startup, DetectErrorShowsTheVersionOfTheAttachedDevice) {
    writeIni("[OPTION]\nTALVIK_BCDDEVICE=2\n");
    setDeviceVersion(sim.hub.addDevice({.revision = 0x0300}), "ABC1.0");
    createWindow();
    runStartup();
    EXPECT_EQ(session().ResultCode, 34);
    EXPECT_EQ(window().label2.caption, "Current firmware version: ABC1.0");
}

TEST_F(Startup, AnAcceptedImageArmsTheCodeRunWithoutTheFamilyCheck) {
    const auto image = addFile("fw.bin", imageWithVersion("A"));
    createWindow();
    runStartup();
    EXPECT_TRUE(session().Timer1.enabled());
    EXPECT_FALSE(session().Timer3.enabled());
    EXPECT_FALSE(session().Timer4.enabled());
    EXPECT_EQ(session().ImageBuffer, image);
    EXPECT_EQ(session().ResultCode, 0);
    EXPECT_EQ(count(window().memo2, "MainHWid is not 5Cxx"), 0u);
    EXPECT_FALSE(session().FF7APresent || session().FF6DPresent || session().FF4EPresent);
    EXPECT_TRUE(resultLogs().empty());
}

TEST_F(Startup, FamilyCheckRunsForOtherHardwareIds) {
    const std::pair<const char*, bool> cases[] = {
        {"USB\\VID_1C7A&PID_5C50", false},
        {"USB\\VID_1C7A&PID_7E41", false},
        {"USB\\VID_1C7A&PID_7E40", true},
        {"USB\\VID_1C7A&PID_5", true},
        {"", true},
    };
    for (const auto& [hardwareId, checked] : cases) {
        SCOPED_TRACE(hardwareId);
        AppHarness t;
        t.writeIni(std::string("[MAIN]\nHWID=") + hardwareId + "\n");
        t.sim.hub.addDevice({.family = sim::Family::FF7A});
        t.addFile("fw.bin", imageWithVersion("A"));
        t.createWindow();
        t.runStartup();
        EXPECT_EQ(t.count(t.window().memo2, "MainHWid is not 5Cxx"), checked ? 1u : 0u);
        EXPECT_EQ(t.session().FF7APresent, checked);
        EXPECT_FALSE(t.session().FF6DPresent);
        EXPECT_EQ(t.window().label1.caption == "Detach and attach Tablet PC then retry", checked);
    }
}

TEST_F(Startup, KillTaskEndsTheServiceOnlyWhenAsked) {
    createWindow();
    runStartup();
    EXPECT_TRUE(sim.processes.ended.empty());

    AppHarness t;
    t.writeIni("[option]\nkilltask=1\n");
    t.createWindow();
    t.runStartup();
    EXPECT_EQ(t.sim.processes.ended, std::vector<std::string>{"KarnaHostSvc.exe"});
}

TEST_F(Startup, AOneKilobyteFileArmsTheParameterRunUnchecked) {
    addFile("param.bin", sim::makeFirmwareImage({.kind = sim::ImageKind::ParameterFile}));
    createWindow();
    runStartup();
    EXPECT_TRUE(session().Timer3.enabled());
    EXPECT_FALSE(session().Timer1.enabled());
    EXPECT_EQ(session().ImageBuffer.size(), 1024u);
}

TEST_F(Startup, UpdateButtonModeWithoutDeviceAsksToPlugItIn) {
    writeIni("[OPTION]\nTALVIK_UPDATEBUTTON=1\n");
    addFile("fw.bin", imageWithVersion("A"));
    createWindow();
    runStartup();
    EXPECT_EQ(window().memo1.lines(),
              std::vector<std::string>{
                  "Do not find the device, please close the update APP and plug-in the device to try again."});
    EXPECT_EQ(window().width, 840);
    EXPECT_TRUE(window().button6.enabled);
    EXPECT_FALSE(window().button5.enabled);
    EXPECT_EQ(session().ResultCode, 0);
    EXPECT_TRUE(resultLogs().empty());
    EXPECT_FALSE(session().Timer1.enabled());
}

TEST_F(Startup, UpdateButtonModeWithoutDeviceAndWithoutOperatorEndsWith32) {
    writeIni("[OPTION]\nTALVIK_UPDATEBUTTON=1\n");
    addFile("fw.bin", imageWithVersion("A"));
    window().visible = false;
    createWindow();
    runStartup();
    EXPECT_EQ(session().ResultCode, 32);
    EXPECT_EQ(resultLog(),
              "Do not find the device, please close the update APP and plug-in the device to try again.\r\n");
}

TEST_F(Startup, UpdateButtonModeWithDeviceShowsTheInstructions) {
    writeIni("[OPTION]\nTALVIK_UPDATEBUTTON=1\n[CHECKVERSION]\nPROJECTNAME1=ABC\n");
    setDeviceVersion(sim.hub.addDevice(), "ABC1.0");
    addFile("fw.bin", imageWithVersion("ABC2.0"));
    createWindow();
    runStartup();
    EXPECT_EQ(window().memo1.lines(),
              (std::vector<std::string>{"Instructions:", "Step 1: ", "Close any other applications that are running.",
                                        "Step 2: ", "Keep power adapter connecting with Tablet PC.", "Step 3: ",
                                        "Press and hold CTRL key on the keyboard and tap Update button on the screen.",
                                        "", "New Firmware Version: ABC2.0\n"}));
    EXPECT_TRUE(window().button5.enabled);
    EXPECT_TRUE(window().button6.enabled);
    EXPECT_EQ(window().width, 840);
    EXPECT_EQ(window().label2.caption, "Current firmware version: ABC1.0");
    EXPECT_FALSE(session().Timer1.enabled());
    EXPECT_EQ(session().RunState, 2);
}

TEST_F(Startup, UpdateButtonModeWithTheDeviceInFlashModeStartsAtOnce) {
    writeIni("[OPTION]\nTALVIK_UPDATEBUTTON=1\n[CHECKVERSION]\nDONOTUPDATETHESAMEVERSION=1\n");
    sim.hub.addDevice({.mode = sim::Mode::Flash});
    addFile("fw.bin", imageWithVersion("ABC2.0"));
    createWindow();
    runStartup();
    EXPECT_EQ(session().DeviceModeState, 2);
    EXPECT_TRUE(session().Timer1.enabled());
    EXPECT_TRUE(session().Timer5.enabled());
    EXPECT_FALSE(window().button5.visible);
    EXPECT_FALSE(session().CtrlHeld);
}

TEST_F(Startup, AConfigurationValueThatIsNoNumberEndsThePassOnce) {
    writeIni("[OPTION]\nMAXSTATECUNT=abc\n");
    addFile("fw.bin", imageWithVersion("A"));
    createWindow();
    run(10000);
    EXPECT_EQ(window().memo1.lines(), (std::vector<std::string>{"'abc' is not a valid integer value",
                                                                "Please check MAXSTATECUNT in TAVO.ini."}));
    EXPECT_EQ(window().memo1.fontColour, colour::kRed);
    EXPECT_EQ(session().ResultCode, result_code::kConfigurationError);
    EXPECT_EQ(resultLogs().size(), 1u);
    EXPECT_FALSE(session().Timer4.enabled());
    EXPECT_FALSE(session().Timer1.enabled());
    EXPECT_FALSE(window().closed);  // FAIL 0
}

TEST_F(Startup, AWindowOptionThatIsNoNumberIsReportedTheSameWay) {
    writeIni("[MESSAGE]\nENABLE=yes\n");
    createWindow();
    run(10000);
    EXPECT_EQ(window().memo1.lines().front(), "'yes' is not a valid integer value");
    EXPECT_EQ(session().ResultCode, result_code::kConfigurationError);
    EXPECT_FALSE(session().Timer4.enabled());
}

class SilentStartup : public AppTest {
protected:
    SilentStartup() : AppTest(CommandLine({"/S"})) { window().visible = false; }
};

TEST_F(SilentStartup, AConversionErrorBeforeTheSwitchesStillClosesTheProgram) {
    writeIni("[MAIN]\nHWID=x\n[DEVICE]\nMAININDEX=zero\n");
    createWindow();
    runStartup();
    EXPECT_EQ(session().ResultCode, result_code::kConfigurationError);
    EXPECT_TRUE(window().closed);
}

TEST_F(SilentStartup, UpToDateInDockingModeDoesNotClose) {
    writeIni("[DEVICE]\nDOCKINGBURN=1\n[CHECKVERSION]\nPROJECTNAME1=ABC\n");
    setDeviceVersion(sim.hub.addDevice(), "ABC2.0");
    addFile("fw.bin", imageWithVersion("ABC2.0"));
    createWindow();
    runStartup();
    EXPECT_EQ(session().ResultCode, 35);
    EXPECT_FALSE(window().closed);
}

TEST_F(Startup, AVersionThatIsNoNumberEndsThePassWithItsCode) {
    writeIni("[CHECKVERSION]\nPROJECTNAME1=ABC\n");
    setDeviceVersion(sim.hub.addDevice(), "ABC1.0");
    addFile("fw.bin", imageWithVersion("ABCnext"));
    createWindow();
    run(5000);
    EXPECT_EQ(session().ResultCode, result_code::kBadVersionNumber);
    EXPECT_EQ(window().memo1.lines().size(), 1u);
    EXPECT_NE(window().memo1.lines().front().find("ABCnext"), std::string::npos);
    EXPECT_FALSE(session().Timer4.enabled());
    EXPECT_FALSE(session().Timer1.enabled());
}

TEST_F(Startup, ASelectedFileThatCannotBeReadEndsThePassWithItsCode) {
    listInOrder({"gone.bin"});
    createWindow();
    run(5000);
    EXPECT_EQ(session().ResultCode, result_code::kUnreadableUpdateFile);
    EXPECT_EQ(window().memo1.lines().front(), "Can not read update file.");
    EXPECT_TRUE(session().ImageBuffer.empty());
    EXPECT_FALSE(session().Timer4.enabled());
    EXPECT_FALSE(session().Timer1.enabled());
}

// A run that died right after removing the device left it off the device
// tree: the next pass brings it back before its search and updates it.
TEST_F(Startup, ADeviceAnEarlierRunLeftRemovedIsBroughtBackBeforeTheSearch) {
    auto& device = sim.hub.addDevice();
    device.removeFromTree();
    ASSERT_FALSE(device.present());
    const auto image = addFile("fw.bin", imageWithVersion("NEW1.0"));
    createWindow();
    run(120000);
    EXPECT_EQ(count(window().memo2,
                    "Brought back 1 device(s) an earlier run had left removed from the device tree."),
              1u);
    EXPECT_EQ(session().ResultCode, result_code::kSuccess);
    EXPECT_EQ(device.chip().flash()[0x3100], image[0x3100]);
}

// A sparse 3 GiB file: refused by its size, before any of it is read.
void addHugeFile(AppHarness& t, const std::string& name) {
    const auto path = t.folder() / name;
    { std::ofstream touch(path); }
    std::filesystem::resize_file(path, std::uint64_t{3} << 30);
}

TEST_F(Startup, AnOversizedOrVanishedFileEndsThePassAsUnreadable) {
    struct Case {
        const char* name;
        std::function<void(AppHarness&)> setUp;
        std::string line;
    };
    const Case cases[] = {
        {"the selected file is too large", [](AppHarness& t) { addHugeFile(t, "big.bin"); },
         "The update file big.bin is too large: 3221225472 bytes."},
        {"a candidate of the version rule is too large",
         [](AppHarness& t) {
             t.writeIni("[CHECKVERSION]\nPROJECTNAME1=ABC\n");
             AppHarness::setDeviceVersion(t.sim.hub.addDevice(), "ABC1.0");
             addHugeFile(t, "big.bin");
             t.addFile("fw.bin", imageWithVersion("ABC2.0"));
             t.listInOrder({"big.bin", "fw.bin"});
         },
         "The update file big.bin is too large: 3221225472 bytes."},
        {"a candidate of the version rule vanished",
         [](AppHarness& t) {
             t.writeIni("[CHECKVERSION]\nPROJECTNAME1=ABC\n");
             AppHarness::setDeviceVersion(t.sim.hub.addDevice(), "ABC1.0");
             t.addFile("fw.bin", imageWithVersion("ABC2.0"));
             t.listInOrder({"gone.bin", "fw.bin"});
         },
         "The update file gone.bin cannot be read."},
        {"the one file of the same-version rule is too large",
         [](AppHarness& t) {
             t.writeIni("[CHECKVERSION]\nDONOTUPDATETHESAMEVERSION=1\n");
             AppHarness::setDeviceVersion(t.sim.hub.addDevice(), "ABC1.0");
             addHugeFile(t, "big.bin");
         },
         "The update file big.bin is too large: 3221225472 bytes."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness t;
        c.setUp(t);
        t.createWindow();
        t.run(5000);
        EXPECT_EQ(t.session().ResultCode, result_code::kUnreadableUpdateFile);
        EXPECT_EQ(t.window().memo1.lines(), std::vector<std::string>{c.line});
        EXPECT_EQ(t.resultLog(), c.line + "\r\n");
        EXPECT_TRUE(t.session().ImageBuffer.empty());
        EXPECT_FALSE(t.session().Timer1.enabled());
    }
}

} // namespace
} // namespace qv
