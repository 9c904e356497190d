#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/integer_text.h"
#include "platform/profile_reader.h"
#include "session/command_line.h"
#include "session/options.h"

namespace qv {
namespace {

struct IntegerCase {
    const char* text;
    std::optional<std::int32_t> expected;
};

TEST(IntegerText, ConvertsAsConfigured) {
    const IntegerCase cases[] = {
        {"2000", 2000},       {"$7D0", 2000},      {"x7D0", 2000},        {"X7d0", 2000},
        {"0x7D0", 2000},      {"0X7D0", 2000},     {"  42", 42},          {"+5", 5},
        {"-5", -5},           {"-$10", -16},       {"$FFFFFFFF", -1},     {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"", std::nullopt},   {" ", std::nullopt}, {"12 ", std::nullopt}, {"1.5", std::nullopt},
        {"abc", std::nullopt}, {"$", std::nullopt}, {"0x", std::nullopt},  {"2147483648", std::nullopt},
        {"$100000000", std::nullopt}, {"0x0x5C50", std::nullopt}, {"- 5", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseInteger(c.text), c.expected) << "text: '" << c.text << "'";
    }
}

TEST(IntegerText, ErrorMessage) {
    EXPECT_EQ(notAnIntegerMessage("0x0x5C50"), "'0x0x5C50' is not a valid integer value");
}

struct LookupCase {
    const char* file;
    const char* section;
    const char* key;
    const char* expected;
};

TEST(ProfileReader, FollowsTheConfigurationRules) {
    const LookupCase cases[] = {
        {"[MAIN]\nHWID=abc\n", "MAIN", "HWID", "abc"},
        {"[main]\nhwid=abc\n", "MAIN", "HWID", "abc"},                // names ignore case
        {"[Option]\r\nKillTask = 1 \r\n", "OPTION", "KILLTASK", "1"},  // CR LF, blanks dropped
        {"[MAIN]\nHWID=\n", "MAIN", "HWID", ""},                      // present but empty
        {"[MAIN]\nOTHER=1\n", "MAIN", "HWID", "dflt"},                // missing key
        {"[BOOT]\nHWID=x\n", "MAIN", "HWID", "dflt"},                 // missing section
        {"[MAIN]\nHWID=\"quoted value\"\n", "MAIN", "HWID", "quoted value"},
        {"[MAIN]\nHWID='single'\n", "MAIN", "HWID", "single"},
        {"[MAIN]\nHWID=\"unbalanced\n", "MAIN", "HWID", "\"unbalanced"},
        {"[MAIN]\nHWID=\"a\"\"\n", "MAIN", "HWID", "a\""},            // only one pair removed
        {"[MAIN]\nHWID=first\nHWID=second\n", "MAIN", "HWID", "first"},
        {"[MAIN]\nX=1\n[BOOT]\nHWID=boot\n[MAIN]\nHWID=late\n", "MAIN", "HWID", "dflt"},
        {"[MAIN]\nno equals sign\nHWID=v\n", "MAIN", "HWID", "v"},
        {"[ MAIN ]\nHWID=v\n", "MAIN", "HWID", "v"},
        {"HWID=outside\n[MAIN]\n", "MAIN", "HWID", "dflt"},
        {"[MAIN]\nHWID=a=b\n", "MAIN", "HWID", "a=b"},
        {"[MAIN]\rHWID=old Mac line ends\r", "MAIN", "HWID", "old Mac line ends"},
        {"[MAIN]\r\n\r\nHWID=v\r\r\n", "MAIN", "HWID", "v"},
        {"\xEF\xBB\xBF[MAIN]\r\nHWID=after signature\r\n", "MAIN", "HWID", "after signature"},
        {"[MAIN]\nX=\xEF\xBB\xBF\nHWID=v\n", "MAIN", "X", "\xEF\xBB\xBF"},  // only at the start
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lookupProfileText(c.file, c.section, c.key, "dflt"), c.expected) << c.file;
    }
}

TEST(ProfileReader, DefaultLosesItsTrailingSpaces) {
    EXPECT_EQ(lookupProfileText("[MAIN]\n", "MAIN", "HWID", " USB id  "), " USB id");
    EXPECT_EQ(lookupProfileText("[MAIN]\n", "MAIN", "HWID", "tab\t"), "tab\t");
    EXPECT_EQ(lookupProfileText("[MAIN]\n", "MAIN", "HWID", "   "), "");
    EXPECT_EQ(lookupProfileText("[MAIN]\nHWID=\" kept \"\n", "MAIN", "HWID", "x "), " kept ");
}

TEST(ProfileReader, SeesAtMost2047Characters) {
    const std::string longValue(3000, 'v');
    EXPECT_EQ(lookupProfileText("[A]\nK=" + longValue + "\n", "A", "K", "").size(), 2047u);
}

class OptionsFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("qv_options_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
        path_ = (folder_ / "TAVO.ini").string();
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    void write(const std::string& text) {
        std::ofstream(path_, std::ios::binary) << text;
    }
    OptionsReadResult read(Options& options, std::vector<std::string> parameters = {}) {
        return readStartupOptions(options, reader_, path_, CommandLine(std::move(parameters)));
    }

    std::filesystem::path folder_;
    std::string path_;
    ProfileReader reader_;
};

TEST_F(OptionsFile, MissingFileKeepsBuiltInValues) {
    Options options;
    ASSERT_TRUE(read(options).ok);
    const Options builtIn;
    EXPECT_EQ(options.MAIN_HWID, "USB\\VID_1C7A&PID_5C50");
    EXPECT_EQ(options.BOOT_HWID, "USB\\VID_1C7A&PID_5CDB");
    EXPECT_EQ(options.MSEC, 2000);
    EXPECT_EQ(options.PASS, 1);
    EXPECT_EQ(options.FAIL, 0);
    EXPECT_EQ(options.MAXSTATECUNT, 10);
    EXPECT_EQ(options.MAXSCANDEVICE, 256);
    EXPECT_EQ(options.SPECIALLYBINSIZEFOR5C80, 126);
    EXPECT_EQ(options.TALVIK_DEFAULTPATCH, 1);
    EXPECT_EQ(options.REPORTID, 90);
    EXPECT_EQ(options.MAINTARGETPID, 0);
    EXPECT_EQ(options.commandLineMode, CommandLineMode::Normal);
    EXPECT_EQ(options.HWID, builtIn.HWID);
}

TEST_F(OptionsFile, ConvertsTheDocumentedExamples) {
    write("[DELAY]\nMSEC=$7D0\n[MAIN]\nREPORTID=346\n[option]\nmaintargetpid=5C50\nkilltask=1\n");
    Options options;
    options.MSEC = 1;
    ASSERT_TRUE(read(options).ok);
    EXPECT_EQ(options.MSEC, 2000);
    EXPECT_EQ(options.REPORTID, 90);
    EXPECT_EQ(options.MAINTARGETPID, 0x5C50);
    EXPECT_EQ(options.KILLTASK, 1);
}

TEST_F(OptionsFile, ConversionErrorsStopTheReadingAtTheirKey) {
    struct Case {
        const char* file;
        const char* error;
        const char* key;
    };
    const Case cases[] = {
        {"[OPTION]\nMAINTARGETPID=0x5C50\nKILLTASK=1\n", "'0x0x5C50' is not a valid integer value", "MAINTARGETPID"},
        {"[OPTION]\nMAXSTATECUNT=\nKILLTASK=1\n", "'' is not a valid integer value", "MAXSTATECUNT"},
        {"[DELAY]\nMSEC=two\n[OPTION]\nKILLTASK=1\n", "'two' is not a valid integer value", "MSEC"},
    };
    for (const auto& c : cases) {
        write(c.file);
        Options options;
        const auto result = read(options);
        EXPECT_FALSE(result.ok) << c.file;
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.key, c.key);
        EXPECT_EQ(options.KILLTASK, 0) << "keys after the error are not read";
    }
}

TEST_F(OptionsFile, EmptyHardwareIdIsEmptyNotBuiltIn) {
    write("[MAIN]\nHWID=\n");
    Options options;
    ASSERT_TRUE(read(options).ok);
    EXPECT_EQ(options.MAIN_HWID, "");
}

TEST_F(OptionsFile, AbsentKeysKeepTheValueHeldNowButListsEmpty) {
    write("[MAIN]\nHWID1=USB\\VID_1C7A&PID_5C51\n");
    Options options;
    options.MAIN_HWID = "replaced by selection";
    options.REPORTID = 0x5A;
    options.HWID[1] = "stale";
    options.MAINTARGETPID = 0x1234;
    ASSERT_TRUE(read(options).ok);
    EXPECT_EQ(options.MAIN_HWID, "replaced by selection");
    EXPECT_EQ(options.HWID[0], "USB\\VID_1C7A&PID_5C51");
    EXPECT_EQ(options.HWID[1], "");
    EXPECT_EQ(options.MAINTARGETPID, 0x1234);
}

TEST_F(OptionsFile, SwitchEffectsFollowTheCloseKeys) {
    struct Case {
        const char* file;
        std::vector<std::string> parameters;
        int pass, fail;
        CommandLineMode mode;
    };
    const Case cases[] = {
        {"", {}, 1, 0, CommandLineMode::Normal},
        {"[CLOSEAPP]\nPASS=0\n", {"/s"}, 1, 1, CommandLineMode::Normal},
        {"[DEVICE]\nDOCKINGBURN=1\n", {"/S"}, 0, 0, CommandLineMode::Normal},
        {"[DEVICE]\nDOCKINGBURN=2\n", {"/S"}, 1, 1, CommandLineMode::Normal},
        {"", {"/s", "/erase", "/vf"}, 1, 1, CommandLineMode::EraseOnly},
        {"", {"/VF"}, 1, 0, CommandLineMode::VerifyOnly},
    };
    for (const auto& c : cases) {
        write(c.file);
        Options options;
        ASSERT_TRUE(read(options, c.parameters).ok);
        EXPECT_EQ(options.PASS, c.pass) << c.file;
        EXPECT_EQ(options.FAIL, c.fail) << c.file;
        EXPECT_EQ(options.commandLineMode, c.mode) << c.file;
    }
}

TEST_F(OptionsFile, DockingFileWithoutRetryKeyLeavesRetryAtZero) {
    write("[DEVICE]\nDOCKINGBURN=1\n");
    Options options;
    ASSERT_TRUE(read(options).ok);
    EXPECT_EQ(options.PROGRAMFAILRETRY, 0);
    EXPECT_EQ(options.DOCKINGBURN, 1);
}

TEST_F(OptionsFile, WindowOptions) {
    write("[message]\nenable=1\n[OPTION]\nTITLENAME=Station 4\n");
    Options options;
    ASSERT_TRUE(readWindowOptions(options, reader_, path_).ok);
    EXPECT_EQ(options.ENABLE, 1);
    EXPECT_EQ(options.TITLENAME, "Station 4");
}

TEST_F(OptionsFile, OutOfRangeValuesAreKeptUsableAndSaid) {
    write("[DEVICE]\nMAININDEX=300\n[DELAY]\nMSEC=-1\n[OPTION]\nMAXSCANDEVICE=1000\nALLHIDCOMMANDDELAY=5\n");
    Options options;
    const auto result = read(options);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(options.MAININDEX, 255);
    EXPECT_EQ(options.MAXSCANDEVICE, 256);
    EXPECT_EQ(options.MSEC, 0);
    EXPECT_EQ(options.ALLHIDCOMMANDDELAY, 5);
    const std::vector<std::string> expected = {
        "MAININDEX=300 is outside 0..255; 255 is used.",
        "MAXSCANDEVICE=1000 is outside 0..256; 256 is used.",
        "MSEC=-1 is outside 0..3600000; 0 is used.",
    };
    EXPECT_EQ(result.notes, expected);
}

TEST(Options, TableBoundsAreClamped) {
    Options options;
    options.MAININDEX = 300;
    options.MAXSCANDEVICE = 1000;
    EXPECT_EQ(options.mainSlot(), 255u);
    EXPECT_EQ(options.scanLimit(), 256u);
    options.MAININDEX = -1;
    options.MAXSCANDEVICE = -5;
    EXPECT_EQ(options.mainSlot(), 0u);
    EXPECT_EQ(options.scanLimit(), 0u);
}

TEST(CommandLine, FindsSwitchesAsDocumented) {
    EXPECT_TRUE(CommandLine({"/s"}).hasFlag("/S"));
    for (const char* notSilent : {"-S", "S", "//S", "/SILENT"}) {
        EXPECT_FALSE(CommandLine({notSilent}).hasFlag("/S")) << notSilent;
    }
    EXPECT_EQ(CommandLine({"/Fnew.bin", "/Fold.bin"}).value("/F"), "NEW.BIN");
    EXPECT_EQ(CommandLine({"/F", "new.bin"}).value("/F"), "");
    EXPECT_EQ(CommandLine({"--simulate=/tmp/x"}).value("/F"), std::nullopt);
    EXPECT_FALSE(CommandLine({"--simulate=/tmp/S"}).hasFlag("/S"));
    EXPECT_EQ(CommandLine(std::vector<std::string>{}).value("/F"), std::nullopt);
}

TEST(CommandLine, ValuesThatDoNotFitAreRefused) {
    const std::string fits(255, 'a');
    const std::string tooLong(256, 'a');
    EXPECT_EQ(CommandLine({"/F" + fits}).value("/F"), std::string(255, 'A'));
    EXPECT_EQ(CommandLine({"/F" + tooLong}).value("/F"), "");
}

} // namespace
} // namespace qv
