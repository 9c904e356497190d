// The full programming flow against simulated loaders of every family: the
// layouts, the version lines, the clock and interrupt-vector checks, the
// attempts with their retries and faults, the verify-only and erase-only
// modes, and "Upgrade Firmware".
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "flow_fixture.h"
#include "programming/firmware_flow.h"
#include "programming/flash_mode.h"
#include "programming/image.h"

namespace qv::testing {
namespace {

constexpr std::size_t kSlot = 0x1F7E0;

struct Loader {
    sim::Family family = sim::Family::FF5C;
    sim::ChipId chipId{0, 0, 0};
    std::uint16_t loaderUsage = 0;
};

class FirmwareFlowTest : public FlowTest {
protected:
    // A loader of the family, opened as the run would; its preload area is
    // the one the image carries, so the image suits it.
    sim::SimulatedDevice& addLoader(const Loader& loader, const std::vector<std::uint8_t>& image) {
        auto& device = addDevice(
            {.family = loader.family, .mode = sim::Mode::Flash, .chipId = loader.chipId, .loaderUsage = loader.loaderUsage});
        device.chip().loadFlash(std::span(image).first(0x2000));
        session.FF6DPresent = loader.family == sim::Family::FF6D;
        session.FF4EPresent = loader.family == sim::Family::FF4E;
        session.FF7APresent = loader.family == sim::Family::FF7A;
        OpenDeviceInMode(session, flashModeNumber(session));
        EXPECT_EQ(session.DeviceModeState, 2);
        session.ImageBuffer = image;
        session.closeMainWindow = [this] { ++closes; };
        flashBefore.assign(device.chip().flash().begin(), device.chip().flash().end());
        return device;
    }

    sim::SimulatedDevice& addFF5CLoader(const std::vector<std::uint8_t>& image) { return addLoader({}, image); }

    // The image as the device must hold it: the version text stamped into
    // the version slot.
    static std::vector<std::uint8_t> stamped(std::vector<std::uint8_t> bytes) {
        const std::string version = fieldText(bytes, 0x90, 16);
        std::fill_n(bytes.begin() + kSlot, 16, 0);
        std::copy(version.begin(), version.end(), bytes.begin() + kSlot);
        return bytes;
    }

    static sim::ImageSpec ff5cSpec() {
        return {.kind = sim::ImageKind::Layout126K, .version = "FW 2.00", .oemVersion = "OEM 2.00"};
    }

    bool flashUnchanged(const sim::SimulatedDevice& device) const {
        return std::equal(flashBefore.begin(), flashBefore.end(), device.chip().flash().begin());
    }

    std::vector<std::uint8_t> flashBefore;
    int closes = 0;
};

TEST_F(FirmwareFlowTest, Programs126KImageAbovePreloadArea) {
    const auto file = image(ff5cSpec());
    auto& device = addFF5CLoader(file);
    const std::string oldOem = fieldText(device.chip().flash(), 0x3100, 32);
    recordMemo1();

    ProgramFirmwareImage(session);

    const auto flash = device.chip().flash();
    EXPECT_EQ(bytesOf(flash, 0x2000, 0x1F800), bytesOf(stamped(file), 0x2000, 0x1F800));
    EXPECT_EQ(fieldText(flash, kSlot, 16), "FW 2.00");
    EXPECT_EQ(bytesOf(flash, 0, 0x2000), bytesOf(flashBefore, 0, 0x2000));        // preload untouched
    EXPECT_EQ(bytesOf(flash, 0x1F800, flash.size()), bytesOf(flashBefore, 0x1F800, flash.size()));

    EXPECT_TRUE(seenInMemo1("Start Load Code Flow(0x002000 ~ 0x01F800)."));
    EXPECT_TRUE(seenInMemo1("New Version: FW 2.00\n"));
    EXPECT_TRUE(seenInMemo1(" -> Internal Clock"));
    EXPECT_TRUE(seenInMemo1(" -> ENABLE_IVT_MAP_TO_FLASH: On"));
    EXPECT_EQ(sim.standardOutput.str(), " -> ENABLE_IVT_MAP_TO_FLASH: ");
    for (const char* line : {"erase", "write", "read", "Compare OK."}) {
        EXPECT_EQ(countInMemo2(line), 1) << line;
    }
    const auto& memo2 = session.window.memo2.lines();
    EXPECT_TRUE(std::any_of(memo2.begin(), memo2.end(), [](const std::string& l) {
        return std::regex_match(l, std::regex("Total Time: [0-9]+ s\n"));
    }));

    EXPECT_EQ(session.ResultCode, 0);
    EXPECT_EQ(resultLog(), "New OEM Version: OEM 2.00\n\r\nOld OEM Version: " + oldOem + "\n\r\nSuccess\r\n");
    EXPECT_EQ(sim.store.value, "OEM 2.00");
    EXPECT_EQ(session.window.label2.caption, "Current firmware version: OEM 2.00");
    EXPECT_EQ(session.window.memo1.lines(), (std::vector<std::string>{"Instructions:", "Waiting a few seconds..."}));
    EXPECT_EQ(session.window.memo1.fontColour, 0x008000u);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(device.mode(), sim::Mode::Normal);
    EXPECT_EQ(session.DeviceModeState, 1);
}

struct LayoutCase {
    const char* name;
    Loader loader;
    sim::ImageSpec spec;
    std::uint32_t base;
    std::uint32_t end;
    bool stampsSlot;
    const char* startLine;
    bool preloadLines;
};

TEST_F(FirmwareFlowTest, ProgramsEveryLayout) {
    const LayoutCase cases[] = {
        {"190 K image capped at 127 K", {}, {.kind = sim::ImageKind::Layout190K, .version = "FW 3"}, 0x2000, 0x1FC00,
         true, "Start Load Code Flow(0x002000 ~ 0x01FC00).", true},
        {"6D chip class 1: whole flash",
         {sim::Family::FF6D, {0x6D, 0x10, 0x03}},
         {.kind = sim::ImageKind::Small, .length = 0xE000, .regionStart = 0x400, .oemVersion = "FW 6.00"},
         0, 0xE000, false, "Start Load Code Flow(0x000000 ~ 0x00E000).", true},
        {"6D chip class 0: above the preload area",
         {sim::Family::FF6D},
         {.kind = sim::ImageKind::Small, .length = 0xE000, .oemVersion = "FW 6.00"},
         0x2000, 0xE000, false, "Start Load Code Flow(0x002000 ~ 0x00E000).", true},
        {"4E: whole flash", {sim::Family::FF4E}, {.kind = sim::ImageKind::Layout126K, .oemVersion = "FW 4.00"}, 0,
         0x1F800, false, "Start Load Code Flow(0x000000 ~ 0x01F800).", true},
        {"5C alternate loader: whole flash",
         {sim::Family::FF5C, {0, 0, 0}, 0xDD},
         {.kind = sim::ImageKind::Layout126K, .version = "FW 2.00"},
         0, 0x1F800, false, "Start Load Code Flow(0x000000 ~ 0x01F800).", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimSession fresh;
        auto file = image(c.spec);
        auto& device = fresh.hub.addDevice({.family = c.loader.family, .mode = sim::Mode::Flash,
                                            .chipId = c.loader.chipId, .loaderUsage = c.loader.loaderUsage});
        device.chip().loadFlash(std::span(file).first(0x2000));
        Session& s = fresh.session;
        s.FF6DPresent = c.loader.family == sim::Family::FF6D;
        s.FF4EPresent = c.loader.family == sim::Family::FF4E;
        OpenDeviceInMode(s, flashModeNumber(s));
        ASSERT_EQ(s.DeviceModeState, 2);
        s.ImageBuffer = file;
        const std::vector<std::uint8_t> before(device.chip().flash().begin(), device.chip().flash().end());
        std::vector<std::string> seen;
        s.Timer5.onTick([&] { seen.insert(seen.end(), s.window.memo1.lines().begin(), s.window.memo1.lines().end()); });
        s.setTimer(s.Timer5, true);

        ProgramFirmwareImage(s);

        EXPECT_EQ(s.ResultCode, 0);
        const auto expected = c.stampsSlot ? stamped(file) : file;
        const auto flash = device.chip().flash();
        EXPECT_EQ(bytesOf(flash, c.base, c.end), bytesOf(expected, c.base, c.end));
        EXPECT_EQ(bytesOf(flash, 0, c.base), bytesOf(before, 0, c.base));
        EXPECT_EQ(bytesOf(flash, c.end, flash.size()), bytesOf(before, c.end, flash.size()));
        EXPECT_NE(std::find(seen.begin(), seen.end(), c.startLine), seen.end());
        const bool preloadLine = std::any_of(seen.begin(), seen.end(), [](const std::string& l) {
            return l.rfind("Preload Code Version: ", 0) == 0;
        });
        EXPECT_EQ(preloadLine, c.preloadLines);
        const bool fiveC = c.loader.family == sim::Family::FF5C && c.loader.loaderUsage != 0xDD;
        EXPECT_EQ(fresh.standardOutput.str().empty(), !fiveC);
    }
}

TEST_F(FirmwareFlowTest, FF6DVersionsComeFromTheOemField) {
    auto file = image({.kind = sim::ImageKind::Small, .length = 0xE000, .regionStart = 0x400,
                       .oemVersion = "FW 6.00", .preloadVersion = "BOOT 6"});
    auto& device = addLoader({sim::Family::FF6D, {0x6D, 0x10, 0x03}}, file);
    const std::string oldVersion = fieldText(device.chip().flash(), 0x3100, 32);
    recordMemo1();

    ProgramFirmwareImage(session);

    EXPECT_TRUE(seenInMemo1("Preload Code Version: BOOT 6"));
    EXPECT_TRUE(seenInMemo1("Old Version: " + oldVersion));
    EXPECT_TRUE(seenInMemo1("New Version: FW 6.00\n"));
    EXPECT_EQ(sim.store.value, "FW 6.00");
    EXPECT_EQ(session.ResultCode, 0);
}

struct RefusalCase {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> change;
    std::string line;  // the last line of Memo1
    std::uint8_t code;
    bool systemMenu;
};

TEST_F(FirmwareFlowTest, ImageThatDoesNotSuitThePreloadCodeIsRefused) {
    const auto base = image(ff5cSpec());
    const std::uint8_t imageAt8C = static_cast<std::uint8_t>(base[0x8C] ^ 0x01);
    char ivtLine[64];
    std::snprintf(ivtLine, sizeof ivtLine, "IVT Error(8Ch)(%02Xh != %02Xh).", imageAt8C, base[0x8C]);
    const RefusalCase cases[] = {
        {"clock", [](auto& f) { f[0x87] ^= 0x10; }, "Clock setting not match.", 162, true},
        {"vector byte", [](auto& f) { f[0x8C] ^= 0x01; }, ivtLine, 163, true},
        {"first checked byte", [](auto& f) { f[0x04] ^= 0x80; }, "IVT Error(4h)(", 163, true},
        {"one page", [](auto& f) { f.resize(0x400); }, "Size error.", 161, false},
        {"ends inside the preload area", [](auto& f) { f.resize(0x1C01); }, "Size error.", 161, false},
        {"ends with the preload area", [](auto& f) { f.resize(0x2000); }, "Size error.", 161, false},
        {"no OEM version field", [](auto& f) { f.resize(0x3000); }, "Size error.", 161, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimSession fresh;
        Session& s = fresh.session;
        auto& device = fresh.hub.addDevice({.family = sim::Family::FF5C, .mode = sim::Mode::Flash});
        device.chip().loadFlash(std::span(base).first(0x2000));
        OpenDeviceInMode(s, 2);
        const std::vector<std::uint8_t> before(device.chip().flash().begin(), device.chip().flash().end());
        auto file = base;
        c.change(file);
        s.ImageBuffer = file;
        s.window.borderIcons.systemMenu = false;
        fresh.hub.clearLog();

        ProgramFirmwareImage(s);

        EXPECT_EQ(s.ResultCode, c.code);
        EXPECT_EQ(s.window.memo1.lines().back().rfind(c.line, 0), 0u) << s.window.memo1.lines().back();
        EXPECT_EQ(s.window.borderIcons.systemMenu, c.systemMenu);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), device.chip().flash().begin()));
        EXPECT_EQ(device.mode(), sim::Mode::Flash);
        for (const auto& record : fresh.hub.exchangeLog()) {
            EXPECT_NE(record.report[1], 0xC2);  // nothing erased
        }
        EXPECT_TRUE(s.window.memo1.contains(c.code == 161 ? "Size error." : "New Version: FW 2.00\n"));
        EXPECT_TRUE(std::filesystem::is_empty(fresh.scratch.path()));  // no result log
    }
}

TEST_F(FirmwareFlowTest, ChecksCanBeSwitchedOffAndSkipTheirExceptions) {
    struct Case {
        const char* name;
        std::size_t offset;
        std::uint8_t flip;
        bool noClockCheck;
        bool noIvtCheck;
    };
    const Case cases[] = {
        {"unchecked vector byte 8D", 0x8D, 0x01, false, false},
        {"unchecked bytes 1D", 0x1D, 0x01, false, false},
        {"clock check off", 0x87, 0x10, true, false},
        {"vector check off", 0x100, 0x01, false, true},
    };
    const auto base = image(ff5cSpec());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimSession fresh;
        Session& s = fresh.session;
        auto& device = fresh.hub.addDevice({.family = sim::Family::FF5C, .mode = sim::Mode::Flash});
        device.chip().loadFlash(std::span(base).first(0x2000));
        OpenDeviceInMode(s, 2);
        auto file = base;
        file[c.offset] ^= c.flip;
        s.ImageBuffer = file;
        s.options.NOCHECKCLOCKMATCH = c.noClockCheck ? 1 : 0;
        s.options.NOCHECKIVT = c.noIvtCheck ? 1 : 0;

        ProgramFirmwareImage(s);

        EXPECT_EQ(s.ResultCode, 0);
        EXPECT_EQ(bytesOf(device.chip().flash(), 0x2000, 0x1F800), bytesOf(stamped(file), 0x2000, 0x1F800));
    }
}

TEST_F(FirmwareFlowTest, ReportsTheInterruptVectorMapping) {
    const std::pair<std::uint8_t, const char*> cases[] = {
        {0x3A, " -> ENABLE_IVT_MAP_TO_FLASH: On"},
        {0x3C, " -> ENABLE_IVT_MAP_TO_FLASH: Off"},
        {0x00, " -> ENABLE_IVT_MAP_TO_FLASH: Unknown"},
    };
    for (const auto& [marker, line] : cases) {
        SCOPED_TRACE(line);
        SimSession fresh;
        auto file = image(ff5cSpec());
        auto& device = fresh.hub.addDevice({.family = sim::Family::FF5C, .mode = sim::Mode::Flash});
        device.chip().loadFlash(std::span(file).first(0x2000));
        OpenDeviceInMode(fresh.session, 2);
        file[0x23] = marker;
        file[0x87] ^= 0x10;  // stop at the clock check, before anything is erased
        fresh.session.ImageBuffer = file;

        ProgramFirmwareImage(fresh.session);

        EXPECT_TRUE(fresh.session.window.memo1.contains(line));
        EXPECT_TRUE(fresh.session.window.memo1.contains(" -> Internal Clock"));  // the device's setting
        EXPECT_EQ(fresh.standardOutput.str(), " -> ENABLE_IVT_MAP_TO_FLASH: ");
        EXPECT_EQ(fresh.session.ResultCode, 162);
    }
}

// --- Attempts, retries and faults ------------------------------------------

class FaultTest : public FirmwareFlowTest {
protected:
    sim::SimulatedDevice& prepare(int retries) {
        file = image(ff5cSpec());
        auto& device = addFF5CLoader(file);
        session.options.PROGRAMFAILRETRY = retries;
        sim.hub.setLogging(false);
        return device;
    }
    // Runs `fault` once, half a second into the flow: the write is then well
    // under way and every read of the old content is done.
    void duringWrite(std::function<void()> fault) {
        session.Timer2.onTick([this, fault] {
            if (!injected) {
                injected = true;
                fault();
            }
        });
        session.setTimer(session.Timer2, true);
    }
    void expectFailure(const sim::SimulatedDevice& device) {
        EXPECT_EQ(session.ResultCode, 16);
        EXPECT_EQ(session.window.memo1.lines(), std::vector<std::string>{"Failure"});
        EXPECT_EQ(session.window.memo1.fontColour, 0x0000FFu);
        EXPECT_EQ(resultLog(), "Failure\r\n");
        EXPECT_FALSE(sim.store.value.has_value());
        EXPECT_EQ(closes, 0);
        (void)device;
    }
    std::vector<std::uint8_t> file;
    bool injected = false;
};

TEST_F(FaultTest, PageBufferSumMismatchFailsAndErasesAgain) {
    auto& device = prepare(0);
    device.faults().wrongSumOnPage = 3;

    ProgramFirmwareImage(session);

    expectFailure(device);
    EXPECT_EQ(countInMemo2("Compare Fail."), 1);
    EXPECT_EQ(countInMemo2("Compare Fail. => erase flash"), 1);
    EXPECT_NE(sim.standardOutput.str().find("Checksum0: "), std::string::npos);
    EXPECT_EQ(bytesOf(device.chip().flash(), 0x2000, 0x1F800), std::vector<std::uint8_t>(0x1D800, 0xFF));
    EXPECT_EQ(device.mode(), sim::Mode::Flash);
}

TEST_F(FaultTest, BitFlipsOnReadBackFail) {
    auto& device = prepare(0);
    duringWrite([&] { device.faults().readBackBitFlips = 1; });

    ProgramFirmwareImage(session);

    ASSERT_TRUE(injected);
    expectFailure(device);
    EXPECT_EQ(countInMemo2("read"), 1);
}

TEST_F(FaultTest, EveryAttemptIsTakenBeforeFailing) {
    auto& device = prepare(2);
    duringWrite([&] { device.faults().readBackFlipProbability = 1.0; });

    ProgramFirmwareImage(session);

    expectFailure(device);
    EXPECT_EQ(countInMemo2("erase"), 3);
    EXPECT_EQ(countInMemo2("write"), 3);
    EXPECT_EQ(countInMemo2("Compare Fail."), 3);
    EXPECT_EQ(countInMemo2("Compare Fail. => erase flash"), 3);
    EXPECT_EQ(countInMemo2("Compare OK."), 0);
}

TEST_F(FaultTest, ChipLostMidWriteFailsEveryAttempt) {
    auto& device = prepare(1);
    device.faults().disconnectAtExchange = 200;  // a few pages into the write

    ProgramFirmwareImage(session);

    expectFailure(device);
    EXPECT_EQ(countInMemo2("write"), 2);
    EXPECT_EQ(countInMemo2("Compare Fail."), 2);
}

TEST_F(FaultTest, AttemptThatPassesAfterAFailedOneSucceeds) {
    auto& device = prepare(1);
    device.faults().wrongSumOnPage = 3;

    ProgramFirmwareImage(session);

    EXPECT_EQ(session.ResultCode, 0);
    EXPECT_EQ(countInMemo2("Compare Fail."), 1);
    EXPECT_EQ(countInMemo2("Compare OK."), 1);
    EXPECT_EQ(countInMemo2("erase"), 2);  // after the failed compare and before the second write
    EXPECT_EQ(bytesOf(device.chip().flash(), 0x2000, 0x1F800), bytesOf(stamped(file), 0x2000, 0x1F800));
}

TEST_F(FaultTest, ExchangeLostMidWriteIsRetried) {
    auto& device = prepare(1);
    // Between two pages: the page-buffer clear and the first buffer write of
    // the next page each fail all their ten attempts.
    duringWrite([&] { device.faults().failNextExchanges = 20; });

    ProgramFirmwareImage(session);

    EXPECT_TRUE(injected);
    EXPECT_EQ(countInMemo2("Compare Fail."), 1);
    EXPECT_EQ(session.ResultCode, 0);
    EXPECT_EQ(bytesOf(device.chip().flash(), 0x2000, 0x1F800), bytesOf(stamped(file), 0x2000, 0x1F800));
}

TEST_F(FaultTest, NegativeRetryCountMakesNoAttemptAndFails) {
    auto& device = prepare(-1);

    ProgramFirmwareImage(session);

    expectFailure(device);
    EXPECT_EQ(countInMemo2("erase"), 0);
    EXPECT_EQ(countInMemo2("write"), 0);
    EXPECT_TRUE(flashUnchanged(device));
    EXPECT_EQ(device.mode(), sim::Mode::Flash);
}

// --- Verify-only and erase-only --------------------------------------------

class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::filesystem::path& to) : before_(std::filesystem::current_path()) {
        std::filesystem::current_path(to);
    }
    ~CurrentDirectory() { std::filesystem::current_path(before_); }

private:
    std::filesystem::path before_;
};

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(FirmwareFlowTest, VerifyOnlyComparesAndDumpsWithoutWriting) {
    const auto file = image(ff5cSpec());
    auto& device = addFF5CLoader(file);
    const auto programmed = stamped(file);
    device.chip().loadFlash(std::span(programmed).subspan(0x2000, 0x1D800), 0x2000);
    flashBefore.assign(device.chip().flash().begin(), device.chip().flash().end());
    session.options.commandLineMode = CommandLineMode::VerifyOnly;
    CurrentDirectory here(sim.scratch.path());

    ProgramFirmwareImage(session);

    EXPECT_EQ(session.ResultCode, 0);
    EXPECT_EQ(countInMemo2("erase"), 0);
    EXPECT_EQ(countInMemo2("write"), 0);
    EXPECT_EQ(countInMemo2("Compare OK."), 1);
    const auto dump = readFile(sim.scratch.path() / "flashbin.000");
    ASSERT_EQ(dump.size(), file.size());
    EXPECT_EQ(bytesOf(dump, 0x2000, dump.size()), bytesOf(flashBefore, 0x2000, dump.size()));
    EXPECT_EQ(bytesOf(dump, 0x800, 0x2000), std::vector<std::uint8_t>(0x1800, 0));  // never read
    EXPECT_EQ(bytesOf(dump, 0, 0x90), bytesOf(flashBefore, 0, 0x90));
    EXPECT_EQ(fieldText(dump, 0x90, 16), "FW 2.00");  // the version field as compared
}

TEST_F(FirmwareFlowTest, VerifyOnlyMismatchLeavesTheFlashAlone) {
    auto& device = addFF5CLoader(image(ff5cSpec()));
    session.options.commandLineMode = CommandLineMode::VerifyOnly;
    session.options.PROGRAMFAILRETRY = 1;
    CurrentDirectory here(sim.scratch.path());

    ProgramFirmwareImage(session);

    EXPECT_EQ(session.ResultCode, 16);
    EXPECT_EQ(countInMemo2("Compare Fail."), 2);
    EXPECT_EQ(countInMemo2("Compare Fail. => erase flash"), 0);
    EXPECT_TRUE(flashUnchanged(device));
    EXPECT_TRUE(std::filesystem::exists(sim.scratch.path() / "flashbin.000"));
}

TEST_F(FirmwareFlowTest, EraseOnlyErasesAndSucceeds) {
    struct Case {
        int needErase;
        bool erased;
    };
    for (const Case c : {Case{1, true}, Case{0, false}}) {
        SCOPED_TRACE(c.needErase);
        SimSession fresh;
        Session& s = fresh.session;
        const auto file = image(ff5cSpec());
        auto& device = fresh.hub.addDevice({.family = sim::Family::FF5C, .mode = sim::Mode::Flash});
        device.chip().loadFlash(std::span(file).first(0x2000));
        OpenDeviceInMode(s, 2);
        const std::vector<std::uint8_t> before(device.chip().flash().begin(), device.chip().flash().end());
        s.ImageBuffer = file;
        s.options.commandLineMode = CommandLineMode::EraseOnly;
        s.options.NEEDERASE = c.needErase;

        ProgramFirmwareImage(s);

        EXPECT_EQ(s.ResultCode, 0);
        EXPECT_FALSE(s.window.memo2.contains("write"));
        EXPECT_FALSE(s.window.memo2.contains("read"));
        const auto flash = device.chip().flash();
        if (c.erased) {
            EXPECT_EQ(bytesOf(flash, 0x2000, 0x1F800), std::vector<std::uint8_t>(0x1D800, 0xFF));
        } else {
            EXPECT_TRUE(std::equal(before.begin(), before.end(), flash.begin()));
            EXPECT_EQ(device.mode(), sim::Mode::Normal);  // taken out of flash mode
        }
    }
}

TEST_F(FirmwareFlowTest, DefaultFolderLeavesTheOldOemVersionBare) {
    addFF5CLoader(image(ff5cSpec()));
    session.DefaultFolderUsed = true;
    session.options.ENABLE = 1;

    ProgramFirmwareImage(session);

    EXPECT_EQ(resultLog(), "New OEM Version: OEM 2.00\n\r\nOld OEM Version: \r\nSuccess\r\n");
    EXPECT_FALSE(session.window.image4.visible);
}

TEST_F(FirmwareFlowTest, EmptyOemVersionStoresAnEmptyFirmwareVersion) {
    addFF5CLoader(image({.kind = sim::ImageKind::Layout126K, .version = "FW 2.00"}));
    ProgramFirmwareImage(session);
    EXPECT_EQ(session.ResultCode, 0);
    EXPECT_EQ(sim.store.value, "");
    EXPECT_EQ(session.window.label2.caption, "Current firmware version: ");
}

// --- "Upgrade Firmware" ------------------------------------------------------

TEST_F(FirmwareFlowTest, UpgradeFirmwareNeedsAFile) {
    addFF5CLoader(image(ff5cSpec()));
    session.ImageBuffer.clear();
    const auto exchanges = sim.hub.exchangeCount();
    auto expected = session.window.memo1.lines();
    expected.push_back("Please Load file first!");

    Button3Click(session);

    EXPECT_EQ(session.window.memo1.lines(), expected);
    EXPECT_EQ(sim.hub.exchangeCount(), exchanges);
}

TEST_F(FirmwareFlowTest, UpgradeFirmwareAlwaysEndsWithExitLine) {
    auto& device = addFF5CLoader(image(ff5cSpec()));
    session.ImageBuffer.resize(0x400);

    Button3Click(session);

    const auto& lines = session.window.memo1.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Size error.");
    EXPECT_EQ(lines.back(), "Exit Flash Mode.");
    EXPECT_EQ(session.ResultCode, 161);
    EXPECT_EQ(device.mode(), sim::Mode::Flash);
}

TEST_F(FirmwareFlowTest, UpgradeFirmwareProgramsTheLoadedImage) {
    const auto file = image(ff5cSpec());
    auto& device = addFF5CLoader(file);

    Button3Click(session);

    EXPECT_EQ(session.ResultCode, 0);
    EXPECT_EQ(session.window.memo1.lines().back(), "Exit Flash Mode.");
    EXPECT_EQ(bytesOf(device.chip().flash(), 0x2000, 0x1F800), bytesOf(stamped(file), 0x2000, 0x1F800));
}

} // namespace
} // namespace qv::testing
