// FWVer file, keep-awake inhibitor and the executable's folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "fake_device_tree.h"
#include "platform/linux/executable_folder.h"
#include "platform/linux/firmware_version_file.h"
#include "platform/linux/inhibitor_keep_awake.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::readText;

TEST(FirmwareVersionFile, WritesTheValueAloneCreatingTheFolder) {
    test::FakeDeviceTree scratch;
    const fs::path path = scratch.root() / "var" / "lib" / "quorvex" / "FWVer";
    FirmwareVersionFile store(path.string());
    std::string error;
    ASSERT_TRUE(store.writeFirmwareVersion("SH5C50_V1.2.3_LONGER", error)) << error;
    EXPECT_EQ(readText(path), "SH5C50_V1.2.3_LONGER");
    ASSERT_TRUE(store.writeFirmwareVersion("V1", error)) << error;  // replaced, not overlaid
    EXPECT_EQ(readText(path), "V1");
    ASSERT_TRUE(store.writeFirmwareVersion("", error)) << error;
    EXPECT_EQ(readText(path), "");
}

TEST(FirmwareVersionFile, RefusalSaysWhichFileAndWhy) {
    test::FakeDeviceTree scratch;
    test::writeText(scratch.root() / "blocker", "a file where a folder should be");
    const std::string path = (scratch.root() / "blocker" / "FWVer").string();
    FirmwareVersionFile store(path);
    std::string error;
    EXPECT_FALSE(store.writeFirmwareVersion("V1", error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find("cannot be written"), std::string::npos) << error;
}

TEST(FirmwareVersionFile, DefaultsToTheSystemWideFile) {
    EXPECT_EQ(FirmwareVersionFile().path(), "/var/lib/quorvex/FWVer");
}

bool waitForText(const fs::path& file, const std::string& text) {
    for (int attempt = 0; attempt < 400; ++attempt) {
        if (readText(file).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

TEST(InhibitorKeepAwake, HoldsTheLockFromRequestToRelease) {
    test::FakeDeviceTree scratch;
    const fs::path log = scratch.root() / "holder.log";
    InhibitorKeepAwake keepAwake({"sh", "-c", "echo held >> \"$0\"; cat; echo released >> \"$0\"", log.string()});
    keepAwake.request();
    const pid_t holder = keepAwake.holder();
    ASSERT_NE(holder, 0);
    keepAwake.request();  // one lock at a time
    EXPECT_EQ(keepAwake.holder(), holder);
    ASSERT_TRUE(waitForText(log, "held"));
    EXPECT_EQ(readText(log).find("released"), std::string::npos);

    keepAwake.release();
    EXPECT_EQ(keepAwake.holder(), 0);
    EXPECT_EQ(readText(log), "held\nreleased\n");  // ended by its input closing, and reaped
    EXPECT_NE(::kill(holder, 0), 0);
    keepAwake.release();
}

TEST(InhibitorKeepAwake, WithoutAnInhibitorNothingHappens) {
    InhibitorKeepAwake keepAwake({"/nonexistent/systemd-inhibit", "cat"});
    keepAwake.request();
    EXPECT_EQ(keepAwake.holder(), 0);
    keepAwake.release();
    InhibitorKeepAwake empty(std::vector<std::string>{});
    empty.request();
    EXPECT_EQ(empty.holder(), 0);
}

TEST(InhibitorKeepAwake, HolderThatIgnoresItsInputIsEndedAtRelease) {
    InhibitorKeepAwake keepAwake({"sleep", "30"});
    keepAwake.request();
    const pid_t holder = keepAwake.holder();
    ASSERT_NE(holder, 0);
    const auto start = std::chrono::steady_clock::now();
    keepAwake.release();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_NE(::kill(holder, 0), 0);
}

TEST(InhibitorKeepAwake, DefaultCommandBlocksIdleAndSleepWhileItsInputIsOpen) {
    const auto command = defaultInhibitorCommand();
    ASSERT_FALSE(command.empty());
    EXPECT_EQ(command.front(), "systemd-inhibit");
    EXPECT_EQ(command.back(), "cat");
    EXPECT_NE(std::find(command.begin(), command.end(), "--what=idle:sleep"), command.end());
}

TEST(ExecutableFolder, FolderOfTheRunningProgramWithItsSlash) {
    const std::string folder = executableFolder("/proc", "ignored");
    EXPECT_EQ(folder, fs::read_symlink("/proc/self/exe").parent_path().string() + "/");
}

TEST(ExecutableFolder, FallsBackToArgv0) {
    test::FakeDeviceTree scratch;
    EXPECT_EQ(executableFolder(scratch.root(), "/opt/quorvex/QuorvexUpdate"), "/opt/quorvex/");
    const std::string relative = executableFolder(scratch.root(), "QuorvexUpdate");
    EXPECT_EQ(relative, fs::current_path().string() + "/");
}

} // namespace
} // namespace qv
