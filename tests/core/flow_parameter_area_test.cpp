// Writing a 1 KiB parameter file into the chip's parameter area: the
// parameter form through the work buffer and eFlash, the direct-write form,
// the refusals and the endings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flow_fixture.h"
#include "programming/flash_mode.h"
#include "programming/parameter_area.h"

namespace qv::testing {
namespace {

class ParameterAreaTest : public FlowTest {
protected:
    sim::SimulatedDevice& addRunningChip(sim::ParameterLayout layout = {}) {
        return addDevice({.family = sim::Family::FF5C, .parameters = layout});
    }
    void loadAndOpen(std::vector<std::uint8_t> file) {
        session.ImageBuffer = std::move(file);
        ReopenNormalMode(session);
        ASSERT_EQ(session.DeviceModeState, 1);
    }
    bool querySent(std::uint8_t subCommand) const {
        for (const auto& record : sim.hub.exchangeLog()) {
            if (record.direction == sim::ExchangeRecord::Direction::Set && record.report[1] == 0x02 &&
                record.report[2] == subCommand) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(ParameterAreaTest, ParameterFileIsWrittenSavedAndVerified) {
    auto& device = addRunningChip();
    loadAndOpen(image({.kind = sim::ImageKind::ParameterFile}));
    ASSERT_TRUE(session.window.button4.enabled);
    recordMemo1();
    sim.hub.setLatency(1);

    Button4Click(session);

    const std::vector<std::uint8_t> block(session.ImageBuffer.begin(), session.ImageBuffer.begin() + 128);
    EXPECT_EQ(bytesOf(device.chip().storedParameters(), 0, 128), block);
    for (const char* line : {"Write buffer from file", "Save Data to eFlash", "Read Data from eFlash"}) {
        EXPECT_TRUE(seenInMemo1(line)) << line;
    }
    EXPECT_EQ(session.ResultCode, 0);
    EXPECT_EQ(session.window.memo1.lines(),
              (std::vector<std::string>{"Firmware update completed!",
                                        "Firmware update is completed and soon close menu. Thanks!", "Success"}));
    EXPECT_EQ(session.window.memo1.fontColour, 0x008000u);
    EXPECT_EQ(resultLog(),
              "Firmware update completed!\r\nFirmware update is completed and soon close menu. Thanks!\r\nSuccess\r\n");
    EXPECT_EQ(session.window.progress, 127 * 100 / 128);  // never 100
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(session.Timer2.enabled());
}

TEST_F(ParameterAreaTest, DirectWriteGoesStraightToItsAddress) {
    // A work buffer inside the 16-bit range the direct-write form reaches.
    auto& device = addRunningChip({.workBufferAddress = 0x0800, .storedCopyAddress = 0x040000, .size = 128});
    const auto storedBefore = bytesOf(device.chip().storedParameters(), 0, 128);
    loadAndOpen(image({.kind = sim::ImageKind::DirectWrite, .dataLength = 0x40, .address = 0x0800}));

    Button4Click(session);

    EXPECT_EQ(bytesOf(device.chip().workBuffer(), 0, 0x40), bytesOf(session.ImageBuffer, 0, 0x40));
    EXPECT_EQ(bytesOf(device.chip().storedParameters(), 0, 128), storedBefore);  // never saved
    EXPECT_FALSE(querySent(0));
    EXPECT_FALSE(querySent(1));
    EXPECT_EQ(session.ResultCode, 0);
}

TEST_F(ParameterAreaTest, DirectWriteThatDoesNotStickFails) {
    addRunningChip();  // 0x1000 is code flash: not byte-writable
    loadAndOpen(image({.kind = sim::ImageKind::DirectWrite, .dataLength = 0x40, .address = 0x1000}));

    Button4Click(session);

    EXPECT_EQ(session.ResultCode, 17);
    EXPECT_EQ(session.window.memo1.lines(), std::vector<std::string>{"Failure"});
    EXPECT_EQ(session.window.memo1.fontColour, 0x0000FFu);
    EXPECT_EQ(resultLog(), "Failure\r\n");
    EXPECT_TRUE(session.Timer2.enabled());
    EXPECT_EQ(closes, 0);
    EXPECT_TRUE(session.window.borderIcons.systemMenu);
}

TEST_F(ParameterAreaTest, BytesThatCannotBeReadBackAreNoMatch) {
    auto& device = addRunningChip({.workBufferAddress = 0x0800, .storedCopyAddress = 0x040000, .size = 128});
    auto file = image({.kind = sim::ImageKind::DirectWrite, .dataLength = 0x40, .address = 0x0800});
    std::fill(file.begin() + 6, file.begin() + 0x40, 0);  // what an unread byte would hold
    loadAndOpen(file);
    sim.hub.setLogging(false);
    // 64 byte writes, then the chip is gone after the reads of the header.
    device.faults().disconnectAtExchange = 64 + 2 * 6 + 1;

    Button4Click(session);

    EXPECT_EQ(bytesOf(device.chip().workBuffer(), 0, 0x40), bytesOf(file, 0, 0x40));
    EXPECT_EQ(session.ResultCode, 17);
    EXPECT_EQ(session.window.memo1.lines(), std::vector<std::string>{"Failure"});
}

TEST_F(ParameterAreaTest, EmptyParameterAreaTakesAnEmptyFile) {
    addRunningChip({.size = 0});
    loadAndOpen(image({.kind = sim::ImageKind::ParameterFile, .dataLength = 0}));
    sim.hub.clearLog();
    Button4Click(session);
    EXPECT_TRUE(querySent(1));
    for (const auto& record : sim.hub.exchangeLog()) {
        EXPECT_NE(record.report[1], 0x06);  // no byte written
        EXPECT_NE(record.report[1], 0x05);  // none read
    }
    EXPECT_EQ(session.ResultCode, 0);
    EXPECT_EQ(session.window.memo1.lines().back(), "Success");
}

TEST_F(ParameterAreaTest, ChipLostDuringTheSaveNeverReportsSuccess) {
    auto& device = addRunningChip();
    loadAndOpen(image({.kind = sim::ImageKind::ParameterFile}));
    sim.hub.setLogging(false);
    // The Get of the save command: query (2), 128 byte writes, save Set.
    device.faults().disconnectAtExchange = 132;

    Button4Click(session);

    EXPECT_EQ(session.ResultCode, 17);
    EXPECT_EQ(session.window.memo1.lines(), std::vector<std::string>{"Failure"});
}

// Refusals of the file's form leave everything as it was; a direct write
// that cannot be verified is refused with a code like a code patch.
TEST(ParameterArea, RefusalsLeaveTheWindowAlone) {
    auto wrongMagic = sim::makeFirmwareImage({.kind = sim::ImageKind::ParameterFile});
    wrongMagic[1] = 0x5D;
    auto wideSize = sim::makeFirmwareImage({.kind = sim::ImageKind::ParameterFile, .dataLength = 0x180});
    auto longFile = sim::makeFirmwareImage({.kind = sim::ImageKind::ParameterFile});
    longFile.push_back(0);
    auto wideCount = sim::makeFirmwareImage({.kind = sim::ImageKind::DirectWrite, .dataLength = 0x401});
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        const char* line;  // nullptr: nothing appended
        std::uint8_t code;
        bool queried;
        bool recorded;  // system menu back, FAIL rule applied
    };
    const Case cases[] = {
        {"wrong magic", wrongMagic, "Error!! This is not VOR Parameters file!", 99, true, false},
        {"size the device lacks", wideSize, "Error!! The Size of Parameters File is not match !!", 99, true, false},
        {"not 1 KiB", longFile, nullptr, 99, true, false},
        {"direct write beyond a page", wideCount, "Size error.", 177, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FlowRig rig;
        Session& session = rig.session;
        auto& sim = rig.sim;
        auto& device = rig.addDevice({.family = sim::Family::FF5C});
        ReopenNormalMode(session);
        session.options.FAIL = 1;
        const auto storedBefore = bytesOf(device.chip().storedParameters(), 0, 128);
        session.ImageBuffer = c.file;
        session.ResultCode = 99;
        session.window.borderIcons.systemMenu = false;
        auto expected = session.window.memo1.lines();
        if (c.line != nullptr) {
            expected.push_back(c.line);
        }
        sim.hub.clearLog();

        Button4Click(session);

        EXPECT_EQ(session.window.memo1.lines(), expected);
        EXPECT_EQ(session.ResultCode, c.code);
        EXPECT_EQ(session.window.borderIcons.systemMenu, c.recorded);
        EXPECT_EQ(rig.closes, c.recorded ? 1 : 0);
        EXPECT_EQ(rig.resultLog(), "");
        EXPECT_FALSE(session.Timer2.enabled());
        EXPECT_EQ(bytesOf(device.chip().storedParameters(), 0, 128), storedBefore);
        bool queried = false;
        bool wrote = false;
        for (const auto& record : sim.hub.exchangeLog()) {
            if (record.direction == sim::ExchangeRecord::Direction::Set) {
                queried = queried || record.report[1] == 0x02;
                wrote = wrote || record.report[1] == 0x06;
            }
        }
        EXPECT_EQ(queried, c.queried);
        EXPECT_FALSE(wrote);
    }
}

} // namespace
} // namespace qv::testing
