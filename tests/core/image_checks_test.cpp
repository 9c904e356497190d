// Browse (Button1Click) and the start-up check of the selected file, with
// image files from the maker and a simulated hub where a device matters.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/file_dialog.h"
#include "platform/sim/image_maker.h"
#include "programming/image_file.h"
#include "support/sim_session.h"

namespace qv {
namespace {

using Bytes = std::vector<std::uint8_t>;
using sim::ImageKind;

// Answers every Browse with the queued choice (nullopt = cancel) and
// remembers the filters it was shown.
class ScriptedFileDialog : public FileDialog {
public:
    std::optional<std::string> chooseFile(const std::string& filter) override {
        filters.push_back(filter);
        return choice;
    }
    std::optional<std::string> choice;
    std::vector<std::string> filters;
};

// A session on the simulated hub (no device unless a test adds one) with a
// scripted file dialog and an empty message pane.
struct ImageSession {
    ImageSession() {
        t.session.ports.fileDialog = &dialog;
        t.session.window.memo1.clear();
    }
    std::string file(const std::string& name) const { return (t.scratch.path() / name).string(); }

    testing::SimSession t;
    ScriptedFileDialog dialog;
};

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes made(const sim::ImageSpec& spec) {
    auto bytes = sim::makeFirmwareImage(spec);
    EXPECT_FALSE(bytes.empty()) << sim::imageSpecProblem(spec);
    return bytes;
}

Bytes damaged(Bytes bytes, std::size_t at = 0x3000) {
    bytes[at] = static_cast<std::uint8_t>(bytes[at] + 1);
    return bytes;
}

// A 32 KiB file that passes both senses over 0x2000..0x7FFF with its word
// (0x0000) at 0x7FFE: the region sums to 0 modulo 65536, the word bytes
// counting 0xFF each: 255 bytes of 0xFF and one 0x01 give 0xFE02, plus 0x1FE.
Bytes passesBothRules32KiB() {
    Bytes bytes(0x8000, 0x00);
    std::fill_n(bytes.begin() + 0x3000, 255, std::uint8_t{0xFF});
    bytes[0x4000] = 0x01;
    return bytes;
}

// Device states for Browse: none, or one FF5C-family device in flash mode
// whose identification bytes give the chip class.
enum class Device { None, Class0, Class2 };

struct BrowseFixture : ImageSession {
    explicit BrowseFixture(Device device) {
        if (device != Device::None) {
            const sim::ChipId id = device == Device::Class2 ? sim::ChipId{0x3B, 0x7F, 0x00} : sim::ChipId{0x11, 0x22, 0x33};
            t.hub.addDevice({.family = sim::Family::FF5C, .mode = sim::Mode::Flash, .chipId = id});
            t.session.link.OpenMatchingDevices(0xFF5C, 0xDB);
            EXPECT_EQ(t.session.link.FoundDeviceCount(), 1);
        }
        auto& window = t.session.window;
        window.button2.enabled = false;
        window.button4.enabled = false;
        window.groupBox2.bounds.top = 72;
        window.groupBox4.bounds.top = 480;
        window.memo1.append("earlier line");
    }

    void browse(const Bytes& contents, std::int32_t sizedKib = 126) {
        path = file("update.bin");
        writeFile(path, contents);
        t.session.options.SPECIALLYBINSIZEFOR5C80 = sizedKib;
        dialog.choice = path;
        Button1Click(t.session);
    }

    std::string path;
};

struct BrowseCase {
    const char* name;
    Bytes file;
    Device device;
    std::int32_t sizedKib;
    bool checksumError;
    bool button2;
    bool button4;
};

TEST(Button1Click, ChecksEnablesAndReportsByKindAndDevice) {
    const Bytes good126 = made({.kind = ImageKind::Layout126K});
    Bytes good128 = made({.kind = ImageKind::Layout126K, .length = 0x20000});
    std::fill(good128.begin() + 0x1F800, good128.end(), std::uint8_t{0x5A});  // ignored tail
    const Bytes good190 = made({.kind = ImageKind::Layout190K, .length = 0x30000});
    const Bytes sized64 = made({.kind = ImageKind::Sized, .kib = 64});
    const Bytes sized32 = made({.kind = ImageKind::Sized, .kib = 32});
    const Bytes small32 = made({.kind = ImageKind::Small, .length = 0x8000});
    const Bytes small54 = made({.kind = ImageKind::Small, .length = 0xD800});
    const Bytes small54HighClass = made({.kind = ImageKind::Small, .length = 0xD800, .regionStart = 0x400});
    const Bytes parameters = made({.kind = ImageKind::ParameterFile});
    Bytes odd(0x25000, 0x00);

    const BrowseCase cases[] = {
        {"126K, device", good126, Device::Class0, 126, false, true, false},
        {"126K, no device", good126, Device::None, 126, false, false, false},
        {"126K damaged", damaged(good126), Device::Class0, 126, true, false, false},
        {"128K with any tail", good128, Device::Class0, 126, false, true, false},
        {"128K damaged in the region", damaged(good128, 0x1F7FD), Device::Class0, 126, true, false, false},
        {"190K", good190, Device::Class0, 126, false, true, false},
        {"190K damaged", damaged(good190, 0x2F000), Device::Class0, 126, true, false, false},
        {"unlisted large length: no check", odd, Device::Class0, 126, false, true, false},
        {"64K with 64 configured", sized64, Device::Class0, 64, false, true, false},
        {"64K damaged with 64 configured", damaged(sized64), Device::Class0, 64, true, false, false},
        {"64K with 126 configured: no check, no button", damaged(sized64), Device::Class0, 126, false, false, false},
        {"small, class 0", small54, Device::Class0, 126, false, true, false},
        {"small, class 0, no device", small54, Device::None, 126, false, false, false},
        {"small damaged, no device", damaged(small54), Device::None, 126, true, false, false},
        {"small for class 2 on a class 0 chip", small54HighClass, Device::Class0, 126, true, false, false},
        {"small for class 2 on a class 2 chip", small54HighClass, Device::Class2, 126, false, true, false},
        {"small for class 0 on a class 2 chip", small54, Device::Class2, 126, true, false, false},
        // 32 KiB configured: both senses apply to a 32 KiB file; the first
        // check's Button2 stays enabled when the second fails.
        {"32K sized image, 32 configured", sized32, Device::Class0, 32, true, true, false},
        {"32K small image, 32 configured", small32, Device::Class0, 32, true, false, false},
        {"32K passing both, 32 configured", passesBothRules32KiB(), Device::Class0, 32, false, true, false},
        {"32K sized image, 32 configured, no device", sized32, Device::None, 32, false, false, false},
        {"parameter file, device", parameters, Device::Class0, 126, false, false, true},
        {"parameter file, no device", parameters, Device::None, 126, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BrowseFixture f(c.device);
        f.browse(c.file, c.sizedKib);
        const auto& window = f.t.session.window;
        EXPECT_EQ(f.t.session.ImageBuffer, c.file);
        EXPECT_EQ(window.edit1.caption, f.path);
        const std::vector<std::string> expectedLines =
            c.checksumError ? std::vector<std::string>{"earlier line", "Checksum Error."}
                            : std::vector<std::string>{"earlier line"};
        EXPECT_EQ(window.memo1.lines(), expectedLines);
        EXPECT_EQ(window.button2.enabled, c.button2);
        EXPECT_EQ(window.button4.enabled, c.button4);
        EXPECT_EQ(window.groupBox4.bounds.top, c.button4 ? 72 : 480);
    }
}

TEST(Button1Click, DialogAbsentCancelledOrFileUnreadable) {
    BrowseFixture f(Device::None);
    auto& session = f.t.session;
    session.ImageBuffer = {1, 2, 3};
    session.window.edit1.caption = "previous.bin";

    session.ports.fileDialog = nullptr;  // no window system
    Button1Click(session);
    EXPECT_EQ(session.ImageBuffer, (Bytes{1, 2, 3}));

    session.ports.fileDialog = &f.dialog;
    f.dialog.choice = std::nullopt;  // cancelled
    Button1Click(session);
    EXPECT_EQ(session.ImageBuffer, (Bytes{1, 2, 3}));
    EXPECT_EQ(session.window.edit1.caption, "previous.bin");
    ASSERT_EQ(f.dialog.filters.size(), 1u);
    EXPECT_EQ(f.dialog.filters[0], "[*.bin]|*.bin|*.*|*.*");

    const std::string missing = f.file("gone.bin");
    f.dialog.choice = missing;
    Button1Click(session);
    EXPECT_TRUE(session.ImageBuffer.empty());
    EXPECT_EQ(session.window.edit1.caption, missing);
    EXPECT_EQ(session.window.memo1.lines().back(), "Cannot read " + missing);
    EXPECT_FALSE(session.window.button2.enabled);
}

TEST(Button1Click, AnEmptyFileIsLoadedAndNotChecked) {
    BrowseFixture f(Device::Class0);
    f.browse(Bytes{});
    EXPECT_TRUE(f.t.session.ImageBuffer.empty());
    EXPECT_EQ(f.t.session.window.memo1.lines(), std::vector<std::string>{"earlier line"});
    EXPECT_FALSE(f.t.session.window.button2.enabled);
}

// --- Start-up check -----------------------------------------------------------

struct StartupFixture : ImageSession {
    StartupFixture() {
        t.session.window.borderIcons.systemMenu = false;
        t.session.setTimer(t.session.Timer4, true);
        t.session.closeMainWindow = [this] { ++closes; };
    }
    bool check(const Bytes& image) {
        t.session.ImageBuffer = image;
        return StartupImageCheck(t.session);
    }
    std::vector<std::filesystem::path> resultLogs() const {
        std::vector<std::filesystem::path> logs;
        for (const auto& entry : std::filesystem::directory_iterator(t.scratch.path())) {
            if (entry.path().filename().string().rfind("VORTAVOlog", 0) == 0) {
                logs.push_back(entry.path());
            }
        }
        return logs;
    }

    int closes = 0;
};

TEST(StartupImageCheck, FailureDisplayAndOutcome) {
    struct Case {
        const char* hardwareId;
        std::int32_t noResultLog;
        std::int32_t closeOnFail;
        std::vector<std::string> lines;
    };
    const std::string advice = "Please detach and attach the tablet and then re-execute the update tool.";
    const Case cases[] = {
        {"USB\\VID_1C7A&PID_5C50", 0, 0, {"##Checksum Error##"}},
        {"USB\\VID_1C7A&PID_6D10", 1, 1, {"##Checksum Error##", advice}},
        {"USB\\VID_1C7A&PID_5c50", 0, 1, {"##Checksum Error##", advice}},  // compared as written
        {"USB\\VID_1C7A&PID_5", 0, 0, {"##Checksum Error##", advice}},      // too short to hold it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hardwareId);
        StartupFixture f;
        auto& session = f.t.session;
        session.options.MAIN_HWID = c.hardwareId;
        session.options.NORESULTLOG = c.noResultLog;
        session.options.FAIL = c.closeOnFail;
        session.window.memo1.append("pass lines");
        EXPECT_FALSE(f.check(damaged(made({.kind = ImageKind::Layout126K}))));
        EXPECT_EQ(session.window.memo1.lines(), c.lines);
        EXPECT_EQ(session.window.memo1.fontSize, 18);
        EXPECT_EQ(session.window.memo1.fontColour, 0x0000FFu);
        EXPECT_TRUE(session.window.borderIcons.systemMenu);
        EXPECT_EQ(session.ResultCode, 36);
        EXPECT_FALSE(session.Timer4.enabled());
        EXPECT_EQ(f.closes, c.closeOnFail != 0 ? 1 : 0);
        EXPECT_EQ(f.resultLogs().size(), c.noResultLog != 0 ? 0u : 1u);
    }
}

TEST(StartupImageCheck, RuleChoiceByLengthAndOptions) {
    const Bytes good126 = made({.kind = ImageKind::Layout126K, .length = 0x1FC00});
    const Bytes sized200 = made({.kind = ImageKind::Sized, .kib = 200});
    struct Case {
        const char* name;
        Bytes image;
        std::int32_t checksumMode;
        std::int32_t sizedKib;
        bool passes;
    };
    const Case cases[] = {
        {"126K", good126, 1, 126, true},
        {"126K damaged", damaged(good126), 1, 126, false},
        {"126K damaged, CHECKSUMMODE 0", damaged(good126), 0, 126, true},
        {"126K damaged, CHECKSUMMODE 2", damaged(good126), 2, 126, true},
        {"190K damaged", damaged(made({.kind = ImageKind::Layout190K})), 1, 126, false},
        // Unlike Browse, the sized rule also covers lengths above 126 KiB.
        {"200K sized", sized200, 1, 200, true},
        {"200K sized damaged", damaged(sized200), 1, 200, false},
        {"200K damaged, 126 configured: no rule", damaged(sized200), 1, 126, true},
        {"1 KiB is never checked", damaged(made({.kind = ImageKind::CodePatch}), 0x10), 1, 1, true},
        {"empty file: no rule", Bytes{}, 1, 126, true},
        // No device opened in this pass: the small-image rule is not chosen.
        {"small damaged, no device search yet", damaged(made({.kind = ImageKind::Small, .length = 0xD800})), 1, 126,
         true},
        {"32K small image, 32 configured, no device search: sized rule", made({.kind = ImageKind::Small, .length = 0x8000}),
         1, 32, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StartupFixture f;
        f.t.session.options.CHECKSUMMODE = c.checksumMode;
        f.t.session.options.SPECIALLYBINSIZEFOR5C80 = c.sizedKib;
        EXPECT_EQ(f.check(c.image), c.passes);
        EXPECT_EQ(f.t.session.ResultCode, c.passes ? 0 : 36);
        EXPECT_EQ(f.t.session.RunState, 0);
    }
}

TEST(StartupImageCheck, SmallImageWithTheDeviceOpen) {
    const Bytes forClass0 = made({.kind = ImageKind::Small, .length = 0xE000});
    const Bytes forClass1 = made({.kind = ImageKind::Small, .length = 0xE000, .regionStart = 0x400});
    const sim::ChipId class0{0x6D, 0x1A, 0x02};
    const sim::ChipId class1{0x6D, 0x10, 0x03};
    struct Case {
        const char* name;
        std::optional<sim::Mode> device;  // FF6D-family device, or none
        sim::ChipId id;
        Bytes image;
        bool passes;
        int modeState;
        int runState;
    };
    const Case cases[] = {
        {"normal mode, class 0", sim::Mode::Normal, class0, forClass0, true, 1, 2},
        {"normal mode, class 1", sim::Mode::Normal, class1, forClass1, true, 1, 2},
        {"normal mode, class 1, image for class 0", sim::Mode::Normal, class1, forClass0, false, 1, 2},
        {"flash mode, class 1", sim::Mode::Flash, class1, forClass1, true, 2, 4},
        {"flash mode, class 0, image for class 1", sim::Mode::Flash, class0, forClass1, false, 2, 4},
        // No device: the class is unknown, either region start will do.
        {"no device, image for class 0", std::nullopt, class0, forClass0, true, 0, 0},
        {"no device, image for class 1", std::nullopt, class0, forClass1, true, 0, 0},
        {"no device, damaged", std::nullopt, class0, damaged(forClass1), false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StartupFixture f;
        if (c.device) {
            f.t.hub.addDevice({.family = sim::Family::FF6D, .mode = *c.device, .chipId = c.id});
        }
        f.t.session.FF6DPresent = true;
        EXPECT_EQ(f.check(c.image), c.passes);
        EXPECT_EQ(f.t.session.DeviceModeState, c.modeState);
        EXPECT_EQ(f.t.session.RunState, c.runState);
        EXPECT_EQ(f.t.session.ResultCode, c.passes ? 0 : 36);
    }
}

TEST(StartupImageCheck, FamiliesOtherThanFF6DUseTheDeviceAlreadyOpen) {
    // A flash-mode FF5C device opened by an earlier step of the pass.
    StartupFixture f;
    f.t.hub.addDevice({.family = sim::Family::FF5C, .mode = sim::Mode::Flash, .chipId = {0x3D, 0x95, 0x00}});
    f.t.session.link.OpenMatchingDevices(0xFF5C, 0xDB);
    f.t.session.DeviceModeState = 2;
    EXPECT_TRUE(f.check(made({.kind = ImageKind::Small, .length = 0x7C00, .regionStart = 0x400})));
    EXPECT_EQ(f.t.session.RunState, 4);
    EXPECT_FALSE(f.check(made({.kind = ImageKind::Small, .length = 0x7C00})));
}

} // namespace
} // namespace qv
