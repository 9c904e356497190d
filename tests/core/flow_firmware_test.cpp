// The full programming flow against simulated loaders of every family: the
// layouts, the version lines, the clock and interrupt-vector checks, the
// attempts with their retries and faults, the verify-only and erase-only
// modes, and "Upgrade Firmware".
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "flow_fixture.h"
#include "programming/firmware_flow.h"
#include "programming/flash_mode.h"
#include "programming/image_file.h"

namespace qv::testing {
namespace {

constexpr std::size_t kSlot = 0x1F7E0;

using Fault = std::function<void(sim::FaultPlan&)>;

struct Loader {
    sim::Family family = sim::Family::FF5C;
    sim::ChipId chipId{0, 0, 0};
    std::uint16_t loaderUsage = 0;
};

// A rig with one loader opened as the run would, the file loaded. The
// loader's preload area is the one `preloadOf` carries, so that image suits it.
struct LoaderRig : FlowRig {
    LoaderRig(const std::vector<std::uint8_t>& file, const Loader& loader = {})
        : LoaderRig(file, file, loader) {}
    LoaderRig(const std::vector<std::uint8_t>& file, const std::vector<std::uint8_t>& preloadOf, const Loader& loader)
        : device(addDevice({.family = loader.family,
                            .mode = sim::Mode::Flash,
                            .chipId = loader.chipId,
                            .loaderUsage = loader.loaderUsage})) {
        device.chip().loadFlash(std::span(preloadOf).first(0x2000));
        session.FF6DPresent = loader.family == sim::Family::FF6D;
        session.FF4EPresent = loader.family == sim::Family::FF4E;
        session.FF7APresent = loader.family == sim::Family::FF7A;
        OpenDeviceInMode(session, flashModeNumber(session));
        EXPECT_EQ(session.DeviceModeState, 2);
        session.ImageBuffer = file;
        flashBefore.assign(device.chip().flash().begin(), device.chip().flash().end());
        sim.hub.clearLog();
    }

    std::span<const std::uint8_t> flash() const { return device.chip().flash(); }
    bool flashUnchanged() const { return std::equal(flashBefore.begin(), flashBefore.end(), flash().begin()); }
    // (address, pages) of every erase command sent since the loader was opened.
    std::vector<std::pair<std::uint32_t, unsigned>> erases() const {
        std::vector<std::pair<std::uint32_t, unsigned>> sent;
        for (const auto& record : sim.hub.exchangeLog()) {
            const auto& r = record.report;
            if (record.direction == sim::ExchangeRecord::Direction::Set && r[1] == 0xC2) {
                sent.emplace_back(r[2] | (r[3] << 8) | (r[4] << 16), r[5] | (r[6] << 8));
            }
        }
        return sent;
    }
    // Faults planted now and once the write is under way; empty ones are none.
    void plantFaults(const Fault& atStart, const Fault& duringWrite) {
        if (atStart) {
            atStart(device.faults());
        }
        if (duringWrite) {
            injectDuringWrite([this, duringWrite] { duringWrite(device.faults()); });
        }
    }
    void expectFailure() {
        EXPECT_EQ(session.ResultCode, 16);
        EXPECT_EQ(session.window.memo1.lines(), std::vector<std::string>{"Failure"});
        EXPECT_EQ(session.window.memo1.fontColour, 0x0000FFu);
        EXPECT_EQ(resultLog(), "Failure\r\n");
        EXPECT_FALSE(sim.store.value.has_value());
        EXPECT_EQ(closes, 0);  // [CLOSEAPP] FAIL is 0
        EXPECT_EQ(device.mode(), sim::Mode::Flash);
    }

    sim::SimulatedDevice& device;
    std::vector<std::uint8_t> flashBefore;
};

// The image as the device must hold it: the version text stamped into the
// version slot.
std::vector<std::uint8_t> stamped(std::vector<std::uint8_t> bytes) {
    const std::string version = fieldText(bytes, 0x90, 16);
    std::fill_n(bytes.begin() + kSlot, 16, 0);
    std::copy(version.begin(), version.end(), bytes.begin() + kSlot);
    return bytes;
}

std::vector<std::uint8_t> ff5cImage() {
    return image({.kind = sim::ImageKind::Layout126K, .version = "FW 2.00", .oemVersion = "OEM 2.00"});
}

TEST(FirmwareFlow, Programs126KImageAbovePreloadArea) {
    const auto file = ff5cImage();
    LoaderRig rig(file);
    const std::string oldOem = fieldText(rig.flash(), 0x3100, 32);
    rig.recordMemo1();

    ProgramFirmwareImage(rig.session);

    const auto flash = rig.flash();
    EXPECT_EQ(bytesOf(flash, 0x2000, 0x1F800), bytesOf(stamped(file), 0x2000, 0x1F800));
    EXPECT_EQ(fieldText(flash, kSlot, 16), "FW 2.00");
    EXPECT_EQ(bytesOf(flash, 0, 0x2000), bytesOf(rig.flashBefore, 0, 0x2000));  // preload untouched
    EXPECT_EQ(bytesOf(flash, 0x1F800, flash.size()), bytesOf(rig.flashBefore, 0x1F800, flash.size()));
    EXPECT_EQ(rig.erases(), (std::vector<std::pair<std::uint32_t, unsigned>>{{0x2000, 118}}));

    EXPECT_TRUE(rig.seenInMemo1("Start Load Code Flow(0x002000 ~ 0x01F800)."));
    EXPECT_TRUE(rig.seenInMemo1("New Version: FW 2.00\n"));
    EXPECT_TRUE(rig.seenInMemo1(" -> Internal Clock"));
    EXPECT_TRUE(rig.seenInMemo1(" -> ENABLE_IVT_MAP_TO_FLASH: On"));
    EXPECT_EQ(rig.sim.standardOutput.str(), " -> ENABLE_IVT_MAP_TO_FLASH: ");
    for (const char* line : {"erase", "write", "read", "Compare OK."}) {
        EXPECT_EQ(rig.countInMemo2(line), 1) << line;
    }
    const auto& memo2 = rig.session.window.memo2.lines();
    EXPECT_TRUE(std::any_of(memo2.begin(), memo2.end(), [](const std::string& l) {
        return std::regex_match(l, std::regex("Total Time: [0-9]+ s\n"));
    }));

    EXPECT_EQ(rig.session.ResultCode, 0);
    EXPECT_EQ(rig.resultLog(), "New OEM Version: OEM 2.00\n\r\nOld OEM Version: " + oldOem + "\n\r\nSuccess\r\n");
    EXPECT_EQ(rig.sim.store.value, "OEM 2.00");
    EXPECT_EQ(rig.session.window.label2.caption, "Current firmware version: OEM 2.00");
    EXPECT_EQ(rig.session.window.memo1.lines(),
              (std::vector<std::string>{"Instructions:", "Waiting a few seconds..."}));
    EXPECT_EQ(rig.session.window.memo1.fontColour, 0x008000u);
    EXPECT_EQ(rig.closes, 1);
    EXPECT_EQ(rig.device.mode(), sim::Mode::Normal);
    EXPECT_EQ(rig.session.DeviceModeState, 1);
}

TEST(FirmwareFlow, ProgramsEveryLayout) {
    struct Case {
        const char* name;
        Loader loader;
        sim::ImageSpec spec;
        std::uint32_t base;
        std::uint32_t end;
        unsigned pages;
        bool stampsSlot;
        const char* startLine;
        bool preloadLines;
    };
    const Case cases[] = {
        {"190 K image capped at 127 K", {}, {.kind = sim::ImageKind::Layout190K, .version = "FW 3"}, 0x2000, 0x1FC00,
         119, true, "Start Load Code Flow(0x002000 ~ 0x01FC00).", true},
        {"6D chip class 1: whole flash",
         {sim::Family::FF6D, {0x6D, 0x10, 0x03}},
         {.kind = sim::ImageKind::Small, .length = 0xE000, .regionStart = 0x400, .oemVersion = "FW 6.00"},
         0, 0xE000, 56, false, "Start Load Code Flow(0x000000 ~ 0x00E000).", true},
        {"6D chip class 0: above the preload area",
         {sim::Family::FF6D},
         {.kind = sim::ImageKind::Small, .length = 0xE000, .oemVersion = "FW 6.00"},
         0x2000, 0xE000, 48, false, "Start Load Code Flow(0x002000 ~ 0x00E000).", true},
        {"4E: whole flash", {sim::Family::FF4E}, {.kind = sim::ImageKind::Layout126K, .oemVersion = "FW 4.00"}, 0,
         0x1F800, 126, false, "Start Load Code Flow(0x000000 ~ 0x01F800).", true},
        {"5C alternate loader: whole flash",
         {sim::Family::FF5C, {0, 0, 0}, 0xDD},
         {.kind = sim::ImageKind::Layout126K, .version = "FW 2.00"},
         0, 0x1F800, 126, false, "Start Load Code Flow(0x000000 ~ 0x01F800).", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = image(c.spec);
        LoaderRig rig(file, c.loader);
        rig.recordMemo1();

        ProgramFirmwareImage(rig.session);

        EXPECT_EQ(rig.session.ResultCode, 0);
        const auto expected = c.stampsSlot ? stamped(file) : file;
        const auto flash = rig.flash();
        EXPECT_EQ(bytesOf(flash, c.base, c.end), bytesOf(expected, c.base, c.end));
        EXPECT_EQ(bytesOf(flash, 0, c.base), bytesOf(rig.flashBefore, 0, c.base));
        EXPECT_EQ(bytesOf(flash, c.end, flash.size()), bytesOf(rig.flashBefore, c.end, flash.size()));
        EXPECT_EQ(rig.erases(), (std::vector<std::pair<std::uint32_t, unsigned>>{{c.base, c.pages}}));
        EXPECT_TRUE(rig.seenInMemo1(c.startLine));
        const bool preloadLine = std::any_of(rig.memo1Seen.begin(), rig.memo1Seen.end(), [](const std::string& l) {
            return l.rfind("Preload Code Version: ", 0) == 0;
        });
        EXPECT_EQ(preloadLine, c.preloadLines);
        EXPECT_EQ(rig.session.AltFlashDevice, c.loader.loaderUsage == 0xDD);
        const bool checksPreloadCode = c.loader.family == sim::Family::FF5C && c.loader.loaderUsage != 0xDD;
        EXPECT_EQ(rig.sim.standardOutput.str().empty(), !checksPreloadCode);
    }
}

TEST(FirmwareFlow, FF6DVersionsComeFromTheOemField) {
    const auto file = image({.kind = sim::ImageKind::Small, .length = 0xE000, .regionStart = 0x400,
                             .oemVersion = "FW 6.00", .preloadVersion = "BOOT 6"});
    LoaderRig rig(file, {sim::Family::FF6D, {0x6D, 0x10, 0x03}});
    const std::string oldVersion = fieldText(rig.flash(), 0x3100, 32);
    rig.recordMemo1();

    ProgramFirmwareImage(rig.session);

    EXPECT_TRUE(rig.seenInMemo1("Preload Code Version: BOOT 6"));
    EXPECT_TRUE(rig.seenInMemo1("Old Version: " + oldVersion));
    EXPECT_TRUE(rig.seenInMemo1("New Version: FW 6.00\n"));
    EXPECT_EQ(rig.sim.store.value, "FW 6.00");
    EXPECT_EQ(rig.session.ResultCode, 0);
}

// --- Refusals ----------------------------------------------------------------

TEST(FirmwareFlow, ImageThatDoesNotSuitThePreloadCodeIsRefused) {
    const auto base = ff5cImage();
    char ivtLine[64];
    std::snprintf(ivtLine, sizeof ivtLine, "IVT Error(8Ch)(%02Xh != %02Xh).", base[0x8C] ^ 0x01, base[0x8C]);
    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> change;
        std::string line;  // how the last line of Memo1 begins
        std::uint8_t code;
    };
    const Case cases[] = {
        {"clock", [](auto& f) { f[0x87] ^= 0x10; }, "Clock setting not match.", 162},
        {"vector byte", [](auto& f) { f[0x8C] ^= 0x01; }, ivtLine, 163},
        {"first checked byte", [](auto& f) { f[0x04] ^= 0x80; }, "IVT Error(4h)(", 163},
        {"one page", [](auto& f) { f.resize(0x400); }, "Size error.", 161},
        {"ends inside the preload area", [](auto& f) { f.resize(0x1C01); }, "Size error.", 161},
        {"ends with the preload area", [](auto& f) { f.resize(0x2000); }, "Size error.", 161},
        {"no OEM version field", [](auto& f) { f.resize(0x3000); }, "Size error.", 161},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto file = base;
        c.change(file);
        LoaderRig rig(file, base, {});
        rig.session.window.borderIcons.systemMenu = false;

        ProgramFirmwareImage(rig.session);

        const auto& lines = rig.session.window.memo1.lines();
        EXPECT_EQ(rig.session.ResultCode, c.code);
        EXPECT_EQ(lines.back().rfind(c.line, 0), 0u) << lines.back();
        EXPECT_TRUE(rig.session.window.memo1.contains(c.code == 161 ? "Size error." : "New Version: FW 2.00\n"));
        EXPECT_TRUE(rig.session.window.borderIcons.systemMenu);  // the close box returns
        EXPECT_TRUE(rig.flashUnchanged());
        EXPECT_TRUE(rig.erases().empty());
        EXPECT_EQ(rig.device.mode(), sim::Mode::Flash);
        EXPECT_EQ(rig.resultLog(), "");
        EXPECT_EQ(rig.closes, 0);
    }
}

TEST(FirmwareFlow, ChecksCanBeSwitchedOffAndSkipTheirExceptions) {
    struct Case {
        const char* name;
        std::size_t offset;
        std::uint8_t flip;
        bool noClockCheck;
        bool noIvtCheck;
    };
    const Case cases[] = {
        {"unchecked vector byte 8D", 0x8D, 0x01, false, false},
        {"unchecked byte 1D", 0x1D, 0x01, false, false},
        {"clock check off", 0x87, 0x10, true, false},
        {"vector check off", 0x100, 0x01, false, true},
    };
    const auto base = ff5cImage();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto file = base;
        file[c.offset] ^= c.flip;
        LoaderRig rig(file, base, {});
        rig.session.options.NOCHECKCLOCKMATCH = c.noClockCheck ? 1 : 0;
        rig.session.options.NOCHECKIVT = c.noIvtCheck ? 1 : 0;

        ProgramFirmwareImage(rig.session);

        EXPECT_EQ(rig.session.ResultCode, 0);
        EXPECT_EQ(bytesOf(rig.flash(), 0x2000, 0x1F800), bytesOf(stamped(file), 0x2000, 0x1F800));
    }
}

TEST(FirmwareFlow, ReportsTheInterruptVectorMapping) {
    const std::pair<std::uint8_t, const char*> cases[] = {
        {0x3A, " -> ENABLE_IVT_MAP_TO_FLASH: On"},
        {0x3C, " -> ENABLE_IVT_MAP_TO_FLASH: Off"},
        {0x00, " -> ENABLE_IVT_MAP_TO_FLASH: Unknown"},
    };
    const auto base = ff5cImage();
    for (const auto& [marker, line] : cases) {
        SCOPED_TRACE(line);
        auto file = base;
        file[0x23] = marker;
        file[0x87] ^= 0x10;  // stop at the clock check, before anything is erased
        LoaderRig rig(file, base, {});

        ProgramFirmwareImage(rig.session);

        EXPECT_TRUE(rig.session.window.memo1.contains(line));
        EXPECT_TRUE(rig.session.window.memo1.contains(" -> Internal Clock"));  // the device's setting
        EXPECT_EQ(rig.sim.standardOutput.str(), " -> ENABLE_IVT_MAP_TO_FLASH: ");
        EXPECT_EQ(rig.session.ResultCode, 162);
    }
}

// --- Attempts, retries and faults ------------------------------------------

TEST(FirmwareFlow, FaultsEndInFailureAfterEveryAttempt) {
    struct Case {
        const char* name;
        int retries;
        Fault atStart;
        Fault duringWrite;
        long attempts;
    };
    const Case cases[] = {
        {"page-buffer sum mismatch", 0, [](auto& f) { f.wrongSumOnPage = 3; }, {}, 1},
        {"bit flip on read-back", 0, {}, [](auto& f) { f.readBackBitFlips = 1; }, 1},
        {"bit flips on every read-back", 2, {}, [](auto& f) { f.readBackFlipProbability = 1.0; }, 3},
        {"chip lost mid-write", 1, [](auto& f) { f.disconnectAtExchange = 200; }, {}, 2},
        {"no attempt at all", -1, {}, {}, 0},
    };
    const auto file = ff5cImage();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoaderRig rig(file);
        rig.sim.hub.setLogging(false);
        rig.session.options.PROGRAMFAILRETRY = c.retries;
        rig.plantFaults(c.atStart, c.duringWrite);

        ProgramFirmwareImage(rig.session);

        EXPECT_EQ(rig.injected, static_cast<bool>(c.duringWrite));
        rig.expectFailure();
        // Each attempt erases (NEEDERASE), writes, reads, fails its compare
        // and erases again.
        for (const char* line : {"erase", "write", "read", "Compare Fail.", "Compare Fail. => erase flash"}) {
            EXPECT_EQ(rig.countInMemo2(line), c.attempts) << line;
        }
        EXPECT_EQ(rig.countInMemo2("Compare OK."), 0);
        if (c.attempts == 0) {
            EXPECT_TRUE(rig.flashUnchanged());
        }
    }
}

TEST(FirmwareFlow, PageBufferSumMismatchLeavesTheRegionErased) {
    LoaderRig rig(ff5cImage());
    rig.device.faults().wrongSumOnPage = 3;

    ProgramFirmwareImage(rig.session);

    rig.expectFailure();
    EXPECT_NE(rig.sim.standardOutput.str().find("Checksum0: "), std::string::npos);
    EXPECT_EQ(bytesOf(rig.flash(), 0x2000, 0x1F800), std::vector<std::uint8_t>(0x1D800, 0xFF));
    EXPECT_EQ(bytesOf(rig.flash(), 0, 0x2000), bytesOf(rig.flashBefore, 0, 0x2000));
}

TEST(FirmwareFlow, AttemptThatPassesAfterAFailedOneSucceeds) {
    struct Case {
        const char* name;
        Fault atStart;
        Fault duringWrite;
    };
    const Case cases[] = {
        {"page-buffer sum mismatch", [](auto& f) { f.wrongSumOnPage = 3; }, {}},
        // The page-buffer clear and the first buffer write of the next page
        // each fail all their ten attempts.
        {"exchanges lost mid-write", {}, [](auto& f) { f.failNextExchanges = 20; }},
        {"bit flip on read-back", {}, [](auto& f) { f.readBackBitFlips = 1; }},
    };
    const auto file = ff5cImage();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoaderRig rig(file);
        rig.session.options.PROGRAMFAILRETRY = 1;
        rig.plantFaults(c.atStart, c.duringWrite);

        ProgramFirmwareImage(rig.session);

        EXPECT_EQ(rig.session.ResultCode, 0);
        EXPECT_EQ(rig.countInMemo2("Compare Fail."), 1);
        EXPECT_EQ(rig.countInMemo2("Compare OK."), 1);
        // Erased at the start of each attempt and after the failed compare.
        EXPECT_EQ(rig.erases().size(), 3u);
        EXPECT_EQ(bytesOf(rig.flash(), 0x2000, 0x1F800), bytesOf(stamped(file), 0x2000, 0x1F800));
        EXPECT_EQ(rig.device.mode(), sim::Mode::Normal);
    }
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

TEST(FirmwareFlow, VerifyOnlyComparesAndDumpsWithoutWriting) {
    const auto file = ff5cImage();
    LoaderRig rig(file);
    const auto programmed = stamped(file);
    rig.device.chip().loadFlash(std::span(programmed).subspan(0x2000, 0x1D800), 0x2000);
    const std::vector<std::uint8_t> flash(rig.flash().begin(), rig.flash().end());
    rig.session.options.commandLineMode = CommandLineMode::VerifyOnly;
    CurrentDirectory here(rig.sim.scratch.path());

    ProgramFirmwareImage(rig.session);

    EXPECT_EQ(rig.session.ResultCode, 0);
    EXPECT_TRUE(rig.erases().empty());
    EXPECT_EQ(rig.countInMemo2("write"), 0);
    EXPECT_EQ(rig.countInMemo2("Compare OK."), 1);
    const auto dump = readFile(rig.sim.scratch.path() / "flashbin.000");
    ASSERT_EQ(dump.size(), file.size());
    EXPECT_EQ(bytesOf(dump, 0x2000, dump.size()), bytesOf(flash, 0x2000, dump.size()));
    EXPECT_EQ(bytesOf(dump, 0x800, 0x2000), std::vector<std::uint8_t>(0x1800, 0));  // never read
    EXPECT_EQ(bytesOf(dump, 0, 0x90), bytesOf(flash, 0, 0x90));
    EXPECT_EQ(fieldText(dump, 0x90, 16), "FW 2.00");  // the version field as compared
}

TEST(FirmwareFlow, VerifyOnlyMismatchLeavesTheFlashAlone) {
    LoaderRig rig(ff5cImage());
    rig.session.options.commandLineMode = CommandLineMode::VerifyOnly;
    rig.session.options.PROGRAMFAILRETRY = 1;
    CurrentDirectory here(rig.sim.scratch.path());

    ProgramFirmwareImage(rig.session);

    EXPECT_EQ(rig.session.ResultCode, 16);
    EXPECT_EQ(rig.countInMemo2("Compare Fail."), 2);
    EXPECT_EQ(rig.countInMemo2("Compare Fail. => erase flash"), 0);
    EXPECT_TRUE(rig.flashUnchanged());
    EXPECT_TRUE(rig.erases().empty());
    EXPECT_TRUE(std::filesystem::exists(rig.sim.scratch.path() / "flashbin.000"));
}

TEST(FirmwareFlow, EraseOnlyErasesAndSucceeds) {
    for (const int needErase : {1, 0}) {
        SCOPED_TRACE(needErase);
        LoaderRig rig(ff5cImage());
        rig.session.options.commandLineMode = CommandLineMode::EraseOnly;
        rig.session.options.NEEDERASE = needErase;

        ProgramFirmwareImage(rig.session);

        EXPECT_EQ(rig.session.ResultCode, 0);
        EXPECT_EQ(rig.countInMemo2("write"), 0);
        EXPECT_EQ(rig.countInMemo2("read"), 0);
        if (needErase != 0) {
            EXPECT_EQ(bytesOf(rig.flash(), 0x2000, 0x1F800), std::vector<std::uint8_t>(0x1D800, 0xFF));
        } else {
            EXPECT_TRUE(rig.flashUnchanged());
            EXPECT_EQ(rig.device.mode(), sim::Mode::Normal);  // taken out of flash mode
        }
    }
}

// --- Version fields ----------------------------------------------------------

// Version fields as images carry them: zero-padded, padded with 0xFF after
// the terminator (images built from erased flash), or full with no
// terminator. Wherever the flow writes the new version (the device copy's
// field and the FF5C version slot) it writes the image's own 16 bytes, and
// shows and stores the text up to the first zero.
TEST(FirmwareFlow, VersionFieldsAreCopiedByteForByte) {
    struct Content {
        const char* name;
        std::string text;
        std::uint8_t padding;
    };
    const Content contents[] = {
        {"zero-padded", "FW 2.00", 0x00},
        {"0xFF-padded", "FW 2.00", 0xFF},
        {"16 characters, no terminator", "FW 2.00 build 17", 0xFF},
    };
    struct Family {
        const char* name;
        Loader loader;
        std::size_t field;        // the image's version field
        std::size_t deviceCopy;   // where the device copy carries it
        bool stampsSlot;
    };
    const Family families[] = {
        {"FF5C", {}, 0x90, 0x90, true},
        {"FF6D class 0", {sim::Family::FF6D}, 0x3100, 0x50, false},
    };
    for (const auto& family : families) {
        for (const auto& content : contents) {
            SCOPED_TRACE(std::string(family.name) + ", " + content.name);
            sim::ImageSpec spec = family.stampsSlot
                                      ? sim::ImageSpec{.kind = sim::ImageKind::Layout126K, .version = content.text,
                                                       .oemVersion = "OEM 2.00"}
                                      : sim::ImageSpec{.kind = sim::ImageKind::Small, .length = 0xE000,
                                                       .oemVersion = content.text};
            spec.fieldPadding = content.padding;
            const auto file = image(spec);
            const auto field = bytesOf(file, family.field, family.field + 16);
            // The device's preload code carries its own version at 0x90.
            auto preload = file;
            std::fill_n(preload.begin() + 0x90, 16, 0);
            std::copy_n("BOOT 1.0", 8, preload.begin() + 0x90);

            LoaderRig rig(file, preload, family.loader);
            rig.recordMemo1();
            ProgramFirmwareImage(rig.session);

            EXPECT_EQ(rig.session.ResultCode, 0);
            EXPECT_FALSE(std::any_of(rig.memo1Seen.begin(), rig.memo1Seen.end(),
                                     [](const std::string& l) { return l.rfind("IVT Error", 0) == 0; }));
            EXPECT_EQ(rig.countInMemo2("Compare OK."), 1);
            EXPECT_TRUE(rig.seenInMemo1("New Version: " + content.text + "\n"));
            if (family.stampsSlot) {
                EXPECT_TRUE(rig.seenInMemo1("Preload Code Version: BOOT 1.0"));
                EXPECT_EQ(bytesOf(rig.flash(), kSlot, kSlot + 16), field);
            } else {
                EXPECT_EQ(rig.sim.store.value, content.text);
            }

            // Verified against what was programmed: the dump shows the
            // device copy's field, and the slot as read back.
            LoaderRig verify(file, preload, family.loader);
            verify.device.chip().loadFlash(rig.flash());
            verify.session.options.commandLineMode = CommandLineMode::VerifyOnly;
            CurrentDirectory here(verify.sim.scratch.path());
            ProgramFirmwareImage(verify.session);

            EXPECT_EQ(verify.session.ResultCode, 0);
            EXPECT_EQ(verify.countInMemo2("Compare OK."), 1);
            const auto dump = readFile(verify.sim.scratch.path() / "flashbin.000");
            ASSERT_EQ(dump.size(), file.size());
            EXPECT_EQ(bytesOf(dump, family.deviceCopy, family.deviceCopy + 16), field);
            if (family.stampsSlot) {
                EXPECT_EQ(bytesOf(dump, kSlot, kSlot + 16), field);
            }
        }
    }
}

// --- Chips of two families ---------------------------------------------------

// The loader's flash reads, in order, as (address, length): chunk reads that
// continue one another are one read.
std::vector<std::pair<std::uint32_t, std::size_t>> flashReads(const LoaderRig& rig, bool beforeFirstErase) {
    std::vector<std::pair<std::uint32_t, std::size_t>> reads;
    std::uint32_t next = 0;
    for (const auto& record : rig.sim.hub.exchangeLog()) {
        const auto& r = record.report;
        if (record.direction != sim::ExchangeRecord::Direction::Set) continue;
        if (beforeFirstErase && r[1] == 0xC2) break;
        if (r[1] != 0xD1) continue;
        const std::uint32_t address = r[2] | (r[3] << 8) | (r[4] << 16);
        if (reads.empty() || address != next) {
            reads.emplace_back(address, 0);
        }
        reads.back().second += r[5];
        next = address + r[5];
    }
    return reads;
}

// FF6D and FF4E both present, chip class 0: the class-0 copy is read first,
// then the longer whole-flash one, each with the OEM version before it.
TEST(FirmwareFlow, FF6DAndFF4EOfClassZeroReadBothPreloadCopiesInTurn) {
    const auto file = image({.kind = sim::ImageKind::Small, .length = 0xE000, .oemVersion = "FW 6.10",
                             .preloadVersion = "BOOT 6", .fieldPadding = 0xFF});
    LoaderRig rig(file, {sim::Family::FF6D});
    rig.session.FF4EPresent = true;
    rig.sim.hub.clearLog();
    rig.recordMemo1();

    ProgramFirmwareImage(rig.session);

    using Reads = std::vector<std::pair<std::uint32_t, std::size_t>>;
    EXPECT_EQ(flashReads(rig, true), (Reads{{0x3100, 32}, {0x3100, 32}, {0, 0x100}, {0x3100, 32}, {0, 0x400}}));
    EXPECT_TRUE(rig.seenInMemo1("Preload Code Version: BOOT 6"));
    EXPECT_TRUE(rig.seenInMemo1("New Version: FW 6.10\n"));
    // FF4E makes the layout whole-flash.
    EXPECT_TRUE(rig.seenInMemo1("Start Load Code Flow(0x000000 ~ 0x00E000)."));
    EXPECT_EQ(rig.erases(), (std::vector<std::pair<std::uint32_t, unsigned>>{{0, 56}}));
    EXPECT_EQ(bytesOf(rig.flash(), 0, 0xE000), file);
    EXPECT_EQ(rig.session.ResultCode, 0);
}

// --- Success details ---------------------------------------------------------

TEST(FirmwareFlow, DefaultFolderLeavesTheOldOemVersionBare) {
    LoaderRig rig(ff5cImage());
    rig.session.DefaultFolderUsed = true;
    rig.session.options.ENABLE = 1;

    ProgramFirmwareImage(rig.session);

    EXPECT_EQ(rig.resultLog(), "New OEM Version: OEM 2.00\n\r\nOld OEM Version: \r\nSuccess\r\n");
    EXPECT_FALSE(rig.session.window.image4.visible);  // step pictures stay with diagnostics shown
}

TEST(FirmwareFlow, EmptyOemVersionStoresAnEmptyFirmwareVersion) {
    LoaderRig rig(image({.kind = sim::ImageKind::Layout126K, .version = "FW 2.00"}));
    ProgramFirmwareImage(rig.session);
    EXPECT_EQ(rig.session.ResultCode, 0);
    EXPECT_EQ(rig.sim.store.value, "");
    EXPECT_EQ(rig.session.window.label2.caption, "Current firmware version: ");
}

// --- "Upgrade Firmware" ------------------------------------------------------

TEST(FirmwareFlow, UpgradeFirmwareNeedsAFile) {
    LoaderRig rig(ff5cImage());
    rig.session.ImageBuffer.clear();
    const auto exchanges = rig.sim.hub.exchangeCount();
    auto expected = rig.session.window.memo1.lines();
    expected.push_back("Please Load file first!");

    Button3Click(rig.session);

    EXPECT_EQ(rig.session.window.memo1.lines(), expected);
    EXPECT_EQ(rig.sim.hub.exchangeCount(), exchanges);
}

TEST(FirmwareFlow, UpgradeFirmwareAlwaysEndsWithExitLine) {
    struct Case {
        const char* name;
        std::size_t length;  // 0: the whole image
        std::uint8_t code;
        const char* lineBefore;
    };
    const Case cases[] = {
        {"refused", 0x400, 161, "Size error."},
        {"programmed", 0, 0, "Waiting a few seconds..."},
    };
    const auto file = ff5cImage();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoaderRig rig(file);
        if (c.length != 0) {
            rig.session.ImageBuffer.resize(c.length);
        }

        Button3Click(rig.session);

        const auto& lines = rig.session.window.memo1.lines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[lines.size() - 2], c.lineBefore);
        EXPECT_EQ(lines.back(), "Exit Flash Mode.");
        EXPECT_EQ(rig.session.ResultCode, c.code);
    }
}

} // namespace
} // namespace qv::testing
