// --record and --replay on the built program: runs of the simulated hub
// recorded (the recordings are made here, at test time), replayed without a
// device to the same exit code, result log and Mesaage.log, a replay stopped by
// a changed byte, damaged recordings refused, and qv-trace reading them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/image_maker.h"
#include "e2e/text_files.h"

namespace {

namespace fs = std::filesystem;

using qv::testing::readText;
using qv::testing::writeText;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

int exitStatus(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A station folder ("app") with the program, TAVO.ini and the update file,
// and a simulated device ("sim").
class RecordReplay : public ::testing::Test {
protected:
    RecordReplay()
        : root_(fs::temp_directory_path() /
                ("qv-replay-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
        fs::create_directories(app());
        fs::create_directories(sim());
        fs::copy_file(QV_PROGRAM_PATH, app() / "QuorvexUpdate");
        qv::sim::ImageSpec spec;
        spec.version = "OEM V2.00";
        spec.oemVersion = "OEM V2.00";
        const auto bytes = qv::sim::makeFirmwareImage(spec);
        writeText(app() / "fw.bin", std::string(bytes.begin(), bytes.end()));
    }
    ~RecordReplay() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    fs::path app() const { return root_ / "app"; }
    fs::path sim() const { return root_ / "sim"; }
    fs::path recording() const { return root_ / "run.jsonl"; }

    int program(const std::string& options) {
        removeLogs();
        return exitStatus("cd '" + app().string() + "' && ./QuorvexUpdate /S " + options +
                          " >stdout.txt 2>stderr.txt");
    }
    int record(const std::string& deviceIni) {
        writeText(sim() / "device.ini", deviceIni);
        return program("--simulate='" + sim().string() + "' --virtual-time --record='" + recording().string() + "'");
    }
    int replay(const fs::path& file) { return program("--replay='" + file.string() + "'"); }
    int trace(const std::string& command, std::string& out) {
        const int status = exitStatus(std::string("'") + QV_TRACE_PATH + "' " + command + " '" +
                                      recording().string() + "' >'" + (root_ / "trace.txt").string() + "' 2>&1");
        out = readText(root_ / "trace.txt");
        return status;
    }

    std::string resultLog() const {
        for (const auto& item : fs::directory_iterator(app())) {
            if (item.path().filename().string().rfind("VORTAVOlog", 0) == 0) return readText(item.path());
        }
        return "(none)";
    }
    std::string stderrText() const { return readText(app() / "stderr.txt"); }
    void removeLogs() const {
        for (const auto& item : fs::directory_iterator(app())) {
            if (item.path().filename().string().rfind("VORTAVOlog", 0) == 0) fs::remove(item.path());
        }
    }

private:
    fs::path root_;
};

TEST_F(RecordReplay, RecordedRunsReplayToTheSameEnding) {
    const struct {
        const char* name;
        const char* deviceIni;
        int exitCode;
        const char* inRecording;  // what the recording must show of the case
    } cases[] = {
        {"success", "[DEVICE]\nFAMILY=5C\n", 0, R"("op":"rescan")"},
        {"retries", "[DEVICE]\nFAMILY=5C\n[FAULTS]\nSEED=3\nFAILPROBABILITY=0.01\n", 0, R"("ok":false,"error":31)"},
        {"bad page sum", "[DEVICE]\nFAMILY=5C\n[FAULTS]\nWRONGSUMONPAGE=3\n", 16, R"("op":"set")"},
        {"found in flash mode", "[DEVICE]\nFAMILY=5C\nMODE=flash\n", 0, R"("usagePage":65372,"usage":219)"},
    };
    writeText(app() / "TAVO.ini", "[MESSAGE]\r\nENABLE=1\r\n");  // keeps Mesaage.log
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(sim());
        fs::create_directories(sim());
        EXPECT_EQ(record(c.deviceIni), c.exitCode) << stderrText();
        const std::string recordedLog = resultLog();
        const std::string recordedDiagnostics = readText(app() / "Mesaage.log");
        EXPECT_NE(recordedDiagnostics.find(" VOR SensorHub."), std::string::npos);
        fs::remove(app() / "Mesaage.log");
        const std::string text = readText(recording());
        EXPECT_NE(text.find(c.inRecording), std::string::npos);
        const auto all = lines(text);
        ASSERT_GT(all.size(), 2u);
        EXPECT_NE(all.front().find(R"("op":"start")"), std::string::npos);
        EXPECT_NE(all.back().find(R"("op":"end","resultCode":)" + std::to_string(c.exitCode) +
                                  R"(,"exitCode":)" + std::to_string(c.exitCode) + "}"),
                  std::string::npos)
            << all.back();

        fs::remove_all(sim());  // the replay needs no device
        EXPECT_EQ(replay(recording()), c.exitCode) << stderrText();
        EXPECT_EQ(resultLog(), recordedLog);
        EXPECT_EQ(readText(app() / "Mesaage.log"), recordedDiagnostics);
        EXPECT_EQ(stderrText(), "");
    }
}

TEST_F(RecordReplay, AChangedSentByteStopsTheReplayWithItsReport) {
    ASSERT_EQ(record("[DEVICE]\nFAMILY=5C\n"), 0);
    auto all = lines(readText(recording()));
    // The tenth page-buffer write of the run: report id 0, opcode 0xC1.
    std::size_t changed = 0;
    int seen = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto at = all[i].find(R"("report":"00c1)");
        if (at != std::string::npos && ++seen == 10) {
            char& byte = all[i][at + 10 + 2 * 9];  // a data byte
            byte = byte == '0' ? '1' : '0';
            changed = i;
            break;
        }
    }
    ASSERT_NE(changed, 0u);
    std::string text;
    for (const auto& line : all) text += line + "\n";
    writeText(recording(), text);

    EXPECT_EQ(replay(recording()), 4);
    const std::string report = stderrText();
    EXPECT_NE(report.find("(recording line " + std::to_string(changed + 1) + "): the report differs"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("  recorded: set  WritePageBuffer offset="), std::string::npos) << report;
    EXPECT_NE(report.find("  actual:   set  WritePageBuffer offset="), std::string::npos) << report;
    EXPECT_NE(report.find("differing report bytes: 9"), std::string::npos) << report;
    const auto before = report.find("  before:\n");
    ASSERT_NE(before, std::string::npos) << report;
    const auto recorded = report.find("  recorded:");
    EXPECT_EQ(lines(report.substr(before, recorded - before)).size(), 4u) << report;  // the heading and three
    EXPECT_EQ(resultLog(), "(none)");  // stopped before any outcome
}

TEST_F(RecordReplay, AReplayThatAsksForSomethingElseStops) {
    ASSERT_EQ(record("[DEVICE]\nFAMILY=5C\n"), 0);
    // Another TAVO.ini: the run asks the device for something the recording does not have.
    writeText(app() / "TAVO.ini", "[OPTION]\r\nMAXSCANDEVICE=0\r\n");
    EXPECT_EQ(replay(recording()), 4);
    EXPECT_NE(stderrText().find("TAVO.ini differs"), std::string::npos) << stderrText();
    EXPECT_NE(stderrText().find("the replay left the recording at exchange"), std::string::npos) << stderrText();

    fs::remove(app() / "TAVO.ini");
    removeLogs();
    EXPECT_EQ(exitStatus("cd '" + app().string() + "' && ./QuorvexUpdate /S /VF --replay='" + recording().string() +
                         "' >stdout.txt 2>stderr.txt"),
              4);
    EXPECT_NE(stderrText().find("the switches differ from those of the recorded run: /S --simulate="),
              std::string::npos)
        << stderrText();
}

TEST_F(RecordReplay, DamagedRecordingsAreRefusedAtTheStart) {
    ASSERT_EQ(record("[DEVICE]\nFAMILY=5C\n"), 0);
    const std::string good = readText(recording());
    const auto all = lines(good);
    const struct {
        const char* name;
        std::string text;
        const char* error;
    } cases[] = {
        {"truncated", good.substr(0, good.size() / 2), "not a complete JSON object"},
        {"no start", good.substr(good.find('\n') + 1), "does not begin with \"start\""},
        {"unknown op", all[0] + "\n{\"t\":1,\"op\":\"unplug\"}\n", "unknown op \"unplug\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path damaged = app() / "damaged.jsonl";
        writeText(damaged, c.text);
        EXPECT_EQ(replay(damaged), 2);
        EXPECT_NE(stderrText().find(c.error), std::string::npos) << stderrText();
        EXPECT_EQ(resultLog(), "(none)");
    }
    EXPECT_EQ(replay(app() / "missing.jsonl"), 2);

    // A file of several GB (sparse: it costs no disk) is refused before it is read.
    const fs::path huge = app() / "huge.jsonl";
    writeText(huge, good);
    fs::resize_file(huge, 3ull << 30);
    EXPECT_EQ(replay(huge), 2);
    EXPECT_NE(stderrText().find("the recording is larger than 512 MiB"), std::string::npos) << stderrText();
}

TEST_F(RecordReplay, ARecordingThatCannotBeWrittenStopsAndTheUpdateGoesOn) {
    writeText(app() / "TAVO.ini", "[MESSAGE]\r\nENABLE=1\r\n");
    writeText(sim() / "device.ini", "[DEVICE]\nFAMILY=5C\n");
    EXPECT_EQ(program("--simulate='" + sim().string() + "' --virtual-time --record=/dev/full"), 0);
    const std::string diagnostics = readText(app() / "Mesaage.log");
    EXPECT_NE(diagnostics.find("Recording stopped: cannot write /dev/full"), std::string::npos) << diagnostics;
    EXPECT_EQ(program("--simulate='" + sim().string() + "' --virtual-time --record=/no/such/folder/x"), 2);
}

TEST_F(RecordReplay, OptionsThatDoNotGoTogether) {
    EXPECT_EQ(program("--replay=a --simulate=b"), 2);
    EXPECT_EQ(program("--replay=a --record=b"), 2);
    EXPECT_EQ(program("--real-time"), 2);
    EXPECT_NE(stderrText().find("--real-time needs --replay=FILE"), std::string::npos) << stderrText();
}

TEST_F(RecordReplay, TheTraceToolDecodesAFullUpdate) {
    ASSERT_EQ(record("[DEVICE]\nFAMILY=5C\n[FAULTS]\nSEED=3\nFAILPROBABILITY=0.01\n"), 0);
    std::string out;
    ASSERT_EQ(trace("show", out), 0) << out;
    for (const char* expected :
         {"  ->  set  VendorHandshake id=0x5A \"VOR Tech. Inc.\"", "  <-  get  VendorHandshake echo",
          "  ->  set  RequestFlashMode", "  ->  set  EraseFlash address=0x002000 page=8 pages=118",
          "  ->  set  ClearPageBuffer", "  ->  set  WritePageBuffer offset=0x0000 count=57 data=",
          "  <-  get  VerifyPageBuffer sum=0x", "  ->  set  ProgramPage address=0x002000 page=8 count=1024",
          "  ->  set  ReadFlashChunk address=0x002000 page=8 count=56", "  ->  set  ExitFlashMode",
          "  ->  set  ReadMemory id=0x5A address=0x003100 count=10", "FAILED (error 31)",
          "  start QuorvexUpdate ", "  rescan: connected", "  end: result code 0, exit code 0"}) {
        EXPECT_NE(out.find(expected), std::string::npos) << expected;
    }
    ASSERT_EQ(trace("stats", out), 0) << out;
    EXPECT_NE(out.find("  ProgramPage "), std::string::npos) << out;
    EXPECT_NE(out.find("pages erased: 118, pages programmed: "), std::string::npos) << out;
    EXPECT_NE(out.find(" retries: "), std::string::npos) << out;
    EXPECT_NE(out.find("outcome: result code 0, exit code 0"), std::string::npos) << out;
    EXPECT_EQ(out.find("failed attempts: 0,"), std::string::npos) << out;

    writeText(recording(), "{\"t\":0,\"op\":\"enumerate\"}\n");
    EXPECT_EQ(trace("show", out), 2);
    EXPECT_NE(out.find("qv-trace: line 1: "), std::string::npos) << out;
}

} // namespace
