// The example TAVO.ini shipped in the packages names every key the program
// reads, in its section, with its built-in value, each switched off by a
// ';' so that the file as shipped changes nothing.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/profile_reader.h"
#include "platform/profile_source.h"
#include "session/command_line.h"
#include "session/options.h"

namespace qv {
namespace {

struct KeyRead {
    std::string section;
    std::string key;
    std::string defaultText;
};

// Answers every key with its default and remembers what was asked.
class RecordingProfile : public ProfileSource {
public:
    std::string readString(const std::string&, const std::string& section, const std::string& key,
                           const std::string& defaultText) override {
        reads.push_back({section, key, defaultText});
        return defaultText;
    }
    std::vector<KeyRead> reads;
};

// A profile file held in memory.
class TextProfile : public ProfileSource {
public:
    explicit TextProfile(std::string text) : text_(std::move(text)) {}
    std::string readString(const std::string&, const std::string& section, const std::string& key,
                           const std::string& defaultText) override {
        return lookupProfileText(text_, section, key, defaultText);
    }

private:
    std::string text_;
};

std::string exampleText() {
    std::ifstream file(QV_EXAMPLE_INI, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The example with every switched-off key switched on.
std::string switchedOn(const std::string& text) {
    return std::regex_replace(text, std::regex(R"(^;([A-Za-z][A-Za-z0-9_]*=))", std::regex::multiline), "$1");
}

// Every key the program reads, with the default it reads it with, in order.
std::vector<KeyRead> keysTheProgramReads() {
    Options options;
    RecordingProfile profile;
    readWindowOptions(options, profile, "TAVO.ini");
    readStartupOptions(options, profile, "TAVO.ini", CommandLine{});
    return profile.reads;
}

// The value the example gives a key: its built-in value as the file writes
// it. MAINTARGETPID is written as bare hexadecimal digits and read with a
// default of its own that tells an absent key from a present one.
std::string builtInText(const KeyRead& read) {
    if (read.key == "MAINTARGETPID") {
        std::ostringstream hex;
        hex << std::uppercase << std::hex << Options{}.MAINTARGETPID;
        return hex.str();
    }
    return read.defaultText;
}

const std::string kMissing = "\x02missing";

TEST(ExampleIni, NamesEveryKeyInItsSectionWithItsBuiltInValue) {
    const std::string text = exampleText();
    ASSERT_FALSE(text.empty()) << QV_EXAMPLE_INI;
    const std::string on = switchedOn(text);
    const auto reads = keysTheProgramReads();
    ASSERT_GT(reads.size(), 70u);
    for (const auto& read : reads) {
        SCOPED_TRACE("[" + read.section + "] " + read.key);
        EXPECT_EQ(lookupProfileText(on, read.section, read.key, kMissing), builtInText(read));
        // As shipped, the key is switched off.
        EXPECT_EQ(lookupProfileText(text, read.section, read.key, kMissing), kMissing);
    }
}

TEST(ExampleIni, NamesNoKeyTheProgramDoesNotRead) {
    std::set<std::pair<std::string, std::string>> known;
    for (const auto& read : keysTheProgramReads()) known.insert({read.section, read.key});

    std::istringstream lines(switchedOn(exampleText()));
    const std::regex sectionLine(R"(^\[([^\]]+)\]\s*$)");
    const std::regex keyLine(R"(^([A-Za-z][A-Za-z0-9_]*)=)");
    std::string line;
    std::string section;
    std::set<std::string> sectionsSeen;
    int keys = 0;
    while (std::getline(lines, line)) {
        std::smatch match;
        if (std::regex_search(line, match, sectionLine)) {
            section = match[1];
            // The first section of a name wins: a second one would be ignored.
            EXPECT_TRUE(sectionsSeen.insert(section).second) << "section [" << section << "] twice";
        } else if (std::regex_search(line, match, keyLine)) {
            ++keys;
            EXPECT_TRUE(known.count({section, match[1]})) << "[" << section << "] " << match[1];
        }
    }
    EXPECT_EQ(static_cast<std::size_t>(keys), known.size());
}

TEST(ExampleIni, SwitchedOnItReadsAsTheBuiltInValues) {
    TextProfile profile(switchedOn(exampleText()));
    Options options;
    const auto window = readWindowOptions(options, profile, "TAVO.ini");
    const auto startup = readStartupOptions(options, profile, "TAVO.ini", CommandLine{});
    EXPECT_TRUE(window.ok) << window.error;
    EXPECT_TRUE(startup.ok) << startup.key << ": " << startup.error;
    EXPECT_TRUE(startup.notes.empty());
    EXPECT_EQ(options.MAINTARGETPID, Options{}.MAINTARGETPID);

    // Read back through the program's own reader, every key holds the value
    // it had before.
    RecordingProfile before;
    RecordingProfile after;
    Options builtIn;
    readWindowOptions(builtIn, before, "TAVO.ini");
    readStartupOptions(builtIn, before, "TAVO.ini", CommandLine{});
    readWindowOptions(options, after, "TAVO.ini");
    readStartupOptions(options, after, "TAVO.ini", CommandLine{});
    ASSERT_EQ(before.reads.size(), after.reads.size());
    for (std::size_t i = 0; i < before.reads.size(); ++i) {
        EXPECT_EQ(before.reads[i].defaultText, after.reads[i].defaultText) << before.reads[i].key;
    }
}

} // namespace
} // namespace qv
