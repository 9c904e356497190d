// The program's own "--" options: what they set, and every usage error.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/exit_codes.h"
#include "app/program_options.h"
#include "session/program_version.h"

namespace qv {
namespace {

TEST(ProgramOptions, KnownOptionsAndSwitchesSideBySide) {
    const auto read = readProgramOptions({"/S", "--simulate=/tmp/hub", "/Ffw.bin", "--virtual-time", "S", "-S"});
    EXPECT_EQ(read.error, "");
    EXPECT_EQ(read.options.simulateFolder, "/tmp/hub");
    EXPECT_TRUE(read.options.virtualTime);
    EXPECT_FALSE(read.options.help);
    EXPECT_FALSE(read.options.version);
}

TEST(ProgramOptions, UsageErrors) {
    struct Case {
        std::vector<std::string> parameters;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"/S", "--frobnicate=1"}, "unknown option '--frobnicate'"},
        {{"--SIMULATE=x"}, "unknown option '--SIMULATE'"},
        {{"--"}, "unknown option '--'"},
        {{"--simulate"}, "option '--simulate' needs a value: --simulate=DIR"},
        {{"--simulate="}, "option '--simulate' needs a value: --simulate=DIR"},
        {{"--version=2"}, "option '--version' takes no value"},
        {{"--simulate=a", "--simulate=b"}, "option '--simulate' is given more than once"},
        {{"--virtual-time"}, "--virtual-time needs --simulate=DIR"},
        {{"--frobnicate", "--simulate"}, "unknown option '--frobnicate'"},  // the first error is reported
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parameters.front());
        EXPECT_EQ(readProgramOptions(c.parameters).error, c.error);
    }
}

TEST(ProgramOptions, HelpAnswersWhateverElseIsGiven) {
    for (const std::vector<std::string>& parameters :
         {std::vector<std::string>{"--help"}, {"-h"}, {"/?"}, {"--frobnicate", "-h"}, {"/S", "--help", "--version"}}) {
        EXPECT_TRUE(readProgramOptions(parameters).options.help) << parameters.front();
    }
    EXPECT_TRUE(readProgramOptions({"--version"}).options.version);
}

TEST(ProgramOptions, UsageTextNamesEveryOptionSwitchAndExitCode) {
    const std::string text = usageText();
    for (const auto& option : programOptionTable()) EXPECT_NE(text.find(option.name), std::string::npos);
    for (const char* switchText : {"/S ", "/VF ", "/ERASE ", "/Fname.bin "}) {
        EXPECT_NE(text.find(switchText), std::string::npos) << switchText;
    }
    for (const auto& row : exitCodeTable()) {
        EXPECT_NE(text.find("  " + std::to_string(row.codes.front())), std::string::npos);
    }
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        EXPECT_LE(end - start, 79u) << text.substr(start, end - start);
    }
}

TEST(ProgramOptions, VersionTextStartsWithTheCaptionsVersion) {
    const std::string text = versionText({"linux (hidraw, sysfs)", ""});
    EXPECT_EQ(text.substr(0, text.find('\n')), std::string("QuorvexUpdate ") + kProgramVersion);
    EXPECT_NE(text.find("window: no"), std::string::npos);
    EXPECT_NE(versionText({"p", "Qt 6.4.2"}).find("window: yes (Qt 6.4.2)"), std::string::npos);
}

TEST(ProgramOptions, UsageErrorLine) {
    EXPECT_EQ(usageErrorLine("unknown option '--frobnicate'"),
              "QuorvexUpdate: unknown option '--frobnicate' (see --help)\n");
}

// The README's exit-code table is the code's table, row by row.
TEST(ExitCodes, TheReadmeShowsTheSameTable) {
    std::ifstream file(std::string(QV_SOURCE_DIR) + "/README.md");
    ASSERT_TRUE(file) << "README.md not found";
    const std::string readme{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const auto header = readme.find("| exit code | outcome |\n|---|---|\n");
    ASSERT_NE(header, std::string::npos) << "no exit-code table in README.md";
    std::vector<std::string> readmeRows;
    std::size_t at = readme.find('\n', readme.find('\n', header) + 1) + 1;
    while (at < readme.size() && readme[at] == '|') {
        const auto end = readme.find('\n', at);
        std::string row = readme.substr(at, end - at);
        row.erase(std::remove(row.begin(), row.end(), '`'), row.end());  // code spans in the README
        readmeRows.push_back(row);
        at = end + 1;
    }
    std::vector<std::string> codeRows;
    for (const auto& row : exitCodeTable()) {
        std::string codes;
        for (const int code : row.codes) codes += (codes.empty() ? "" : ", ") + std::to_string(code);
        codeRows.push_back("| " + codes + " | " + std::string(row.meaning) + " |");
    }
    EXPECT_EQ(readmeRows, codeRows);
}

} // namespace
} // namespace qv
