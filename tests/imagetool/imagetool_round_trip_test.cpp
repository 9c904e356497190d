// Runs the built qv-imagetool: every kind it makes is read back by its info
// command and compared with the image maker's bytes for the same spec.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sim/image_maker.h"
#include "programming/image_file.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string output;
};

ToolRun runTool(const std::string& arguments) {
    ToolRun run;
    const std::string command = std::string("\"") + QV_IMAGETOOL + "\" " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        run.output += buffer;
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class ImageToolRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("qv-imagetool-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::string file(const std::string& name) const { return (folder_ / name).string(); }

    std::filesystem::path folder_;
};

struct RoundTripCase {
    const char* makeArguments;
    qv::sim::ImageSpec spec;                // the same image through the library
    std::vector<std::string> expectedLines; // in the info output
};

TEST_F(ImageToolRoundTrip, EveryKindMakesAndReadsBack) {
    using qv::sim::ImageKind;
    const RoundTripCase cases[] = {
        {"--kind 126k --version \"FW 2.1\" --oem \"OEM 2.1.7\"",
         {.kind = ImageKind::Layout126K, .version = "FW 2.1", .oemVersion = "OEM 2.1.7"},
         {"length: 0x1F800 (129024 bytes)", "kind: code image, 126 K layout", "version (0x0090): \"FW 2.1\"",
          "OEM version (0x3100): \"OEM 2.1.7\"",
          "checksum 126 K layout (complement rule, 0x2000..0x1F7FF, word at 0x1F7FE): pass", "verdict: pass"}},
        {"--kind 126k --length 0x20000 --clock external --ivt-marker 0x3C",
         {.kind = ImageKind::Layout126K, .length = 0x20000, .clock = qv::sim::ClockSource::External, .ivtMarker = 0x3C},
         {"length: 0x20000 (131072 bytes)", "IVT marker (0x0023): 0x3C (mapping off)", "clock (0x0087 bit 4): external",
          "clock (0x0047 bit 4): external", "verdict: pass"}},
        {"--kind 190k --blank-pages 50-60,70 --seed 7",
         {.kind = ImageKind::Layout190K, .blankPages = {50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 70}, .seed = 7},
         {"kind: code image, 190 K layout",
          "checksum 190 K layout (complement rule, 0x2000..0x2F7FF, word at 0x2F7FE): pass", "verdict: pass"}},
        {"--kind sized --kib 64",
         {.kind = ImageKind::Sized, .kib = 64},
         {"kind: unknown length (the updater checks nothing at load)", "checksum: no rule applies to this length",
          "verdict: pass"}},
        {"--kind small --length 0xD800 --chip-class 2 --preload-version \"PL 1\" --oem \"6D FW 9\"",
         {.kind = ImageKind::Small, .length = 0xD800, .regionStart = 0x400, .oemVersion = "6D FW 9", .preloadVersion = "PL 1"},
         {"kind: small code image", "preload-code version (0x0050): \"PL 1\"",
          "checksum small, chip class 1-3 (equal rule, 0x400..0xD7FF, word at 0x7FFE): pass", "verdict: pass"}},
        {"--kind 126k --version \"FW 2.1\" --oem \"OEM 2.1\" --field-padding ff",
         {.kind = ImageKind::Layout126K, .version = "FW 2.1", .oemVersion = "OEM 2.1", .fieldPadding = 0xFF},
         {"version (0x0090): \"FW 2.1\"", "OEM version (0x3100): \"OEM 2.1\"", "verdict: pass"}},
        {"--kind small --length 0x7C00 --field-padding 0x00",
         {.kind = ImageKind::Small, .length = 0x7C00},
         {"checksum small, chip class 0 (equal rule, 0x2000..0x7BFF, word at 0x7BFE): pass", "verdict: pass"}},
        {"--kind patch --data-length 0x20 --address 0x1234",
         {.kind = ImageKind::CodePatch, .dataLength = 0x20, .address = 0x1234},
         {"header: 0x10 0x6D (code patch or direct-write file)", "data length: 0x0020", "address: 0x1234",
          "verdict: pass"}},
        {"--kind param --data-length 0x80",
         {.kind = ImageKind::ParameterFile, .dataLength = 0x80},
         {"header: 0x80 0x5C (parameter file)", "block size: 0x0080", "verdict: pass"}},
        {"--kind direct",
         {.kind = ImageKind::DirectWrite},
         {"header: 0x10 0x6D (code patch or direct-write file)", "verdict: pass"}},
    };
    int index = 0;
    for (const auto& c : cases) {
        const std::string path = file("image" + std::to_string(index++) + ".bin");
        const auto made = runTool(std::string("make ") + c.makeArguments + " --out \"" + path + "\"");
        ASSERT_EQ(made.status, 0) << c.makeArguments << "\n" << made.output;

        std::vector<std::uint8_t> bytes;
        ASSERT_TRUE(qv::loadImageFile(path, bytes));
        EXPECT_EQ(bytes, qv::sim::makeFirmwareImage(c.spec)) << c.makeArguments;

        const auto info = runTool("info \"" + path + "\"");
        EXPECT_EQ(info.status, 0) << info.output;
        for (const auto& line : c.expectedLines) {
            EXPECT_NE(info.output.find(line + "\n"), std::string::npos) << c.makeArguments << ": " << line << "\n"
                                                                         << info.output;
        }
    }
}

TEST_F(ImageToolRoundTrip, InfoFollowsTheSizedSettingAndCatchesDamage) {
    const std::string path = file("sized32.bin");
    ASSERT_EQ(runTool("make --kind sized --kib 32 --out \"" + path + "\"").status, 0);
    // With 32 KiB configured, Browse applies both rules to this length, and a
    // sized image passes only the complement rule.
    const auto info = runTool("info \"" + path + "\" --sized-kib 32");
    EXPECT_EQ(info.status, 1) << info.output;
    EXPECT_NE(info.output.find("checksum sized 32 KiB (complement rule, 0x2000..0x7FFF, word at 0x7FFE): pass\n"),
              std::string::npos)
        << info.output;
    EXPECT_NE(info.output.find("verdict: FAIL\n"), std::string::npos) << info.output;

    const std::string damaged = file("damaged.bin");
    ASSERT_EQ(runTool("make --kind 126k --out \"" + damaged + "\"").status, 0);
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(qv::loadImageFile(damaged, bytes));
    bytes[0x5000] ^= 0x01;
    FILE* out = std::fopen(damaged.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    const auto damagedInfo = runTool("info \"" + damaged + "\"");
    EXPECT_EQ(damagedInfo.status, 1);
    EXPECT_NE(damagedInfo.output.find("126 K layout (complement rule, 0x2000..0x1F7FF, word at 0x1F7FE): FAIL ("),
              std::string::npos)
        << damagedInfo.output;
}

TEST_F(ImageToolRoundTrip, RefusesBadRequests) {
    const char* refused[] = {
        "",
        "frobnicate",
        "make --kind 126k",
        "make --kind huge --out x.bin",
        "make --kind small --length 0x9000 --out x.bin",
        "make --kind 126k --version 01234567890123456 --out x.bin",
        "make --kind 126k --clock fast --out x.bin",
        "make --kind 126k --ivt-marker 0x100 --out x.bin",
        "make --kind 126k --blank-pages 9-3 --out x.bin",
        "make --kind 126k --kind 190k --out x.bin",
        "make --kind 126k --field-padding 100 --out x.bin",
        "make --kind 126k --field-padding -1 --out x.bin",
        "make --kind 126k --field-padding zz --out x.bin",
        "make --kind 126k --out",
        "info",
        "info /nonexistent/file.bin",
    };
    for (const char* arguments : refused) {
        EXPECT_EQ(runTool(arguments).status, 2) << arguments;
    }
    EXPECT_FALSE(std::filesystem::exists("x.bin"));
}

} // namespace
