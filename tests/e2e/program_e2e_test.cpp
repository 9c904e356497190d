// The built QuorvexUpdate, run as a script or a factory station runs it:
// "/S", an executable folder holding TAVO.ini and the update files, and the
// simulated sensor hub of --simulate=DIR (on virtual time, so the program's
// waits cost no real time).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/support/json_schema_check.h"
#include "platform/sim/image_maker.h"
#include "e2e/text_files.h"
#include "station/fault_campaign.h"

namespace {

namespace fs = std::filesystem;

using qv::testing::readText;
using qv::testing::writeText;

std::vector<std::uint8_t> image(const std::string& oem, std::uint32_t seed = 7) {
    qv::sim::ImageSpec spec;
    spec.version = oem.substr(0, 16);
    spec.oemVersion = oem;
    spec.seed = seed;
    return qv::sim::makeFirmwareImage(spec);
}

// An executable folder ("app") and a simulated device ("sim") in a fresh
// temporary folder.
class ProgramRun : public ::testing::Test {
protected:
    ProgramRun()
        : root_(fs::temp_directory_path() /
                ("qv-e2e-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
        fs::create_directories(app());
        fs::create_directories(sim());
        fs::copy_file(QV_PROGRAM_PATH, app() / "QuorvexUpdate");
        writeText(sim() / "device.ini", "[DEVICE]\nFAMILY=5C\n");
    }
    ~ProgramRun() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    fs::path app() const { return root_ / "app"; }
    fs::path sim() const { return root_ / "sim"; }

    void ini(const std::string& text) { writeText(app() / "TAVO.ini", text); }
    std::vector<std::uint8_t> file(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        writeText(app() / name, std::string(bytes.begin(), bytes.end()));
        return bytes;
    }
    void device(const std::string& iniText) { writeText(sim() / "device.ini", iniText); }

    // Runs the program silently; its exit code.
    int run(const std::string& extra = {}) {
        const std::string command = "cd '" + app().string() + "' && ./QuorvexUpdate /S --simulate='" +
                                    sim().string() + "' --virtual-time " + extra + " >stdout.txt 2>stderr.txt";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The one result log the run wrote.
    std::string resultLog() const {
        std::vector<fs::path> logs;
        for (const auto& item : fs::directory_iterator(app())) {
            if (item.path().filename().string().rfind("VORTAVOlog", 0) == 0) logs.push_back(item.path());
        }
        EXPECT_LE(logs.size(), 1u);
        return logs.empty() ? std::string() : readText(logs.front());
    }
    void removeResultLogs() const {
        for (const auto& item : fs::directory_iterator(app())) {
            if (item.path().filename().string().rfind("VORTAVOlog", 0) == 0) fs::remove(item.path());
        }
    }

    // Starts the program silently in the background, bounded by timeout(1);
    // its output goes to stdout<n>.txt and stderr<n>.txt.
    pid_t start(int n, const std::string& extra = {}) {
        const std::string simulate = "--simulate=" + sim().string();
        const std::string out = (app() / ("stdout" + std::to_string(n) + ".txt")).string();
        const std::string err = (app() / ("stderr" + std::to_string(n) + ".txt")).string();
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(app().c_str()) != 0) _exit(126);
            const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(o, 1);
            dup2(e, 2);
            execl("/usr/bin/timeout", "timeout", "60", "./QuorvexUpdate", "/S", simulate.c_str(), "--virtual-time",
                  extra.empty() ? static_cast<char*>(nullptr) : extra.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    }
    // Its exit code; -signal when it was killed.
    static int finish(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
    // The process the simulated hub paused where [HOST] said (at most 20 s).
    pid_t pausedProgram() const {
        const auto marker = sim() / "host-paused";
        for (int i = 0; i < 4000 && !fs::exists(marker); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::string text = readText(marker);
        return text.empty() ? 0 : static_cast<pid_t>(std::stol(text));
    }
    // device.ini as the paused program saved it, without its [HOST] section.
    void endHostSection() {
        std::string text = deviceIni();
        const auto host = text.find("[HOST]");
        ASSERT_NE(host, std::string::npos);
        const auto next = text.find("\n[", host + 1);
        text.erase(host, next == std::string::npos ? std::string::npos : next + 1 - host);
        writeText(sim() / "device.ini", text);
        fs::remove(sim() / "host-paused");
    }
    std::vector<std::string> resultLogs() const {
        std::vector<std::string> logs;
        for (const auto& item : fs::directory_iterator(app())) {
            if (item.path().filename().string().rfind("VORTAVOlog", 0) == 0) logs.push_back(readText(item.path()));
        }
        return logs;
    }

    std::string flash() const { return readText(sim() / "flash.bin"); }
    std::string deviceIni() const { return readText(sim() / "device.ini"); }

    // The firmware area holds the image, its version slot stamped.
    void expectProgrammed(const std::vector<std::uint8_t>& programmed) const {
        const std::string content = flash();
        const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(content.data()),
                                                  content.size());
        EXPECT_TRUE(qv::sim::firmwareAreaMatches(bytes, programmed));
    }

private:
    fs::path root_;
};

TEST_F(ProgramRun, ASuccessfulUpdate) {
    const auto programmed = file("fw.bin", image("OEM V2.00"));
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(resultLog(), "New OEM Version: OEM V2.00\n\r\nOld OEM Version: OEM V1.00\n\r\nSuccess\r\n");
    expectProgrammed(programmed);
    EXPECT_EQ(readText(sim() / "FWVer"), "OEM V2.00");
    EXPECT_NE(deviceIni().find("MODE=normal"), std::string::npos) << deviceIni();
}

TEST_F(ProgramRun, SelectionByVersionUpdatesOnceThenReportsUpToDate) {
    ini("[CHECKVERSION]\r\nPROJECTNAME1=OEM V\r\n");
    const auto programmed = file("fw.bin", image("OEM V2.00"));
    EXPECT_EQ(run(), 0);
    expectProgrammed(programmed);
    removeResultLogs();
    EXPECT_EQ(run(), 35);
    EXPECT_EQ(resultLog(), "FW is up to date!\r\n");
}

TEST_F(ProgramRun, NoDevice) {
    device("[DEVICE]\nMODE=absent\n");
    file("fw.bin", image("OEM V2.00"));
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(resultLog(), "Can not Find Device! - 1\r\n");

    removeResultLogs();
    ini("[OPTION]\r\nRETURNCODETYPE=1\r\n");
    EXPECT_EQ(run(), 3);
    EXPECT_EQ(resultLog(), "Can not Find Device! - 1\r\n");
}

TEST_F(ProgramRun, StartupOutcomes) {
    struct Case {
        const char* name;
        std::vector<std::string> files;
        const char* log;
        int exitCode;
    };
    const Case cases[] = {
        {"no update file", {}, "Can not find update file.\r\n", 34},
        {"two update files", {"a.bin", "b.bin"}, "Not more than two update files in the same folder.\r\n", 33},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& name : c.files) file(name, image("OEM V2.00"));
        EXPECT_EQ(run(), c.exitCode);
        EXPECT_EQ(resultLog(), c.log);
        for (const auto& name : c.files) fs::remove(app() / name);
        removeResultLogs();
    }
}

TEST_F(ProgramRun, UpToDate) {
    ini("[CHECKVERSION]\r\nPROJECTNAME1=OEM V\r\n");
    file("fw.bin", image("OEM V1.00"));
    EXPECT_EQ(run(), 35);
    EXPECT_EQ(resultLog(), "FW is up to date!\r\n");
    EXPECT_FALSE(fs::exists(sim() / "FWVer"));
}

TEST_F(ProgramRun, BadChecksum) {
    auto bad = image("OEM V2.00");
    bad[0x8000] ^= 0x40;
    file("fw.bin", bad);
    EXPECT_EQ(run(), 36);
    EXPECT_EQ(resultLog(), "##Checksum Error##\r\n");
}

TEST_F(ProgramRun, ImagesTheDeviceRefusesEndTheProgramWithTheirCode) {
    struct Case {
        const char* name;
        std::size_t offset;
        std::uint8_t flip;
        int exitCode;
    };
    const Case cases[] = {{"interrupt vectors", 0x100, 0x01, 163}, {"clock", 0x87, 0x10, 162}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto refused = image("OEM V2.00");
        refused[c.offset] ^= c.flip;
        file("fw.bin", refused);
        fs::remove(sim() / "flash.bin");  // the default firmware again
        EXPECT_EQ(run(), c.exitCode);
        EXPECT_EQ(resultLog(), "");  // refusals write no result log
        // Nothing was erased or written: the firmware is still the old one.
        const std::string content = flash();
        EXPECT_EQ(content.substr(0x3100, 9), "OEM V1.00");
    }
}

TEST_F(ProgramRun, AnInterruptedUpdateIsFinishedByTheNextRun) {
    device("[DEVICE]\nFAMILY=5C\n[FAULTS]\nPOWERLOSSAT=3000\nPOWEROFFMS=500\n");
    const auto programmed = file("fw.bin", image("OEM V2.00"));
    EXPECT_NE(run(), 0);
    EXPECT_NE(deviceIni().find("MODE=flash"), std::string::npos) << deviceIni();
    removeResultLogs();
    device(std::string("[DEVICE]\nFAMILY=5C\nMODE=flash\n"));
    EXPECT_EQ(run(), 0);
    expectProgrammed(programmed);
}

TEST_F(ProgramRun, AnOversizedUpdateFileIsRefusedWithoutBeingRead) {
    // 3 GiB, sparse: were it read, the run would take most of a minute.
    { std::ofstream touch(app() / "big.bin"); }
    fs::resize_file(app() / "big.bin", std::uint64_t{3} << 30);
    const std::string command = "cd '" + app().string() + "' && timeout 20 ./QuorvexUpdate /S --simulate='" +
                                sim().string() + "' --virtual-time >stdout.txt 2>stderr.txt";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 39);
    EXPECT_EQ(resultLog(), "The update file big.bin is too large: 3221225472 bytes.\r\n");
}

// Two updaters on one station (one simulated hub): the second refuses at
// once and touches nothing; the first finishes the update.
TEST_F(ProgramRun, ASecondUpdaterOnTheStationRefusesAtOnce) {
    device("[DEVICE]\nFAMILY=5C\n[HOST]\nPAUSEATEXCHANGE=300\nPAUSEMS=2000\n");
    const auto programmed = file("fw.bin", image("OEM V2.00"));
    const pid_t first = start(1);
    ASSERT_NE(pausedProgram(), 0) << "the first updater never got to its pause";
    const std::string stateBefore = flash() + deviceIni();
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(run("--result-json=second.json"), 40);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
    const auto refused = nlohmann::json::parse(readText(app() / "second.json"));
    EXPECT_EQ(refused["outcome"], "another-instance");
    EXPECT_EQ(refused["exitCode"], 40);
    EXPECT_EQ(readText(app() / "stderr.txt"), "QuorvexUpdate: Another QuorvexUpdate is already running.\n");
    EXPECT_EQ(resultLogs(), std::vector<std::string>{"Another QuorvexUpdate is already running.\r\n"});
    EXPECT_EQ(flash() + deviceIni(), stateBefore) << "the refused updater touched the device";
    removeResultLogs();
    EXPECT_EQ(finish(first), 0);
    expectProgrammed(programmed);
}

// A crash (SIGKILL) right after the device was removed from the device
// tree: the device stays removed and the lock dies with its owner; the next
// run brings the device back and updates it.
TEST_F(ProgramRun, AnUpdaterKilledRightAfterARemovalIsRecoveredByTheNextRun) {
    device("[DEVICE]\nFAMILY=5C\n[HOST]\nPAUSEATREMOVAL=1\n");
    const auto programmed = file("fw.bin", image("OEM V2.00"));
    const pid_t first = start(1);
    const pid_t paused = pausedProgram();
    ASSERT_NE(paused, 0);
    ASSERT_EQ(kill(paused, SIGKILL), 0);
    EXPECT_EQ(finish(first), -SIGKILL);
    EXPECT_TRUE(resultLogs().empty());
    EXPECT_NE(deviceIni().find("REMOVED=1"), std::string::npos) << deviceIni();
    endHostSection();
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(resultLog().substr(resultLog().size() - 9), "Success\r\n");
    expectProgrammed(programmed);
    EXPECT_NE(deviceIni().find("REMOVED=0"), std::string::npos) << deviceIni();
}

// SIGTERM in the middle of the page writes: taken at the next safe point,
// the run ends as a failure with 128 + 15, and the next run updates.
TEST_F(ProgramRun, SigtermDuringProgrammingEndsAsFailureAndTheNextRunUpdates) {
    device("[DEVICE]\nFAMILY=5C\n[HOST]\nPAUSEATEXCHANGE=1500\n");
    const auto programmed = file("fw.bin", image("OEM V2.00"));
    const pid_t first = start(1, "--result-json=stopped.json");
    const pid_t paused = pausedProgram();
    ASSERT_NE(paused, 0);
    ASSERT_EQ(kill(paused, SIGTERM), 0);
    EXPECT_EQ(finish(first), 143);
    EXPECT_EQ(resultLogs(), std::vector<std::string>{"Failure\r\n"});
    const auto stopped = nlohmann::json::parse(readText(app() / "stopped.json"));
    EXPECT_EQ(stopped["outcome"], "interrupted");
    EXPECT_EQ(stopped["exitCode"], 143);
    EXPECT_EQ(stopped["messages"], nlohmann::json({"Failure"}));
    EXPECT_EQ(readText(app() / "stderr1.txt"), "QuorvexUpdate: Stopped by SIGTERM.\n");
    EXPECT_NE(deviceIni().find("MODE=flash"), std::string::npos) << "left in its loader: " << deviceIni();
    removeResultLogs();
    endHostSection();
    EXPECT_EQ(run(), 0);
    expectProgrammed(programmed);
}

// A second stop signal while the first is being handled ends the program at
// once: no orderly ending, so no result log.
TEST_F(ProgramRun, ASecondStopSignalEndsTheProgramAtOnce) {
    device("[DEVICE]\nFAMILY=5C\n[HOST]\nPAUSEATEXCHANGE=1500\n");
    file("fw.bin", image("OEM V2.00"));
    const pid_t first = start(1);
    const pid_t paused = pausedProgram();
    ASSERT_NE(paused, 0);
    ASSERT_EQ(kill(paused, SIGTERM), 0);
    kill(paused, SIGINT);
    const int exitCode = finish(first);
    EXPECT_TRUE(exitCode == 130 || exitCode == 143) << exitCode;
    EXPECT_TRUE(resultLogs().empty());
}

TEST_F(ProgramRun, VirtualTimeOnlyWithTheSimulatedHub) {
    const std::string command = "cd '" + app().string() + "' && ./QuorvexUpdate /S --virtual-time 2>stderr.txt";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(readText(app() / "stderr.txt").find("--virtual-time needs --simulate"), std::string::npos);
}

// The program's own options answer before anything else: no device is
// touched, no TAVO.ini read, no log written. "SIM" stands for the simulated
// device's folder.
TEST_F(ProgramRun, HelpVersionAndUsageErrorsAnswerAtOnce) {
    file("fw.bin", image("OEM V2.00"));
    struct Case {
        std::string parameters;
        int exitCode;
        std::string stdoutStart;
        std::string stderrText;
    };
    const std::vector<Case> cases = {
        {"/S --help --simulate=SIM", 0, "Usage: QuorvexUpdate ", ""},
        {"-h --simulate=SIM", 0, "Usage: QuorvexUpdate ", ""},
        {"'/?'", 0, "Usage: QuorvexUpdate ", ""},
        {"/S --simulate=SIM --version", 0, "QuorvexUpdate 2.7.6.1\n", ""},
        {"/S --simulate=SIM --frobnicate", 2, "", "QuorvexUpdate: unknown option '--frobnicate' (see --help)\n"},
        {"--simulate=SIM --virtual-time=1", 2, "", "QuorvexUpdate: option '--virtual-time' takes no value (see --help)\n"},
        {"/S --simulate=", 2, "", "QuorvexUpdate: option '--simulate' needs a value: --simulate=DIR (see --help)\n"},
        {"/S --simulate=SIM --progress=x", 2, "", "QuorvexUpdate: option '--progress' takes no value (see --help)\n"},
        {"/S --simulate=SIM --result-json=", 2, "",
         "QuorvexUpdate: option '--result-json' needs a value: --result-json=FILE (see --help)\n"},
    };
    const std::string deviceBefore = deviceIni();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parameters);
        std::string parameters = c.parameters;
        if (const auto at = parameters.find("SIM"); at != std::string::npos) {
            parameters.replace(at, 3, "'" + sim().string() + "'");
        }
        const std::string command =
            "cd '" + app().string() + "' && ./QuorvexUpdate " + parameters + " >stdout.txt 2>stderr.txt";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.exitCode);
        EXPECT_EQ(readText(app() / "stdout.txt").substr(0, c.stdoutStart.size()), c.stdoutStart);
        EXPECT_EQ(readText(app() / "stderr.txt"), c.stderrText);
        for (const auto& item : fs::directory_iterator(app())) {
            EXPECT_NE(item.path().filename().string().rfind("VORTAVOlog", 0), 0u) << "a result log was written";
        }
        EXPECT_FALSE(fs::exists(sim() / "flash.bin")) << "the simulated device was loaded and saved";
        EXPECT_EQ(deviceIni(), deviceBefore);
    }
}

// --progress on standard error; a file is no terminal, so the plain form.
TEST_F(ProgramRun, ProgressLinesOnStandardErrorAndOnlyTheDebuggingLineOnStandardOutput) {
    file("fw.bin", image("OEM V2.00"));
    EXPECT_EQ(run("--progress"), 0);
    const std::string progress = readText(app() / "stderr.txt");
    const std::regex line("progress: (search|flash-mode|erase|write|read|compare|finish|parameters) [0-9]+%");
    std::vector<std::string> lines;
    std::istringstream in(progress);
    for (std::string text; std::getline(in, text);) {
        EXPECT_TRUE(std::regex_match(text, line)) << text;
        lines.push_back(text);
    }
    EXPECT_NE(std::find(lines.begin(), lines.end(), "progress: write 100%"), lines.end()) << progress;
    EXPECT_EQ(lines.front(), "progress: search 0%");
    EXPECT_EQ(lines.back(), "progress: finish 100%");
    EXPECT_EQ(readText(app() / "stdout.txt"), " -> ENABLE_IVT_MAP_TO_FLASH: ");

    // Without the option the program says nothing on standard error.
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(readText(app() / "stderr.txt"), "");
}

// On a terminal the progress is one line rewritten in place that ends with
// the outcome. script(1) gives the program a terminal.
TEST_F(ProgramRun, ProgressOnATerminalIsOneLineEndingWithTheOutcome) {
    if (std::system("script --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
    file("fw.bin", image("OEM V2.00"));
    const std::string command = "cd '" + app().string() + "' && timeout 60 script -qec \"./QuorvexUpdate /S --simulate='" +
                                sim().string() + "' --virtual-time --progress 2>&1 >/dev/null\" /dev/null >tty.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string tty = readText(app() / "tty.txt");
    EXPECT_GT(std::count(tty.begin(), tty.end(), '\r'), 20) << tty;
    EXPECT_EQ(tty.find("progress: "), std::string::npos) << tty;
    const std::size_t last = tty.rfind('\r', tty.size() - 3);
    ASSERT_NE(last, std::string::npos);
    const std::string end = tty.substr(last + 1);
    EXPECT_NE(end.find("finish"), std::string::npos) << end;
    EXPECT_NE(end.find("100%"), std::string::npos) << end;
    EXPECT_NE(end.find("success"), std::string::npos) << end;
}

// --result-json=FILE at the program's endings, each document held to the
// schema. The simulated device's folder is set up again for every case.
TEST_F(ProgramRun, EveryEndingWritesItsResultDocument) {
    const nlohmann::json schema = qv::testing::loadResultSchema();
    struct Case {
        const char* name;
        std::function<void()> setUp;
        std::string extra;
        int exitCode;
        const char* outcome;
    };
    const std::vector<Case> cases = {
        {"success", [&] { file("fw.bin", image("OEM V2.00")); }, "", 0, "success"},
        {"up to date",
         [&] {
             ini("[CHECKVERSION]\r\nPROJECTNAME1=OEM V\r\n");
             file("fw.bin", image("OEM V1.00"));
         },
         "", 35, "up-to-date"},
        {"no device",
         [&] {
             device("[DEVICE]\nMODE=absent\n");
             file("fw.bin", image("OEM V2.00"));
         },
         "", 1, "no-device"},
        {"no device, no result log",
         [&] {
             device("[DEVICE]\nMODE=absent\n");
             ini("[OPTION]\r\nNORESULTLOG=1\r\n");
             file("fw.bin", image("OEM V2.00"));
         },
         "", 1, "no-device"},
        {"no update file", [] {}, "", 34, "no-file"},
        {"checksum error",
         [&] {
             auto bad = image("OEM V2.00");
             bad[0x8000] ^= 0x40;
             file("fw.bin", bad);
         },
         "", 36, "checksum-error"},
        {"refused",
         [&] {
             auto refused = image("OEM V2.00");
             refused[0x100] ^= 0x01;
             file("fw.bin", refused);
         },
         "", 163, "refused"},
        {"configuration error", [&] { ini("[OPTION]\r\nMAXSTATECUNT=x\xE9\r\n"); }, "", 37, "config-error"},
        {"version that is no number",
         [&] {
             ini("[CHECKVERSION]\r\nPROJECTNAME1=OEM V\r\n");
             file("fw.bin", image("OEM Vnext"));
         },
         "", 38, "bad-version"},
        {"update file that cannot be read", [&] { fs::create_symlink("/nonexistent/fw.bin", app() / "fw.bin"); },
         "", 39, "unreadable-file"},
        {"simulated device that cannot be loaded", [&] { device("[DEVICE]\nFAMILY=nonsense\n"); }, "", 2,
         "start-failure"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<fs::path> left;
        for (const auto& item : fs::directory_iterator(app())) {
            if (item.path().filename() != "QuorvexUpdate") left.push_back(item.path());
        }
        for (const auto& path : left) fs::remove_all(path);
        fs::create_directories(app() / "out");
        fs::remove_all(sim());
        fs::create_directories(sim());
        device("[DEVICE]\nFAMILY=5C\n");
        c.setUp();
        EXPECT_EQ(run("--result-json=out/result.json " + c.extra), c.exitCode);
        const std::string text = readText(app() / "out" / "result.json");
        ASSERT_FALSE(text.empty()) << readText(app() / "stderr.txt");
        const auto document = nlohmann::json::parse(text);
        EXPECT_EQ(qv::testing::schemaProblems(schema, document), std::vector<std::string>{}) << text;
        EXPECT_EQ(document["exitCode"], c.exitCode);
        EXPECT_EQ(document["outcome"], c.outcome);
        EXPECT_FALSE(fs::exists(app() / "out" / "result.json.tmp"));
        const std::string log = resultLog();
        if (document["resultLog"].is_string()) {
            EXPECT_EQ(readText(document["resultLog"].get<std::string>()), log);
        } else {
            EXPECT_EQ(log, "");
        }
    }
}

TEST_F(ProgramRun, ResultDocumentCarriesEightBitTextAsUtf8) {
    ini("[OPTION]\r\nMAXSTATECUNT=x\xE9\r\n");
    EXPECT_EQ(run("--result-json=result.json"), 37);
    const auto document = nlohmann::json::parse(readText(app() / "result.json"));
    EXPECT_EQ(document["messages"][0], "'x\xC3\xA9' is not a valid integer value");
    EXPECT_EQ(resultLog().substr(0, 4), "'x\xE9'");
}

TEST_F(ProgramRun, AResultDocumentThatCannotBeWrittenLeavesTheUpdateAndItsExitCode) {
    const auto programmed = file("fw.bin", image("OEM V2.00"));
    EXPECT_EQ(run("--result-json=no/such/folder/result.json"), 0);
    expectProgrammed(programmed);
    const std::string errors = readText(app() / "stderr.txt");
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_EQ(errors.rfind("QuorvexUpdate: Cannot write the result document no/such/folder/result.json: ", 0), 0u)
        << errors;
}

// A window program with no display to show its window on ends at once; it
// leaves its document all the same.
TEST_F(ProgramRun, NoDisplayForTheWindowLeavesAStartFailureDocument) {
    const std::string version = "cd '" + app().string() + "' && ./QuorvexUpdate --version >version.txt";
    ASSERT_EQ(std::system(version.c_str()), 0);
    if (readText(app() / "version.txt").find("window: yes (Qt") == std::string::npos) {
        GTEST_SKIP() << "no Qt window in this build";
    }
    // Should the display exist after all, the run still ends by itself.
    ini("[CLOSEAPP]\r\nFAIL=1\r\n");
    device("[DEVICE]\nMODE=absent\n");
    file("fw.bin", image("OEM V2.00"));
    const std::string command = "cd '" + app().string() +
                                "' && env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:9876 timeout 60 "
                                "./QuorvexUpdate --simulate='" + sim().string() +
                                "' --result-json=result.json >stdout.txt 2>stderr.txt";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 2) << readText(app() / "stderr.txt");
    const auto document = nlohmann::json::parse(readText(app() / "result.json"));
    EXPECT_EQ(document["outcome"], "start-failure");
    EXPECT_EQ(document["exitCode"], 2);
    ASSERT_EQ(document["messages"].size(), 1u);
    EXPECT_EQ(document["messages"][0].get<std::string>().rfind("no display to show the window on", 0), 0u);
    EXPECT_EQ(qv::testing::schemaProblems(qv::testing::loadResultSchema(), document), std::vector<std::string>{});
}

} // namespace
