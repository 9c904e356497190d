#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/portable_ports.h"
#include "platform/profile_reader.h"
#include "platform/virtual_event_loop.h"
#include "session/result_reporting.h"
#include "session/session.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

class FixedTimeEnvironment : public Environment {
public:
    explicit FixedTimeEnvironment(std::string folder) : folder_(std::move(folder)) {}
    std::string executableFolder() override { return folder_; }
    LocalTime localTime() override { return time; }
    LocalTime time{2024, 1, 31, 23, 59, 59};

private:
    std::string folder_;
};

class Reporting : public ::testing::Test {
protected:
    Reporting()
        : folder_(fs::temp_directory_path() /
                  ("qv_report_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()))),
          environment_((folder_ / "").string()) {
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        ports_.hid = &bus_;
        ports_.deviceManager = &devices_;
        ports_.loop = &loop_;
        ports_.store = &store_;
        ports_.processes = &processes_;
        ports_.keepAwake = &keepAwake_;
        ports_.environment = &environment_;
        ports_.profile = &profile_;
        ports_.directory = &directory_;
        session_ = std::make_unique<Session>(ports_, CommandLine());
        session_->closeMainWindow = [this] { ++closes_; };
    }
    ~Reporting() override { fs::remove_all(folder_); }

    std::string readFile(const std::string& name) {
        std::ifstream file(folder_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    fs::path folder_;
    EmptyHidBus bus_;
    EmptyDeviceManager devices_;
    VirtualEventLoop loop_;
    MemorySystemStore store_;
    RecordingProcessControl processes_;
    NoKeepAwake keepAwake_;
    FixedTimeEnvironment environment_;
    ProfileReader profile_;
    FolderDirectoryListing directory_;
    Ports ports_;
    std::unique_ptr<Session> session_;
    int closes_ = 0;
};

TEST_F(Reporting, ResultLogNameAndBytes) {
    EXPECT_EQ(resultLogName({2024, 1, 31, 23, 59, 59}), "VORTAVOlog20240131235959.txt");
    EXPECT_EQ(resultLogName({2025, 7, 4, 8, 5, 3}), "VORTAVOlog20250704080503.txt");

    auto& memo1 = session_->window.memo1;
    memo1.clear();
    memo1.append("New OEM Version: QVSH1.1\n");
    memo1.append("Old OEM Version: QVSH1.0\n");
    memo1.append("Success");
    WriteResultLog(*session_);
    EXPECT_EQ(readFile("VORTAVOlog20240131235959.txt"),
              "New OEM Version: QVSH1.1\n\r\nOld OEM Version: QVSH1.0\n\r\nSuccess\r\n");
}

TEST_F(Reporting, LaterOutcomeInTheSameSecondWins) {
    session_->window.memo1.clear();
    session_->window.memo1.append("Failure");
    WriteResultLog(*session_);
    session_->window.memo1.clear();
    session_->window.memo1.append("Success");
    WriteResultLog(*session_);
    EXPECT_EQ(readFile("VORTAVOlog20240131235959.txt"), "Success\r\n");
}

TEST_F(Reporting, NoResultLogWritesNothing) {
    session_->options.NORESULTLOG = 1;
    WriteResultLog(*session_);
    EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(Reporting, UnwritableLogIsReportedInTheDiagnosticPane) {
    fs::create_directory(folder_ / "VORTAVOlog20240131235959.txt");  // a folder where the file should go
    const auto memo1Before = session_->window.memo1.lines();
    WriteResultLog(*session_);
    ASSERT_FALSE(session_->window.memo2.lines().empty());
    EXPECT_NE(session_->window.memo2.lines().back().find("Cannot write the result log"), std::string::npos);
    EXPECT_EQ(session_->window.memo1.lines(), memo1Before) << "the outcome itself is unchanged";
}

TEST_F(Reporting, DiagnosticLogHoldsThePaneInTheSameForm) {
    session_->window.memo2.append("Mode:1");
    session_->window.memo2.append("Find 1 VOR SensorHub.");
    WriteDiagnosticLog(*session_);
    EXPECT_EQ(readFile("Mesaage.log"), "Mode:1\r\nFind 1 VOR SensorHub.\r\n");
}

TEST_F(Reporting, FinishOutcomeClosesByItsKey) {
    struct Case {
        int pass, fail;
        CloseKey key;
        int closes;
    };
    const Case cases[] = {
        {1, 0, CloseKey::PASS, 1}, {1, 0, CloseKey::FAIL, 0}, {0, 1, CloseKey::FAIL, 1},
        {0, 0, CloseKey::PASS, 0}, {2, 0, CloseKey::PASS, 1}, {0, -1, CloseKey::FAIL, 1},
    };
    for (const auto& c : cases) {
        closes_ = 0;
        session_->options.PASS = c.pass;
        session_->options.FAIL = c.fail;
        FinishOutcome(*session_, 16, c.key);
        EXPECT_EQ(session_->ResultCode, 16);
        EXPECT_EQ(closes_, c.closes) << c.pass << "/" << c.fail;
    }
}

TEST_F(Reporting, ExitCodeFollowsReturnCodeType) {
    struct Case {
        int returnCodeType;
        std::uint8_t result;
        int exit;
    };
    const Case cases[] = {{0, 0, 0}, {0, 16, 16}, {1, 16, 3}, {1, 0, 0}, {1, 1, 3}, {2, 36, 36}, {0, 163, 163}};
    for (const auto& c : cases) {
        session_->options.RETURNCODETYPE = c.returnCodeType;
        session_->ResultCode = c.result;
        EXPECT_EQ(ExitCode(*session_), c.exit);
    }
}

TEST_F(Reporting, FirmwareVersionIsStoredOrTheFailureSaid) {
    StoreFirmwareVersion(*session_, "QVSH1.1");
    EXPECT_EQ(store_.value, "QVSH1.1");
    store_.failWrites = true;
    StoreFirmwareVersion(*session_, "");
    ASSERT_FALSE(session_->window.memo2.lines().empty());
    EXPECT_EQ(session_->window.memo2.lines().back(), "Cannot store FWVer: access denied");
}

} // namespace
} // namespace qv
