// TAVO.ini files read by the system's profile service and by our own reader
// (used where that service does not exist). Both must agree wherever the
// configuration relies on the reading rules; elsewhere the differences are
// listed in the output.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "platform/profile_reader.h"
#include "platform/win32/win32_system_ports.h"
#include "session/command_line.h"
#include "session/options.h"
#include "windows_test_support.h"

namespace qv {
namespace {

enum class Rule {
    Covered,  // the configuration relies on it: both readers must agree
    Aligned,  // outside the rules, but our reader follows the system here
    Outside,  // outside the rules: differences are reported
};

const std::string kDefault = "dflt";

struct ProfileCase {
    const char* what;
    std::optional<std::string> file;  // nullopt: no file at all
    const char* section;
    const char* key;
    Rule rule;
    std::string defaultText = kDefault;
};

std::string visible(const std::string& text) {
    std::string shown;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            static const char* digits = "0123456789ABCDEF";
            shown += "\\x";
            shown += digits[byte >> 4];
            shown += digits[byte & 0xF];
        } else {
            shown += c;
        }
    }
    return shown.size() > 60 ? shown.substr(0, 28) + "...(" + std::to_string(text.size()) + " bytes)" : shown;
}

std::vector<ProfileCase> corpus() {
    const std::string longValue(3000, 'v');
    return {
        // --- What the configuration relies on.
        {"plain key", "[MAIN]\r\nHWID=USB\\VID_1C7A&PID_5C50\r\n", "MAIN", "HWID", Rule::Covered},
        {"LF line ends", "[MAIN]\nHWID=abc\n", "MAIN", "HWID", Rule::Covered},
        {"no line end at the end", "[MAIN]\r\nHWID=abc", "MAIN", "HWID", Rule::Covered},
        {"section in lower case", "[main]\r\nHWID=abc\r\n", "MAIN", "HWID", Rule::Covered},
        {"key in mixed case", "[OPTION]\r\nKillTask=1\r\n", "OPTION", "KILLTASK", Rule::Covered},
        {"asked in lower case", "[OPTION]\r\nKILLTASK=1\r\n", "option", "killtask", Rule::Covered},
        {"blanks around the value", "[DELAY]\r\nMSEC=   2000   \r\n", "DELAY", "MSEC", Rule::Covered},
        {"blanks around the key", "[DELAY]\r\n  MSEC  =2000\r\n", "DELAY", "MSEC", Rule::Covered},
        {"tabs around the value", "[DELAY]\r\nMSEC=\t2000\t\r\n", "DELAY", "MSEC", Rule::Covered},
        {"double quotes", "[OPTION]\r\nTITLENAME=\"Station 4\"\r\n", "OPTION", "TITLENAME", Rule::Covered},
        {"single quotes", "[OPTION]\r\nTITLENAME='Station 4'\r\n", "OPTION", "TITLENAME", Rule::Covered},
        {"quotes inside blanks", "[OPTION]\r\nTITLENAME=  \"Station 4\"  \r\n", "OPTION", "TITLENAME", Rule::Covered},
        {"empty value", "[MAIN]\r\nHWID=\r\n", "MAIN", "HWID", Rule::Covered},
        {"empty value with blanks", "[MAIN]\r\nHWID=   \r\n", "MAIN", "HWID", Rule::Covered},
        {"missing key", "[MAIN]\r\nHWID1=x\r\n", "MAIN", "HWID", Rule::Covered},
        {"missing section", "[BOOT]\r\nHWID=x\r\n", "MAIN", "HWID", Rule::Covered},
        {"missing file", std::nullopt, "MAIN", "HWID", Rule::Covered},
        {"empty file", "", "MAIN", "HWID", Rule::Covered},
        {"key in the next section", "[MAIN]\r\nX=1\r\n[BOOT]\r\nHWID=boot\r\n", "MAIN", "HWID", Rule::Covered},
        {"key of an earlier section", "[BOOT]\r\nHWID=boot\r\n[MAIN]\r\nHWID=main\r\n", "MAIN", "HWID",
         Rule::Covered},
        {"value holding '='", "[MAIN]\r\nHWID=a=b\r\n", "MAIN", "HWID", Rule::Covered},
        {"value of 2047 characters", "[A]\r\nK=" + std::string(2047, 'w') + "\r\n", "A", "K", Rule::Covered},
        {"value of 2048 characters", "[A]\r\nK=" + std::string(2048, 'w') + "\r\n", "A", "K", Rule::Covered},
        {"value of 3000 characters", "[A]\r\nK=" + longValue + "\r\n", "A", "K", Rule::Covered},
        {"hexadecimal text kept as text", "[DELAY]\r\nMSEC=$7D0\r\n", "DELAY", "MSEC", Rule::Covered},
        {"key without value among others", "[MAIN]\r\nno equals sign\r\nHWID=v\r\n", "MAIN", "HWID",
         Rule::Covered},
        {"blank lines", "\r\n\r\n[MAIN]\r\n\r\nHWID=v\r\n\r\n", "MAIN", "HWID", Rule::Covered},
        {"indented section", "  [MAIN]\r\nHWID=v\r\n", "MAIN", "HWID", Rule::Covered},

        {"empty default", "[MAIN]\r\n", "MAIN", "HWID1", Rule::Covered, ""},
        {"numeric default", "[OPTION]\r\n", "OPTION", "MAXSTATECUNT", Rule::Covered, "10"},

        // --- Outside the rules, where our reader follows the system.
        {"duplicate key: first wins", "[MAIN]\r\nHWID=first\r\nHWID=second\r\n", "MAIN", "HWID", Rule::Aligned},
        {"duplicate section, key in the second", "[MAIN]\r\nX=1\r\n[BOOT]\r\nY=2\r\n[MAIN]\r\nHWID=late\r\n",
         "MAIN", "HWID", Rule::Aligned},
        {"duplicate section, key in both", "[MAIN]\r\nHWID=early\r\n[MAIN]\r\nHWID=late\r\n", "MAIN", "HWID",
         Rule::Aligned},
        {"comment line", "[MAIN]\r\n;HWID=commented\r\nHWID=v\r\n", "MAIN", "HWID", Rule::Aligned},
        {"comment after the value", "[DELAY]\r\nMSEC=2000 ; two seconds\r\n", "DELAY", "MSEC", Rule::Aligned},
        {"key before any section", "HWID=outside\r\n[MAIN]\r\n", "MAIN", "HWID", Rule::Aligned},
        {"CR alone ends lines", "[MAIN]\rHWID=v\r", "MAIN", "HWID", Rule::Aligned},
        {"UTF-8 signature", "\xEF\xBB\xBF[MAIN]\r\nHWID=v\r\n", "MAIN", "HWID", Rule::Aligned},
        {"default with trailing blanks", "[MAIN]\r\n", "MAIN", "HWID", Rule::Aligned, "dflt \t "},

        // --- Outside the rules.
        {"comment line asked for", "[MAIN]\r\n;HWID=commented\r\n", "MAIN", ";HWID", Rule::Outside},
        {"commented section", ";[MAIN]\r\nHWID=v\r\n", "MAIN", "HWID", Rule::Outside},
        {"hash comment", "[MAIN]\r\n#HWID=commented\r\n", "MAIN", "#HWID", Rule::Outside},
        {"comment after the section", "[DELAY] ; pauses\r\nMSEC=2000\r\n", "DELAY", "MSEC", Rule::Outside},
        {"line without '=' asked for", "[OPTION]\r\nKILLTASK\r\n", "OPTION", "KILLTASK", Rule::Outside},
        {"blanks inside brackets", "[ MAIN ]\r\nHWID=v\r\n", "MAIN", "HWID", Rule::Outside},
        {"unclosed section", "[MAIN\r\nHWID=v\r\n", "MAIN", "HWID", Rule::Outside},
        {"text after the bracket", "[MAIN]x\r\nHWID=v\r\n", "MAIN", "HWID", Rule::Outside},
        {"double brackets", "[[MAIN]]\r\nHWID=v\r\n", "MAIN", "HWID", Rule::Outside},
        {"blank inside a key", "[DEVICE]\r\nMAIN INDEX=3\r\n", "DEVICE", "MAIN INDEX", Rule::Outside},
        {"empty key name", "[MAIN]\r\n=v\r\n", "MAIN", "", Rule::Outside},
        {"unbalanced quote", "[MAIN]\r\nHWID=\"unbalanced\r\n", "MAIN", "HWID", Rule::Outside},
        {"mixed quotes", "[MAIN]\r\nHWID=\"mixed'\r\n", "MAIN", "HWID", Rule::Outside},
        {"one quote only", "[MAIN]\r\nHWID=\"\r\n", "MAIN", "HWID", Rule::Outside},
        {"empty quotes", "[MAIN]\r\nHWID=\"\"\r\n", "MAIN", "HWID", Rule::Outside},
        {"quote doubled at the end", "[MAIN]\r\nHWID=\"a\"\"\r\n", "MAIN", "HWID", Rule::Outside},
        {"blanks inside quotes", "[MAIN]\r\nHWID=\" a \"\r\n", "MAIN", "HWID", Rule::Outside},
        {"quotes inside the value", "[MAIN]\r\nHWID=a \"b\" c\r\n", "MAIN", "HWID", Rule::Outside},
        {"quoted value of 2048 characters", "[A]\r\nK=\"" + std::string(2048, 'q') + "\"\r\n", "A", "K",
         Rule::Outside},
        {"UTF-16 file", std::string("\xFF\xFE[\0M\0A\0I\0N\0]\0\r\0\n\0H\0W\0I\0D\0=\0v\0\r\0\n\0", 34), "MAIN", "HWID",
         Rule::Outside},
        {"leading blanks in the default", "[MAIN]\r\n", "MAIN", "HWID", Rule::Outside, "  dflt"},
        {"end-of-file mark", "[MAIN]\r\nHWID=v\r\n\x1A", "MAIN", "HWID", Rule::Outside},
        {"end-of-file mark after the value", "[MAIN]\r\nHWID=v\x1A", "MAIN", "HWID", Rule::Outside},
        {"NUL inside the file", std::string("[MAIN]\r\nX=1\0\r\nHWID=v\r\n", 22), "MAIN", "HWID",
         Rule::Outside},
        {"8-bit characters in names", "[M\xC4IN]\r\nHWID=v\r\n", "m\xE4in", "HWID", Rule::Outside},
        {"form feed around the value", "[MAIN]\r\nHWID=\fv\f\r\n", "MAIN", "HWID", Rule::Outside},
    };
}

TEST(ProfileCorpus, OurReaderAgreesWithTheSystemWhereTheRulesApply) {
    test::TempFolder folder;
    PrivateProfileSource system;
    ProfileReader ours;
    int index = 0;
    for (const auto& c : corpus()) {
        const std::string path = folder.path() + "TAVO" + std::to_string(index++) + ".ini";
        if (c.file) folder.write("TAVO" + std::to_string(index - 1) + ".ini", *c.file);
        const std::string fromSystem = system.readString(path, c.section, c.key, c.defaultText);
        const std::string fromFile = ours.readString(path, c.section, c.key, c.defaultText);
        const std::string fromText = lookupProfileText(c.file.value_or(""), c.section, c.key, c.defaultText);
        EXPECT_EQ(fromFile, fromText) << c.what;
        if (c.rule != Rule::Outside) {
            EXPECT_EQ(fromFile, fromSystem) << c.what;
        }
        static const char* kRuleNames[] = {"rule    ", "aligned ", "other   "};
        std::cout << (fromSystem == fromFile ? "  same     " : "  DIFFERS  ") << kRuleNames[static_cast<int>(c.rule)]
                  << c.what << ": system '" << visible(fromSystem) << "'"
                  << (fromSystem == fromFile ? "" : ", ours '" + visible(fromFile) + "'") << "\n";
    }
}

// Passes every read on and writes down what was asked and what came back.
class RecordingSource : public ProfileSource {
public:
    explicit RecordingSource(ProfileSource& inner) : inner_(inner) {}
    std::string readString(const std::string& path, const std::string& section, const std::string& key,
                           const std::string& defaultText) override {
        std::string value = inner_.readString(path, section, key, defaultText);
        log += "[" + section + "] " + key + " (default '" + defaultText + "') = '" + value + "'\n";
        return value;
    }
    std::string log;

private:
    ProfileSource& inner_;
};

// Two start-up passes over one file, as the program makes them: the second
// pass reads with the values the first one left as defaults.
std::string readOptionsTwice(ProfileSource& source, const std::string& path) {
    RecordingSource recorder(source);
    Options options;
    const CommandLine commandLine({"/S"});
    std::string outcome;
    for (const auto& result : {readWindowOptions(options, recorder, path),
                               readStartupOptions(options, recorder, path, commandLine),
                               readStartupOptions(options, recorder, path, commandLine)}) {
        outcome += result.ok ? "ok\n" : result.key + ": " + result.error + "\n";
    }
    return recorder.log + outcome;
}

TEST(ProfileCorpus, OptionsReadTheSameThroughBothReaders) {
    const char* files[] = {
        // A station's file as people write them.
        "; VOR sensor hub update station\r\n"
        "[Message]\r\nEnable = 1\r\n\r\n"
        "[option]\r\nTitleName = \"Line 3 - Station 4\"\r\nKillTask=1\r\nMaxScanDevice = $20\r\n"
        "MAINTARGETPID=5c50\r\nTALVIK_OTHERHWID2='USB\\VID_1C7A&PID_5C51'\r\nIGNORE6D10=\r\n"
        "[Main]\r\nHWID=USB\\VID_1C7A&PID_5C50\r\nHWID1 = USB\\VID_1C7A&PID_5C60 \r\nReportID=346\r\n"
        "[CHECKVERSION]\r\nPROJECTNAME1=QX5C\r\nDONOTUPDATETHESAMEVERSION=1\r\n"
        "[DELAY]\r\nMSEC=0x7D0\r\n[CloseApp]\r\nPASS=0\r\nFAIL=1\r\n",
        // Unix line ends, a duplicate key and a later duplicate section.
        "[DEVICE]\nDOCKINGBURN=1\nMAININDEX=2\nMAININDEX=3\n[DEVICE]\nNEEDERASE=0\n",
        // A conversion error stops the reading at its key.
        "[DELAY]\r\nMSEC=two seconds\r\n[OPTION]\r\nKILLTASK=1\r\n",
        // An empty number is a conversion error too; an empty text is not.
        "[MAIN]\r\nHWID=\r\n[OPTION]\r\nMAXSTATECUNT=\r\n",
    };
    test::TempFolder folder;
    PrivateProfileSource system;
    ProfileReader ours;
    for (const char* file : files) {
        const std::string path = folder.write("TAVO.ini", file);
        EXPECT_EQ(readOptionsTwice(ours, path), readOptionsTwice(system, path)) << file;
    }
}

// The example TAVO.ini of the zip, as shipped (every key switched off by a
// ';') and with every key switched on.
TEST(ProfileCorpus, ExampleIniReadsTheSameThroughBothReaders) {
    std::ifstream example(QV_EXAMPLE_INI, std::ios::binary);
    const std::string shipped((std::istreambuf_iterator<char>(example)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(shipped.empty()) << QV_EXAMPLE_INI;
    const std::string switchedOn =
        std::regex_replace(shipped, std::regex(R"(^;([A-Za-z][A-Za-z0-9_]*=))", std::regex::multiline), "$1");
    ASSERT_NE(switchedOn, shipped);
    test::TempFolder folder;
    PrivateProfileSource system;
    ProfileReader ours;
    for (const auto& [name, file] : {std::pair<std::string, std::string>{"shipped.ini", shipped},
                                      std::pair<std::string, std::string>{"switched-on.ini", switchedOn}}) {
        const std::string path = folder.write(name, file);
        EXPECT_EQ(readOptionsTwice(ours, path), readOptionsTwice(system, path)) << name;
    }
}

} // namespace
} // namespace qv
