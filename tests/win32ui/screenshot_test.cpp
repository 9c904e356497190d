// Renders the Windows window in its main states, reached by the updater
// itself on the simulated hub, to PNG files under the build folder
// (screenshots/) for a person to look at: start-up, update-button mode,
// programming with progress, success, failure with the error panel. Each
// state is checked as it is saved.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <filesystem>
#include <string>

#include "support/child_windows.h"
#include "support/windowed_session.h"

namespace qv::win32 {
namespace {

using testing::Capture;
using testing::imageWithVersion;
using testing::onScreen;
using testing::WindowedSession;
using testing::windowText;

void save(WindowedSession& w, const std::string& name) {
    w.refresh();
    const std::filesystem::path folder = std::filesystem::path(QV_BINARY_DIR) / "screenshots";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / (name + ".png")).string();
    EXPECT_TRUE(Capture::clientArea(w.frame()).savePng(path)) << path;
}

int progress(WindowedSession& w) {
    return static_cast<int>(SendMessageA(w.control(kProgressBar1), PBM_GETPOS, 0, 0));
}

TEST(Win32Screenshots, UpdateButtonModeFromStartToSuccess) {
    WindowedSession w;
    w.writeIni("[OPTION]\nTALVIK_UPDATEBUTTON=1\n[CHECKVERSION]\nPROJECTNAME1=ABC\n[CLOSEAPP]\nPASS=0\n");
    WindowedSession::setDeviceVersion(w.sim.hub.addDevice(), "ABC1.0");
    w.addFile("fw.bin", imageWithVersion("ABC2.0"));
    w.create();
    EXPECT_EQ(windowText(w.control(kMemo1)), "Initialization ...");
    EXPECT_TRUE(onScreen(w.control(imageId(2)), w.frame()));
    save(w, "1-start-up");

    w.run(300);
    ASSERT_TRUE(onScreen(w.control(buttonId(5)), w.frame()));
    EXPECT_TRUE(onScreen(w.control(imageId(5)), w.frame()));
    EXPECT_EQ(windowText(w.control(kLabel2)), "Current firmware version: ABC1.0");
    save(w, "2-update-button-mode");

    // Half-way through writing the flash, from inside the flow.
    bool saved = false;
    w.onRender = [&] {
        const int value = progress(w);
        if (!saved && value >= 45 && value <= 60 && onScreen(w.control(imageId(3)), w.frame())) {
            save(w, "3-programming");
            saved = true;
        }
    };
    w.tapUpdateWithControl();
    EXPECT_FALSE(IsWindowVisible(w.control(buttonId(5))));
    w.runUntil([&] { return w.closeBoxShown(); });
    EXPECT_TRUE(saved);
    EXPECT_EQ(w.session().ResultCode, std::uint8_t{0});
    EXPECT_TRUE(onScreen(w.control(imageId(4)), w.frame()));
    EXPECT_GT(Capture::clientArea(w.frame()).count(RGB(0, 0x80, 0), testing::placeIn(w.control(kMemo1), w.frame())),
              10);
    save(w, "4-success");
}

TEST(Win32Screenshots, FailureWithTheErrorPanel) {
    WindowedSession w;
    w.writeIni("[CLOSEAPP]\nFAIL=0\n");
    w.sim.hub.addDevice().faults().wrongSumOnPage = 3;  // the third page is written wrong
    w.addFile("fw.bin", imageWithVersion("ABC2.0"));
    w.create();
    w.runUntil([&] { return w.session().Timer2.enabled(); });
    w.run(500);
    ASSERT_TRUE(onScreen(w.control(kPanel1), w.frame()));
    EXPECT_EQ(windowText(w.control(kMemo1)), "Failure");
    EXPECT_TRUE(w.closeBoxShown());
    save(w, "5-failure");
}

} // namespace
} // namespace qv::win32
