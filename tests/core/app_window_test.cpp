// The window logic: creation, CTRL + "Update", "Close", the blinkers and the
// close sequence.
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "programming/flash_mode.h"
#include "support/app_fixture.h"

namespace qv {
namespace {

using testing::AppHarness;
using testing::AppTest;
using testing::imageWithVersion;

class Window : public AppTest {};

TEST_F(Window, CreationAsksToStayAwakeAndSetsUpTheWindow) {
    createWindow();
    EXPECT_EQ(sim.keepAwake.requests, 1);
    EXPECT_TRUE(sim.keepAwake.active);
    EXPECT_EQ(window().caption, "QuorvexUpdate v2.7.6.1");
    EXPECT_FALSE(window().borderIcons.systemMenu);
    EXPECT_EQ(window().height, 250);
    EXPECT_FALSE(window().groupBox1.visible || window().groupBox2.visible || window().groupBox3.visible);
    EXPECT_TRUE(window().image2.visible);
    EXPECT_FALSE(window().memo2.visible);
    EXPECT_TRUE(session().Timer4.enabled());
    EXPECT_FALSE(session().Timer1.enabled() || session().Timer2.enabled() || session().Timer3.enabled() ||
                 session().Timer5.enabled());
}

TEST_F(Window, DiagnosticViewAndTitleComeFromTheConfiguration) {
    writeIni("[MESSAGE]\nENABLE=1\n[OPTION]\nTITLENAME=Station 4\n");
    createWindow();
    EXPECT_EQ(window().caption, "Station 4 v2.7.6.1");
    EXPECT_TRUE(window().memo2.visible);
    EXPECT_FALSE(window().image2.visible);
}

TEST_F(Window, ClosingSavesTheDiagnosticPaneReleasesTheDeviceAndEndsKeepAwake) {
    writeIni("[MESSAGE]\nENABLE=1\n");
    auto& device = sim.hub.addDevice();
    createWindow();
    ReopenNormalMode(session());
    ASSERT_TRUE(device.vendorSessionOpen());
    window().memo2.append("line ending in LF\n");
    const std::string diagnostics = window().memo2.textForLog();
    const auto sleptBefore = sim.loop.sleptMilliseconds();
    FormClose(session());
    EXPECT_GE(sim.loop.sleptMilliseconds() - sleptBefore, 500u);
    const auto saved = testing::readBytes(folder() / "Mesaage.log");
    EXPECT_EQ(std::string(saved.begin(), saved.end()), diagnostics);  // saved before the device is released
    EXPECT_NE(diagnostics.find("line ending in LF\n\r\n"), std::string::npos);
    EXPECT_FALSE(device.vendorSessionOpen());
    EXPECT_EQ(sim.hub.openHandleCount(), 0u);
    EXPECT_EQ(sim.keepAwake.releases, 1);
    EXPECT_TRUE(window().closed);
    session().setTimer(session().Timer1, true);
    EXPECT_FALSE(session().Timer1.enabled());  // the timers are gone with the window

    FormClose(session());  // a second close changes nothing
    EXPECT_EQ(sim.keepAwake.releases, 1);
}

TEST_F(Window, ClosingWithTheDiagnosticPaneHiddenWritesNoLog) {
    createWindow();
    Button6Click(session());  // disabled: nothing happens
    EXPECT_FALSE(window().closed);
    window().button6.enabled = true;
    Button6Click(session());
    EXPECT_TRUE(window().closed);
    EXPECT_FALSE(std::filesystem::exists(folder() / "Mesaage.log"));
    EXPECT_EQ(sim.keepAwake.releases, 1);
}

class UpdateButton : public AppTest {
protected:
    UpdateButton() {
        writeIni("[OPTION]\nTALVIK_UPDATEBUTTON=1\n[CHECKVERSION]\nPROJECTNAME1=ABC\n");
        setDeviceVersion(sim.hub.addDevice(), "ABC1.0");
        addFile("fw.bin", imageWithVersion("ABC2.0"));
        createWindow();
        runStartup();
    }
    bool started() { return session().Timer1.enabled(); }
};

TEST_F(UpdateButton, ATapWithoutCtrlChangesNothing) {
    ASSERT_TRUE(window().button5.enabled);
    Button5Click(session());
    EXPECT_FALSE(started());
    EXPECT_TRUE(window().button5.visible);

    FormKeyDown(session(), 17);
    FormKeyUp(session(), 17);  // released before the tap
    Button5Click(session());
    EXPECT_FALSE(started());
    FormKeyDown(session(), 16);  // another key
    Button5Click(session());
    EXPECT_FALSE(started());
}

TEST_F(UpdateButton, CtrlAndTapStartsTheRunOnce) {
    FormKeyDown(session(), kVkControl);
    Button5Click(session());
    FormKeyUp(session(), kVkControl);
    EXPECT_TRUE(started());
    EXPECT_FALSE(window().button5.visible || window().button5.enabled);
    EXPECT_FALSE(window().button6.enabled);
    EXPECT_FALSE(window().image5.visible);
    EXPECT_EQ(window().image6.bounds.top, 32);
    EXPECT_EQ(window().image7.bounds.height, 145);
    EXPECT_TRUE(session().Timer5.enabled());
    EXPECT_TRUE(window().memo1.lines().empty());
    EXPECT_EQ(window().label2.caption, "");

    // A second tap on the hidden button does nothing more.
    session().setTimer(session().Timer1, false);
    FormKeyDown(session(), kVkControl);
    Button5Click(session());
    EXPECT_FALSE(started());
}

TEST_F(UpdateButton, TheWarningBlinksWhileTheRunWaits) {
    FormKeyDown(session(), kVkControl);
    Button5Click(session());
    run(500);
    const bool blue = window().image6.visible;
    EXPECT_NE(window().image6.visible, window().image7.visible);
    run(500);
    EXPECT_NE(window().image6.visible, blue);
    EXPECT_NE(window().image6.visible, window().image7.visible);
}

TEST(Blinkers, ErrorPanelAlternatesSkyBlueAndCream) {
    AppHarness t;
    Timer2Timer(t.session());
    EXPECT_TRUE(t.window().panel1.visible);
    EXPECT_TRUE(t.window().image8.visible);
    EXPECT_EQ(t.window().panel1.colour, colour::kCream);
    EXPECT_EQ(t.window().label1Background, colour::kGreen);
    Timer2Timer(t.session());
    EXPECT_EQ(t.window().panel1.colour, colour::kSkyBlue);
    EXPECT_EQ(t.window().label1Background, colour::kLime);
}

TEST(Blinkers, WarningShowsExactlyOnePicture) {
    AppHarness t;
    ASSERT_TRUE(t.window().image6.visible && t.window().image7.visible);  // as designed, below the window
    Timer5Timer(t.session());
    EXPECT_FALSE(t.window().image6.visible);
    EXPECT_TRUE(t.window().image7.visible);
    Timer5Timer(t.session());
    EXPECT_TRUE(t.window().image6.visible);
    EXPECT_FALSE(t.window().image7.visible);
}

} // namespace
} // namespace qv
