// The 1 KiB code patch flow on an FF6D-family loader, and the shared end of
// programming: leaving flash mode, re-enumeration, the outcome display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flow_fixture.h"
#include "programming/code_patch.h"
#include "programming/flash_mode.h"

namespace qv::testing {
namespace {

class CodePatchTest : public FlowTest {
protected:
    sim::SimulatedDevice& addLoader() {
        auto& device = addDevice({.family = sim::Family::FF6D, .mode = sim::Mode::Flash, .chipId = {0x6D, 0x10, 0x03}});
        session.FF6DPresent = true;
        OpenDeviceInMode(session, 5);
        EXPECT_EQ(session.DeviceModeState, 2);
        return device;
    }
};

TEST_F(CodePatchTest, ProgramsThePatchAndBringsTheChipBack) {
    auto& device = addLoader();
    session.ImageBuffer = image({.kind = sim::ImageKind::CodePatch});
    recordMemo1();
    sim.hub.setLatency(1);

    ProgramCodePatch(session);

    EXPECT_EQ(bytesOf(device.chip().flash(), 0x1000, 0x1400), session.ImageBuffer);
    for (const char* line : {"Start Load Code Flow(0x001000 ~ 0x001400).", "erase~1K", "write~1K", "read~1K",
                             "Compare OK."}) {
        EXPECT_TRUE(seenInMemo1(line)) << line;
    }
    EXPECT_EQ(session.ResultCode, 0);
    EXPECT_EQ(resultLog(), "Success\r\n");
    const auto& memo1 = session.window.memo1;
    EXPECT_EQ(memo1.lines(), (std::vector<std::string>{"Instructions:", "Waiting a few seconds..."}));
    EXPECT_EQ(memo1.fontColour, 0x008000u);
    EXPECT_EQ(memo1.fontSize, 16);
    EXPECT_FALSE(session.window.image3.visible);
    EXPECT_TRUE(session.window.image4.visible);
    EXPECT_EQ(closes, 1);  // [CLOSEAPP] PASS
    // Out of flash mode, found again in normal mode.
    EXPECT_EQ(device.mode(), sim::Mode::Normal);
    EXPECT_EQ(session.DeviceModeState, 1);
    EXPECT_TRUE(session.window.memo1.contains("Waiting a few seconds..."));
}

TEST_F(CodePatchTest, EmptyPatchStillErasesItsPage) {
    auto& device = addLoader();
    session.ImageBuffer = image({.kind = sim::ImageKind::CodePatch, .dataLength = 0, .address = 0x1800});
    ASSERT_NE(device.chip().flash()[0x1800], 0xFF);

    ProgramCodePatch(session);

    EXPECT_EQ(bytesOf(device.chip().flash(), 0x1800, 0x1C00), std::vector<std::uint8_t>(0x400, 0xFF));
    EXPECT_EQ(session.ResultCode, 0);
    EXPECT_EQ(device.mode(), sim::Mode::Normal);
}

TEST_F(CodePatchTest, ReadBackDifferenceEndsInFailure) {
    auto& device = addLoader();
    device.faults().readBackBitFlips = 1;
    session.ImageBuffer = image({.kind = sim::ImageKind::CodePatch});

    ProgramCodePatch(session);

    EXPECT_EQ(session.ResultCode, 16);
    EXPECT_EQ(session.window.memo1.lines(), std::vector<std::string>{"Failure"});
    EXPECT_EQ(session.window.memo1.fontColour, 0x0000FFu);
    EXPECT_EQ(resultLog(), "Failure\r\n");
    EXPECT_EQ(closes, 0);                         // [CLOSEAPP] FAIL is 0
    EXPECT_EQ(device.mode(), sim::Mode::Flash);   // left in the loader
    EXPECT_TRUE(session.window.borderIcons.systemMenu);
}

TEST_F(CodePatchTest, SuccessLeavesTheStepPicturesAloneWithDiagnosticsShown) {
    addLoader();
    session.options.ENABLE = 1;
    session.ImageBuffer = image({.kind = sim::ImageKind::CodePatch});
    ProgramCodePatch(session);
    EXPECT_EQ(session.ResultCode, 0);
    EXPECT_FALSE(session.window.image4.visible);
}

TEST_F(CodePatchTest, RefusesWhatIsNoPatchWithoutTouchingTheDevice) {
    auto swapped = image({.kind = sim::ImageKind::CodePatch});
    std::swap(swapped[0], swapped[1]);
    auto tooLong = image({.kind = sim::ImageKind::CodePatch, .dataLength = 0x401});
    std::vector<std::uint8_t> headerOnly{0x10, 0x6D, 0x00};
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        std::uint8_t code;
        bool sizeLine;
    };
    const Case cases[] = {
        {"empty", {}, 177, true},
        {"two pages", std::vector<std::uint8_t>(0x800, 0xFF), 177, true},
        {"cut header", headerOnly, 177, true},
        {"swapped header", swapped, 178, false},
        {"longer than a page", tooLong, 177, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FlowRig rig;
        rig.addDevice({.family = sim::Family::FF6D, .mode = sim::Mode::Flash});
        rig.session.FF6DPresent = true;
        OpenDeviceInMode(rig.session, 5);
        const auto exchanges = rig.sim.hub.exchangeCount();
        const auto linesBefore = rig.session.window.memo1.lines();
        rig.session.window.borderIcons.systemMenu = false;
        rig.session.options.FAIL = 1;  // as under the silent switch
        rig.session.ImageBuffer = c.file;

        ProgramCodePatch(rig.session);

        EXPECT_EQ(rig.session.ResultCode, c.code);
        auto expected = linesBefore;
        if (c.sizeLine) {
            expected.push_back("Size error.");
        }
        EXPECT_EQ(rig.session.window.memo1.lines(), expected);
        EXPECT_EQ(rig.sim.hub.exchangeCount(), exchanges);
        EXPECT_TRUE(rig.session.window.borderIcons.systemMenu);  // the close box returns
        EXPECT_EQ(rig.closes, 1);
        EXPECT_EQ(rig.resultLog(), "");
    }
}

} // namespace
} // namespace qv::testing
