// --result-json=FILE: the document every ending leaves, checked against the
// schema of docs/result.schema.json, for the endings of the simulated
// station on virtual time; and the pieces it is made of.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/program.h"
#include "app/result_document.h"
#include "app/run_reporter.h"
#include "app/text_encoding.h"
#include "app/wall_clock.h"
#include "platform/virtual_event_loop.h"
#include "station/simulated_station.h"
#include "support/json_schema_check.h"
#include "support/sim_session.h"

namespace qv {
namespace {

using nlohmann::json;

constexpr const char* kStarted = "2026-12-10T11:00:00+01:00";

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The lines of a result log, without the CR LF after each.
std::vector<std::string> logLines(const std::string& log) {
    std::vector<std::string> lines;
    for (std::size_t from = 0; from < log.size();) {
        const std::size_t end = log.find("\r\n", from);
        lines.push_back(log.substr(from, end - from));
        from = end == std::string::npos ? log.size() : end + 2;
    }
    return lines;
}

// One station with its result document in its own folder.
struct Bench {
    Bench() {
        station.console.resultJsonPath = documentPath().string();
        station.console.clock = [] { return std::string(kStarted); };
    }
    std::filesystem::path documentPath() const { return scratch.path() / "result.json"; }
    void writeFile(const std::string& name, const std::string& bytes) {
        std::ofstream file(scratch.path() / name, std::ios::binary | std::ios::trunc);
        file << bytes;
    }
    void image(const std::string& oem, const std::string& name = "fw.bin") {
        const auto bytes = testing::imageWithVersion(oem, 7);
        writeFile(name, std::string(bytes.begin(), bytes.end()));
    }
    void bytes(const std::vector<std::uint8_t>& content, const std::string& name = "fw.bin") {
        writeFile(name, std::string(content.begin(), content.end()));
    }
    void ini(const std::string& text) { writeFile("TAVO.ini", text); }

    json run(const std::vector<std::string>& parameters) {
        exitCode = runProgram(loop, station, CommandLine(parameters));
        return json::parse(readBytes(documentPath()));
    }

    testing::ScratchDirectory scratch{"qv-result"};
    VirtualEventLoop loop;
    sim::SimulatedStation station{loop, scratch.folder()};
    int exitCode = -1;
};

struct Ending {
    const char* name;
    std::function<void(Bench&)> setUp;
    int resultCode;
    int exitCode;
    const char* outcome;
    bool device;
    bool image;
};

const std::vector<Ending>& endings() {
    static const std::vector<Ending> table = {
        {"success", [](Bench& b) { b.station.hub.addDevice(); b.image("OEM V2.00"); }, 0, 0, "success", true, true},
        {"up to date",
         [](Bench& b) {
             b.station.hub.addDevice();
             b.ini("[CHECKVERSION]\r\nPROJECTNAME1=OEM V\r\n");
             b.image("OEM V1.00");
         },
         35, 35, "up-to-date", true, true},
        {"no device", [](Bench& b) { b.image("OEM V2.00"); }, 1, 1, "no-device", false, true},
        {"no device, RETURNCODETYPE=1",
         [](Bench& b) {
             b.ini("[OPTION]\r\nRETURNCODETYPE=1\r\n");
             b.image("OEM V2.00");
         },
         1, 3, "no-device", false, true},
        {"lost in flash mode",
         [](Bench& b) {
             b.station.hub.addDevice().faults().refuseModeSwitch = true;
             b.image("OEM V2.00");
         },
         3, 3, "lost-device", true, true},
        {"no device at start-up",
         [](Bench& b) {
             b.ini("[CHECKVERSION]\r\nPROJECTNAME1=OEM V\r\n");
             b.image("OEM V2.00");
         },
         32, 32, "no-device", false, false},
        {"no update file", [](Bench& b) { b.station.hub.addDevice(); }, 34, 34, "no-file", false, false},
        {"two update files",
         [](Bench& b) {
             b.station.hub.addDevice();
             b.image("OEM V2.00", "a.bin");
             b.image("OEM V2.00", "b.bin");
         },
         33, 33, "too-many-files", false, false},
        {"checksum error",
         [](Bench& b) {
             b.station.hub.addDevice();
             auto bad = testing::imageWithVersion("OEM V2.00", 7);
             bad[0x8000] ^= 0x40;
             b.bytes(bad);
         },
         36, 36, "checksum-error", false, true},
        {"programming failed",
         [](Bench& b) {
             b.station.hub.addDevice().faults().wrongSumOnPage = 5;
             b.image("OEM V2.00");
         },
         16, 16, "programming-failed", true, true},
        {"clock refused",
         [](Bench& b) {
             b.station.hub.addDevice();
             auto refused = testing::imageWithVersion("OEM V2.00", 7);
             refused[0x87] ^= 0x10;
             b.bytes(refused);
         },
         162, 162, "refused", true, true},
        {"parameters updated",
         [](Bench& b) {
             b.station.hub.addDevice();
             b.bytes(sim::makeFirmwareImage({.kind = sim::ImageKind::ParameterFile}), "param.bin");
         },
         0, 0, "success", true, true},
        {"parameter file refused",
         [](Bench& b) {
             b.station.hub.addDevice();
             b.bytes(sim::makeFirmwareImage({.kind = sim::ImageKind::ParameterFile, .dataLength = 0x40}),
                     "param.bin");
         },
         17, 17, "parameters-failed", true, true},
        {"configuration error",
         [](Bench& b) {
             b.station.hub.addDevice();
             b.ini("[OPTION]\r\nMAXSTATECUNT=abc\r\n");
             b.image("OEM V2.00");
         },
         37, 37, "config-error", false, false},
        {"version that is no number",
         [](Bench& b) {
             b.station.hub.addDevice();
             b.ini("[CHECKVERSION]\r\nPROJECTNAME1=OEM V\r\n");
             b.image("OEM Vnext");
         },
         38, 38, "bad-version", true, true},
        {"no result log",
         [](Bench& b) {
             b.ini("[OPTION]\r\nNORESULTLOG=1\r\n");
             b.image("OEM V2.00");
         },
         1, 1, "no-device", false, true},
    };
    return table;
}

TEST(ResultDocument, EveryEndingOfTheStationLeavesADocumentThatHoldsToTheSchema) {
    const json schema = testing::loadResultSchema();
    for (const auto& ending : endings()) {
        SCOPED_TRACE(ending.name);
        Bench bench;
        ending.setUp(bench);
        const json document = bench.run({"/S"});
        EXPECT_EQ(testing::schemaProblems(schema, document), std::vector<std::string>{}) << document.dump(2);
        EXPECT_EQ(bench.exitCode, ending.exitCode);
        EXPECT_EQ(document["exitCode"], ending.exitCode);
        EXPECT_EQ(document["resultCode"], ending.resultCode);
        EXPECT_EQ(document["outcome"], ending.outcome);
        EXPECT_EQ(!document["device"].is_null(), ending.device);
        EXPECT_EQ(!document["image"].is_null(), ending.image);
        EXPECT_EQ(document["started"], kStarted);
        EXPECT_EQ(document["durationMs"], bench.loop.elapsedMilliseconds());
        // The messages are the result log's lines.
        if (document["resultLog"].is_string()) {
            const std::string log = readBytes(document["resultLog"].get<std::string>());
            EXPECT_EQ(document["messages"], json(logLines(log)));
        } else {
            EXPECT_FALSE(document["messages"].empty());
        }
    }
}

TEST(ResultDocument, ASuccessfulUpdateNamesTheDeviceTheImageTheVersionsAndTheExchanges) {
    Bench bench;
    bench.station.hub.addDevice();
    bench.image("OEM V2.00");
    const json document = bench.run({"/S"});
    EXPECT_EQ(document["program"], "QuorvexUpdate");
    EXPECT_EQ(document["device"], json::parse(R"({"family": "FF5C", "vendorId": "1C7A", "productId": "5C50",
                                                  "revision": "0102", "chipClass": 0})"));
    // The folder as the station names it, then the file (Windows mixes the separators).
    EXPECT_EQ(std::filesystem::path(document["image"]["file"].get<std::string>()).lexically_normal(),
              (bench.scratch.path() / "fw.bin").lexically_normal());
    EXPECT_EQ(document["image"]["size"], 0x1F800);
    EXPECT_EQ(document["image"]["kind"], "firmware");
    EXPECT_EQ(document["image"]["newOemVersion"], "OEM V2.00");
    EXPECT_EQ(document["oldOemVersion"], "OEM V1.00");
    EXPECT_EQ(document["newOemVersion"], "OEM V2.00");
    EXPECT_EQ(document["oldVersion"], "V1.00");
    EXPECT_EQ(document["newVersion"], document["image"]["newVersion"]);
    EXPECT_EQ(document["messages"], json({"New OEM Version: OEM V2.00\n", "Old OEM Version: OEM V1.00\n", "Success"}));
    // Every exchange the hub saw is counted once, none failed.
    std::uint64_t sets = 0, gets = 0;
    for (const auto& record : bench.station.hub.exchangeLog()) {
        ++(record.direction == sim::ExchangeRecord::Direction::Set ? sets : gets);
    }
    EXPECT_EQ(document["exchanges"], json({{"sets", sets}, {"gets", gets}, {"failedAttempts", 0}}));
    EXPECT_GT(sets, 100u);
}

// The version rule reads the device's version before it decides.
TEST(ResultDocument, UpToDateNamesTheVersionTheDeviceRuns) {
    Bench bench;
    bench.station.hub.addDevice();
    bench.ini("[CHECKVERSION]\r\nPROJECTNAME1=OEM V\r\n");
    bench.image("OEM V1.00");
    const json document = bench.run({"/S"});
    EXPECT_EQ(document["outcome"], "up-to-date");
    EXPECT_EQ(document["oldOemVersion"], "OEM V1.00");
    EXPECT_EQ(document["newOemVersion"], "OEM V1.00");
    EXPECT_TRUE(document["oldVersion"].is_null());
}

TEST(ResultDocument, FailedAttemptsAreCountedOnceEach) {
    Bench bench;
    bench.station.hub.addDevice().faults().failNextExchanges = 3;
    bench.image("OEM V2.00");
    const json document = bench.run({"/S"});
    EXPECT_EQ(document["outcome"], "success");
    EXPECT_EQ(document["exchanges"]["failedAttempts"], 3);
}

// NORESULTLOG: no log, the document all the same, with the pane's lines.
TEST(ResultDocument, WithoutAResultLogTheDocumentHoldsThePaneLines) {
    Bench bench;
    bench.ini("[OPTION]\r\nNORESULTLOG=1\r\n");
    bench.image("OEM V2.00");
    const json document = bench.run({"/S"});
    EXPECT_TRUE(document["resultLog"].is_null());
    EXPECT_EQ(document["messages"], json({"Can not Find Device! - 1"}));
}

// The program's texts are Windows-1252: the log keeps the byte, the
// document carries the character as UTF-8.
TEST(ResultDocument, EightBitTextIsDecodedAsWindows1252) {
    Bench bench;
    bench.station.hub.addDevice();
    bench.ini("[OPTION]\r\nMAXSTATECUNT=\xE9\x80\r\n");
    bench.image("OEM V2.00");
    const json document = bench.run({"/S"});
    EXPECT_EQ(document["outcome"], "config-error");
    const std::string first = document["messages"][0];
    EXPECT_EQ(first, "'\xC3\xA9\xE2\x82\xAC' is not a valid integer value");
    const std::string log = readBytes(document["resultLog"].get<std::string>());
    EXPECT_EQ(log.substr(0, 4), "'\xE9\x80'");
}

// The update runs all the same; one line on the console and in Memo2 says
// why no document comes, and the exit code stays the run's.
TEST(ResultDocument, AFolderThatCannotBeWrittenIsToldOnceAndTheRunGoesOn) {
    Bench bench;
    std::ostringstream errors;
    const std::string path = (bench.scratch.path() / "missing" / "result.json").string();
    bench.station.console.resultJsonPath = path;
    bench.station.console.errors = &errors;
    bench.station.hub.addDevice();
    bench.image("OEM V2.00");
    std::vector<std::string> memo2;
    const int exitCode = runProgram(bench.loop, bench.station, CommandLine({"/S"}),
                                    [&](Session& session) { memo2 = session.window.memo2.lines(); });
    EXPECT_EQ(exitCode, 0);
    const std::string line = "Cannot write the result document " + path + ": ";
    const std::string text = errors.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_EQ(text.rfind("QuorvexUpdate: " + line, 0), 0u) << text;
    ASSERT_FALSE(memo2.empty());
    EXPECT_EQ(memo2.back().rfind(line, 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(bench.station.hub.exchangeLog().empty());
}

// A start that fails, an interruption and another updater running end
// without an outcome of the run: each leaves its document all the same.
TEST(ResultDocument, EndingsOutsideARunLeaveTheirDocument) {
    const json schema = testing::loadResultSchema();
    struct Case {
        RunEnding ending;
        const char* outcome;
    };
    const Case cases[] = {
        {{EndingKind::StartFailure, 0, 2, "--simulate=x: no device.ini"}, "start-failure"},
        {{EndingKind::Interrupted, 0, 130, {}}, "interrupted"},
        {{EndingKind::AnotherInstance, 40, 40, {}}, "another-instance"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.outcome);
        VirtualEventLoop loop;
        testing::ScratchDirectory scratch{"qv-result"};
        ConsoleReporting console;
        console.resultJsonPath = (scratch.path() / "result.json").string();
        console.clock = [] { return std::string(kStarted); };
        RunReporter reporter(console, loop);
        reporter.end(c.ending);
        const json document = json::parse(readBytes(scratch.path() / "result.json"));
        EXPECT_EQ(testing::schemaProblems(schema, document), std::vector<std::string>{}) << document.dump(2);
        EXPECT_EQ(document["outcome"], c.outcome);
        EXPECT_EQ(document["exitCode"], c.ending.exitCode);
        EXPECT_TRUE(document["device"].is_null());
        if (!c.ending.reason.empty()) EXPECT_EQ(document["messages"], json({c.ending.reason}));
    }
}

// A station whose ports cannot be set up: the program's start fails.
class BrokenStation : public sim::SimulatedStation {
public:
    using SimulatedStation::SimulatedStation;
    HostOpening open(EventLoop&, Ports&, std::string& error) override {
        error = "no ports";
        return HostOpening::Failed;
    }
};

// A station whose lock another updater holds.
class BusyStation : public sim::SimulatedStation {
public:
    using SimulatedStation::SimulatedStation;
    HostOpening open(EventLoop& loop, Ports& ports, std::string& error) override {
        const HostOpening opening = SimulatedStation::open(loop, ports, error);
        return opening == HostOpening::Ready ? HostOpening::Busy : opening;
    }
};

TEST(ResultDocument, AnotherUpdaterRunningLeavesItsDocument) {
    VirtualEventLoop loop;
    testing::ScratchDirectory scratch{"qv-result"};
    BusyStation station(loop, scratch.folder());
    station.console.resultJsonPath = (scratch.path() / "result.json").string();
    EXPECT_EQ(runProgram(loop, station, CommandLine({"/S"})), kExitAnotherUpdater);
    const json document = json::parse(readBytes(scratch.path() / "result.json"));
    EXPECT_EQ(document["outcome"], "another-instance");
    EXPECT_EQ(document["exitCode"], kExitAnotherUpdater);
    EXPECT_EQ(document["messages"], json({kAnotherUpdaterLine}));
    EXPECT_TRUE(document["device"].is_null());
    EXPECT_EQ(testing::schemaProblems(testing::loadResultSchema(), document), std::vector<std::string>{});
}

TEST(ResultDocument, AStartThatFailsThroughTheProgramLeavesItsDocument) {
    VirtualEventLoop loop;
    testing::ScratchDirectory scratch{"qv-result"};
    BrokenStation station(loop, scratch.folder());
    station.console.resultJsonPath = (scratch.path() / "result.json").string();
    EXPECT_EQ(runProgram(loop, station, CommandLine({"/S"})), kExitStartFailure);
    const json document = json::parse(readBytes(scratch.path() / "result.json"));
    EXPECT_EQ(document["outcome"], "start-failure");
    EXPECT_EQ(document["messages"], json({"no ports"}));
    EXPECT_EQ(testing::schemaProblems(testing::loadResultSchema(), document), std::vector<std::string>{});
}

TEST(ResultDocument, TheDocumentReplacesAnEarlierOneWhole) {
    testing::ScratchDirectory scratch{"qv-result"};
    const std::string path = (scratch.path() / "result.json").string();
    std::string error;
    ASSERT_TRUE(writeFileAtomically(path, std::string(5000, 'x'), error)) << error;
    ASSERT_TRUE(writeFileAtomically(path, "{}\n", error)) << error;
    EXPECT_EQ(readBytes(path), "{}\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(TextEncoding, Windows1252BecomesUtf8) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"\xE9", "\xC3\xA9"},           // e acute
        {"\x80", "\xE2\x82\xAC"},       // euro sign
        {"\x9F", "\xC5\xB8"},           // Y diaeresis
        {"\x81", "\xC2\x81"},           // undefined: the C1 control
        {"\xA0\xFF", "\xC2\xA0\xC3\xBF"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& c : cases) EXPECT_EQ(utf8FromWindows1252(c.in), c.out);
}

TEST(WallClock, LocalTimeCarriesItsOffsetFromUtc) {
    const auto tm = [](int year, int yday, int hour, int minute) {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_yday = yday;
        t.tm_mon = 11;
        t.tm_mday = 10;
        t.tm_hour = hour;
        t.tm_min = minute;
        return t;
    };
    EXPECT_EQ(isoLocalTime(tm(2026, 343, 11, 0), tm(2026, 343, 10, 0)), "2026-12-10T11:00:00+01:00");
    EXPECT_EQ(isoLocalTime(tm(2026, 343, 4, 30), tm(2026, 343, 10, 0)), "2026-12-10T04:30:00-05:30");
    // Across midnight and across the year's end.
    EXPECT_EQ(isoLocalTime(tm(2026, 344, 1, 0), tm(2026, 343, 23, 0)).substr(19), "+02:00");
    EXPECT_EQ(isoLocalTime(tm(2026, 364, 20, 0), tm(2027, 0, 2, 0)).substr(19), "-06:00");
}

} // namespace
} // namespace qv

namespace qv {
namespace {

// The README's example is a document the schema accepts.
TEST(ResultDocument, TheReadmesExampleHoldsToTheSchema) {
    const std::string readme = readBytes(std::string(QV_SOURCE_DIR) + "/README.md");
    const auto section = readme.find("## Progress and the result document");
    ASSERT_NE(section, std::string::npos);
    const auto start = readme.find("```json\n", section);
    ASSERT_NE(start, std::string::npos);
    const auto end = readme.find("```\n", start + 8);
    const json example = json::parse(readme.substr(start + 8, end - start - 8));
    EXPECT_EQ(testing::schemaProblems(testing::loadResultSchema(), example), std::vector<std::string>{});
}

} // namespace
} // namespace qv

namespace qv {
namespace {

// The check finds what the schema refuses: a wrong word, a missing field,
// a field too many, a wrong type inside the device.
TEST(ResultDocument, TheSchemaCheckFindsWhatTheSchemaRefuses) {
    const json schema = testing::loadResultSchema();
    ResultFacts facts;
    facts.outcome = "success";
    facts.started = facts.finished = kStarted;
    const json good = resultDocument(facts);
    ASSERT_EQ(testing::schemaProblems(schema, good), std::vector<std::string>{});
    const std::vector<std::function<void(json&)>> breaks = {
        [](json& d) { d["outcome"] = "fine"; },
        [](json& d) { d.erase("exchanges"); },
        [](json& d) { d["extra"] = 1; },
        [](json& d) { d["device"] = {{"family", "FF5C"}, {"vendorId", 7}, {"productId", nullptr},
                                     {"revision", nullptr}, {"chipClass", nullptr}}; },
        [](json& d) { d["started"] = "2026-12-10 11:00"; },
    };
    for (const auto& spoil : breaks) {
        json bad = good;
        spoil(bad);
        EXPECT_FALSE(testing::schemaProblems(schema, bad).empty()) << bad.dump();
    }
}

} // namespace
} // namespace qv
