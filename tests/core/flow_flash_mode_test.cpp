// Opening the sensor hub in normal or flash mode, the step-button flags, the
// fall-through to the loader, the releases and "Enter Flash Mode".
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "flow_fixture.h"
#include "programming/flash_mode.h"

namespace qv::testing {
namespace {

void setFamily(Session& session, sim::Family family) {
    session.FF7APresent = family == sim::Family::FF7A;
    session.FF6DPresent = family == sim::Family::FF6D;
    session.FF4EPresent = family == sim::Family::FF4E;
}

enum class Group4 { Unchanged, Hidden, BesideGroup2 };

struct NormalCase {
    const char* name;
    sim::Family family;
    std::size_t fileLength;
    bool enterFlashMode;     // Button2 afterwards (it starts enabled)
    bool upgradeParameters;  // Button4 afterwards
    bool notSupported;       // "Bin file size is not support!!"
    Group4 group4;
};

TEST(FlashModeControl, NormalModeReadiesTheButtonsTheFileSuits) {
    const NormalCase cases[] = {
        {"no file on 5C", sim::Family::FF5C, 0, true, false, true, Group4::Unchanged},
        {"126 K on 5C", sim::Family::FF5C, 126 * 1024, true, false, false, Group4::Hidden},
        {"192 K on 5C", sim::Family::FF5C, 0x30000, true, false, false, Group4::Hidden},
        {"125 K on 5C", sim::Family::FF5C, 125 * 1024, true, false, true, Group4::Unchanged},
        {"1 K on 5C", sim::Family::FF5C, 0x400, false, true, false, Group4::BesideGroup2},
        {"126 K on 7A", sim::Family::FF7A, 126 * 1024, true, false, false, Group4::Hidden},
        {"1 K on 7A", sim::Family::FF7A, 0x400, true, false, true, Group4::Unchanged},
        {"1 K on 6D", sim::Family::FF6D, 0x400, true, false, false, Group4::Hidden},
        {"56 K on 6D", sim::Family::FF6D, 0xE000, true, false, false, Group4::Hidden},
        {"126 K on 6D", sim::Family::FF6D, 0x1F800, true, false, true, Group4::Unchanged},
        {"126 K on 4E", sim::Family::FF4E, 0x1F800, true, false, false, Group4::Hidden},
        {"1 K on 4E", sim::Family::FF4E, 0x400, true, false, false, Group4::Hidden},
        {"128 K on 4E", sim::Family::FF4E, 0x20000, true, false, true, Group4::Unchanged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimSession sim;
        Session& session = sim.session;
        sim.hub.addDevice({.family = c.family});
        setFamily(session, c.family);
        session.ImageBuffer.assign(c.fileLength, 0xFF);
        auto& window = session.window;
        window.button2.enabled = true;
        window.button3.enabled = true;
        window.button4.enabled = false;
        window.groupBox4.bounds.top = 123;

        ReopenNormalMode(session);

        EXPECT_EQ(session.DeviceModeState, 1);
        EXPECT_EQ(session.link.FoundDeviceCount(), 1);
        EXPECT_EQ(window.button2.enabled, c.enterFlashMode);
        EXPECT_EQ(window.button4.enabled, c.upgradeParameters);
        EXPECT_EQ(window.button3.enabled, c.notSupported);  // untouched by a refused file
        EXPECT_EQ(window.memo2.contains("Bin file size is not support!!"), c.notSupported);
        const int expectedTop = c.group4 == Group4::Hidden         ? 480
                                : c.group4 == Group4::BesideGroup2 ? window.groupBox2.bounds.top
                                                                   : 123;
        EXPECT_EQ(window.groupBox4.bounds.top, expectedTop);
        EXPECT_EQ(window.memo1.lines(), std::vector<std::string>{"Initialization ..."});
    }
}

TEST(FlashModeControl, SizedImageLengthFollowsTheOption) {
    SimSession sim;
    sim.hub.addDevice({.family = sim::Family::FF5C});
    sim.session.options.SPECIALLYBINSIZEFOR5C80 = 64;
    sim.session.ImageBuffer.assign(64 * 1024, 0xFF);
    ReopenNormalMode(sim.session);
    EXPECT_TRUE(sim.session.window.button2.enabled);
    EXPECT_FALSE(sim.session.window.memo2.contains("Bin file size is not support!!"));
}

struct LoaderCase {
    const char* name;
    sim::Family family;
    std::uint16_t loaderUsage;
    bool altBefore;
    bool altAfter;
    const char* modeLine;
};

TEST(FlashModeControl, NormalModeFallsThroughToTheFamilysLoader) {
    const LoaderCase cases[] = {
        {"5C at DB", sim::Family::FF5C, 0xDB, true, true, "Mode:1"},  // keeps its earlier value
        {"5C at D0", sim::Family::FF5C, 0xD0, false, false, "Mode:1"},
        {"5C at DD", sim::Family::FF5C, 0xDD, false, true, "Mode:1"},
        {"7A", sim::Family::FF7A, 0, false, false, "Mode:3"},
        {"6D", sim::Family::FF6D, 0, false, false, "Mode:4"},
        {"4E", sim::Family::FF4E, 0, false, false, "Mode:6"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimSession sim;
        Session& session = sim.session;
        sim.hub.addDevice({.family = c.family, .mode = sim::Mode::Flash, .loaderUsage = c.loaderUsage});
        setFamily(session, c.family);
        session.ImageBuffer.assign(0x1F800, 0xFF);
        session.AltFlashDevice = c.altBefore;
        session.window.button2.enabled = true;

        ReopenNormalMode(session);

        EXPECT_EQ(session.DeviceModeState, 2);
        EXPECT_EQ(session.AltFlashDevice, c.altAfter);
        EXPECT_FALSE(session.window.button2.enabled);
        EXPECT_TRUE(session.window.button3.enabled);
        EXPECT_EQ(session.window.memo2.lines().front(), c.modeLine);  // the number as passed, once
        EXPECT_EQ(std::count_if(session.window.memo2.lines().begin(), session.window.memo2.lines().end(),
                                [](const std::string& l) { return l.rfind("Mode:", 0) == 0; }),
                  1);
        EXPECT_NE(session.link.handleAt(0), kNoHandle);
    }
}

TEST(FlashModeControl, NothingFoundReleasesEverything) {
    SimSession sim;
    Session& session = sim.session;
    session.ImageBuffer.assign(0x1F800, 0xFF);
    session.window.button2.enabled = true;
    session.window.button3.enabled = true;
    session.link.setFoundDeviceCount(3);

    OpenDeviceInMode(session, 1);

    EXPECT_EQ(session.DeviceModeState, 0);
    EXPECT_EQ(session.link.FoundDeviceCount(), 0);
    EXPECT_FALSE(session.window.button2.enabled);
    EXPECT_FALSE(session.window.button3.enabled);
    EXPECT_EQ(session.window.memo1.lines(), std::vector<std::string>{"Initialization ..."});
}

TEST(FlashModeControl, ReleaseAllAlwaysClearsTheDetection) {
    SimSession sim;
    Session& session = sim.session;
    auto& device = sim.hub.addDevice({.family = sim::Family::FF5C});
    session.ImageBuffer.assign(0x1F800, 0xFF);
    OpenDeviceInMode(session, 1);
    ASSERT_TRUE(session.window.button2.enabled);
    ASSERT_TRUE(device.vendorSessionOpen());
    session.window.button3.enabled = true;

    OpenDeviceInMode(session, 128);

    EXPECT_FALSE(session.window.button2.enabled);
    EXPECT_FALSE(session.window.button3.enabled);
    EXPECT_EQ(session.DeviceModeState, 0);
    EXPECT_EQ(sim.hub.openHandleCount(), 0u);
    EXPECT_TRUE(device.vendorSessionOpen());  // no closing handshake
    EXPECT_TRUE(session.window.memo2.contains("Mode:128"));
}

TEST(FlashModeControl, FinalReleaseSendsTheClosingHandshake) {
    SimSession sim;
    Session& session = sim.session;
    auto& device = sim.hub.addDevice({.family = sim::Family::FF5C});
    OpenDeviceInMode(session, 1);
    ASSERT_TRUE(device.vendorSessionOpen());

    OpenDeviceInMode(session, 0);

    EXPECT_FALSE(device.vendorSessionOpen());
    EXPECT_EQ(sim.hub.openHandleCount(), 0u);
    EXPECT_EQ(session.DeviceModeState, 0);
    EXPECT_EQ(session.link.FoundDeviceCount(), 0);
}

TEST(FlashModeControl, HandshakeFallsBackToReportId5A) {
    SimSession sim;
    Session& session = sim.session;
    auto& device = sim.hub.addDevice({.family = sim::Family::FF5C});
    session.options.REPORTID = 0x11;

    ReopenNormalMode(session);

    EXPECT_EQ(session.options.REPORTID, 0x5A);
    EXPECT_TRUE(session.window.memo2.contains("VORReportID=17"));
    EXPECT_TRUE(session.window.memo2.contains("VORReportID=90"));
    EXPECT_TRUE(device.vendorSessionOpen());
    EXPECT_EQ(session.DeviceModeState, 1);
}

TEST(FlashModeControl, FlashModeNumbersFollowTheFamily) {
    SimSession sim;
    const std::pair<sim::Family, std::uint8_t> cases[] = {
        {sim::Family::FF5C, 2}, {sim::Family::FF7A, 2}, {sim::Family::FF6D, 5}, {sim::Family::FF4E, 7}};
    for (const auto& [family, mode] : cases) {
        setFamily(sim.session, family);
        EXPECT_EQ(flashModeNumber(sim.session), mode);
    }
}

class EnterFlashModeTest : public FlowTest {};

TEST_F(EnterFlashModeTest, SwitchesTheChipToItsLoader) {
    auto& device = addDevice({.family = sim::Family::FF5C});
    session.ImageBuffer = image({.kind = sim::ImageKind::Layout126K});
    ReopenNormalMode(session);
    ASSERT_TRUE(session.window.button2.enabled);
    int runTicks = 0;
    session.Timer1.onTick([&] { ++runTicks; });
    session.setTimer(session.Timer1, true);
    const auto sleptBefore = sim.loop.sleptMilliseconds();

    Button2Click(session);

    EXPECT_EQ(device.mode(), sim::Mode::Flash);
    EXPECT_EQ(session.DeviceModeState, 2);
    EXPECT_FALSE(session.window.button2.enabled);
    EXPECT_TRUE(session.window.button3.enabled);
    EXPECT_EQ(session.window.memo1.lines(), std::vector<std::string>{"Enter Flash Mode."});
    EXPECT_EQ(runTicks, 0);  // the run's timer is off while the handler waits
    EXPECT_TRUE(session.Timer1.enabled());
    EXPECT_GE(sim.loop.sleptMilliseconds() - sleptBefore, 1000u);
    EXPECT_GE(sim.loop.elapsedMilliseconds(), 1000u + 2000u);
}

TEST_F(EnterFlashModeTest, DeviceThatStaysInItsFirmwareIsFoundAgain) {
    auto& device = addDevice({.family = sim::Family::FF5C});
    device.faults().refuseModeSwitch = true;
    session.ImageBuffer = image({.kind = sim::ImageKind::Layout126K});
    ReopenNormalMode(session);

    Button2Click(session);

    EXPECT_EQ(device.mode(), sim::Mode::Normal);
    EXPECT_EQ(session.DeviceModeState, 1);
    EXPECT_TRUE(session.window.button2.enabled);
    EXPECT_FALSE(session.window.button3.enabled);
}

TEST(EnterFlashMode, RescansForABootIdOutsideUsb) {
    struct Case {
        const char* bootId;
        int removeRescan;
        bool rescans;
    };
    const Case cases[] = {
        {"USB\\VID_1C7A&PID_5CDB", 1, false},
        {"HID\\VID_1C7A&PID_5CDB", 1, true},
        {"HID\\VID_1C7A&PID_5CDB", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bootId);
        SimSession sim;
        sim.hub.addDevice({.family = sim::Family::FF5C});
        sim.session.options.BOOT_HWID = c.bootId;
        sim.session.options.REMOVERESCAN = c.removeRescan;
        sim.session.ImageBuffer.assign(0x1F800, 0xFF);
        ReopenNormalMode(sim.session);

        Button2Click(sim.session);

        EXPECT_EQ(sim.session.window.memo1.contains("Rescan Device Manager!"), c.rescans);
        EXPECT_TRUE(sim.session.window.button3.enabled);
    }
}

} // namespace
} // namespace qv::testing
