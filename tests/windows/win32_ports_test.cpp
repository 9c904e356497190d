// The Windows ports against the system's services. Under Wine the system
// offers two virtual HID devices (keyboard and mouse) and a small device
// tree; on Windows the tests use whatever the machine has and never remove
// a real device.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <set>
#include <thread>
#include <tuple>

#include <windows.h>

#include "platform/platform_ports.h"
#include "platform/win32/win32_device_manager.h"
#include "platform/win32/win32_hid_bus.h"
#include "platform/win32/win32_system_ports.h"
#include "windows_test_support.h"

namespace qv {
namespace {

using test::runningUnderWine;
using test::TempFolder;

std::vector<std::string> presentInterfacePaths(HidBus& bus) {
    std::vector<std::string> paths;
    for (unsigned index = 0; index < 256; ++index) {
        auto path = bus.interfacePath(index);
        if (!path) break;
        paths.push_back(*path);
    }
    return paths;
}

// The strings of a raw hardware-id list, up to its empty string.
std::vector<std::string> hardwareIdStrings(const std::string& list) {
    std::vector<std::string> ids;
    std::size_t at = 0;
    while (at < list.size() && list[at] != '\0') {
        const std::size_t end = std::min(list.find('\0', at), list.size());
        ids.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    return ids;
}

TEST(Win32HidBus, OpensEveryPresentInterfaceAndReadsItsCollection) {
    Win32HidBus bus;
    if (runningUnderWine()) {
        ASSERT_TRUE(test::wineHidDevicesReady());
    }
    const auto paths = presentInterfacePaths(bus);
    if (runningUnderWine()) {
        // Wine's virtual keyboard and mouse: finding them proves that the
        // interface detail record was sized as the system expects.
        ASSERT_GE(paths.size(), 2u);
    }
    std::set<std::string> distinct(paths.begin(), paths.end());
    EXPECT_EQ(distinct.size(), paths.size());

    Win32DeviceManager manager;
    const PresentDeviceList tree = manager.presentDevices();
    for (const auto& path : paths) {
        EXPECT_EQ(path.rfind("\\\\?\\", 0), 0u) << path;
        const HidHandle handle = bus.open(path);
        ASSERT_NE(handle, kNoHandle) << path;
        const auto caps = bus.collectionCaps(handle);
        const auto attributes = bus.attributes(handle);
        bus.close(handle);
        ASSERT_TRUE(caps.has_value()) << path;
        ASSERT_TRUE(attributes.has_value()) << path;
        if (runningUnderWine()) {
            EXPECT_EQ(caps->usagePage, 0x01) << "generic desktop: " << path;
        }
        // The device behind the interface carries HID\VID_xxxx&PID_yyyy.
        char prefix[32];
        std::snprintf(prefix, sizeof(prefix), "HID\\VID_%04X&PID_%04X", attributes->vendorId, attributes->productId);
        const bool listed = std::any_of(tree.devices.begin(), tree.devices.end(), [&](const PresentDevice& device) {
            for (const auto& id : hardwareIdStrings(device.hardwareIds)) {
                if (id.rfind(prefix, 0) == 0) return true;
            }
            return false;
        });
        EXPECT_TRUE(listed) << prefix;
    }
}

TEST(Win32HidBus, WhatCannotBeOpenedOrReadIsRefused) {
    Win32HidBus bus;
    EXPECT_EQ(bus.interfacePath(100000), std::nullopt);
    EXPECT_EQ(bus.open("\\\\?\\hid#vid_1c7a&pid_5c50#no_such_device"), kNoHandle);
    EXPECT_EQ(bus.collectionCaps(kNoHandle), std::nullopt);
    EXPECT_EQ(bus.attributes(kNoHandle), std::nullopt);
}

TEST(Win32HidBus, FailedFeatureReportsCarryTheSystemError) {
    Win32HidBus bus;
    FeatureReport report{};
    report[0] = 0x5A;
    std::uint32_t error = 0;
    EXPECT_FALSE(bus.setFeature(kNoHandle, report, error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));
    error = 0;
    EXPECT_FALSE(bus.getFeature(kNoHandle, report, error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));

    // A keyboard or mouse has no 64-byte feature report: the class driver
    // refuses the request with an error of its own.
    if (!runningUnderWine()) GTEST_SKIP() << "needs Wine's virtual devices";
    ASSERT_TRUE(test::wineHidDevicesReady());
    const auto paths = presentInterfacePaths(bus);
    ASSERT_FALSE(paths.empty());
    const HidHandle handle = bus.open(paths.front());
    ASSERT_NE(handle, kNoHandle);
    error = 0;
    EXPECT_FALSE(bus.getFeature(handle, report, error));
    EXPECT_NE(error, 0u);
    EXPECT_NE(error, static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));
    bus.close(handle);
}

TEST(Win32DeviceManager, ListsThePresentDevicesWithTheirRawHardwareIds) {
    Win32DeviceManager manager;
    const PresentDeviceList list = manager.presentDevices();
    ASSERT_TRUE(list.opened);
    EXPECT_FALSE(list.enumerationFailed);
    ASSERT_FALSE(list.devices.empty());
    for (std::size_t i = 0; i < list.devices.size(); ++i) {
        const PresentDevice& device = list.devices[i];
        EXPECT_EQ(device.node, i);
        EXPECT_NE(device.status, PresentDevice::IdStatus::Failed);
        if (device.status != PresentDevice::IdStatus::Ok) continue;
        // Zero-terminated strings ended by an empty string, within the size
        // the system reported.
        EXPECT_NE(device.hardwareIds.find(std::string(2, '\0')), std::string::npos) << i;
        EXPECT_FALSE(hardwareIdStrings(device.hardwareIds).empty()) << i;
    }
}

TEST(Win32DeviceManager, RemovesADeviceOfTheLastList) {
    Win32DeviceManager manager;
    EXPECT_FALSE(manager.removeDevice(0)) << "no list yet";
    if (!runningUnderWine()) GTEST_SKIP() << "removes a device: only in Wine's throw-away prefix";

    // Wine's stand-in monitor is the one device a console program can spare.
    const auto isMonitor = [](const PresentDevice& device) {
        const auto ids = hardwareIdStrings(device.hardwareIds);
        return !ids.empty() && ids.front().rfind("MONITOR\\", 0) == 0;
    };
    const PresentDeviceList before = manager.presentDevices();
    const auto monitor = std::find_if(before.devices.begin(), before.devices.end(), isMonitor);
    if (monitor == before.devices.end()) GTEST_SKIP() << "no monitor device in this prefix";
    EXPECT_FALSE(manager.removeDevice(before.devices.size() + 5));
    EXPECT_TRUE(manager.removeDevice(monitor->node));

    const PresentDeviceList after = manager.presentDevices();
    EXPECT_EQ(after.devices.size() + 1, before.devices.size());
    EXPECT_TRUE(std::none_of(after.devices.begin(), after.devices.end(), isMonitor));
}

TEST(Win32DeviceManager, RescanReportsHowFarItGot) {
    Win32DeviceManager manager;
    const RescanStatus status = manager.rescan();
    // Each step needs the one before it.
    EXPECT_TRUE(status.connected || !status.rootLocated);
    EXPECT_TRUE(status.rootLocated || !status.reenumerated);
    if (!runningUnderWine()) {
        EXPECT_TRUE(status.connected);
        EXPECT_TRUE(status.rootLocated);
    }
}

// Keeps the registry value a test overwrites and puts it back afterwards.
class SavedFirmwareValue {
public:
    SavedFirmwareValue() {
        char value[256] = {};
        DWORD size = sizeof(value);
        had_ = RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VOR\\TAVO", "FWVer", RRF_RT_REG_SZ, nullptr, value, &size) ==
               ERROR_SUCCESS;
        if (had_) value_ = value;
    }
    ~SavedFirmwareValue() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VOR\\TAVO", 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        if (had_) {
            RegSetValueExA(key, "FWVer", 0, REG_SZ, reinterpret_cast<const BYTE*>(value_.c_str()),
                           static_cast<DWORD>(value_.size() + 1));
        } else {
            RegDeleteValueA(key, "FWVer");
        }
        RegCloseKey(key);
    }

private:
    bool had_ = false;
    std::string value_;
};

std::tuple<LONG, DWORD, std::string> readFirmwareValue() {
    char value[256] = {};
    DWORD size = sizeof(value);
    DWORD type = 0;
    const LONG status =
        RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VOR\\TAVO", "FWVer", RRF_RT_ANY, &type, value, &size);
    return {status, type, std::string(value)};
}

TEST(RegistrySystemStore, WritesFWVerAsAStringUnderTheMachineKey) {
    SavedFirmwareValue saved;
    RegistrySystemStore store;
    for (const std::string version : {"QX5C_V1.2.3", "", "QX5C_V1.2.4"}) {
        std::string error;
        ASSERT_TRUE(store.writeFirmwareVersion(version, error)) << error;
        EXPECT_EQ(readFirmwareValue(), std::make_tuple(LONG{ERROR_SUCCESS}, DWORD{REG_SZ}, version));
    }
}

TEST(ExecutionStateKeepAwake, HoldsDisplayAndSystemUntilReleased) {
    ExecutionStateKeepAwake keepAwake;
    keepAwake.request();
    // A call without flags changes nothing and tells the state in force.
    EXPECT_EQ(SetThreadExecutionState(0), static_cast<EXECUTION_STATE>(0x80000043));
    keepAwake.release();
    EXPECT_EQ(SetThreadExecutionState(0), static_cast<EXECUTION_STATE>(ES_CONTINUOUS));
}

TEST(ShellProcessControl, RunsTaskkillHiddenOnTheProcessTree) {
    if (!runningUnderWine()) GTEST_SKIP() << "replaces taskkill.exe: only in Wine's throw-away prefix";
    // The system's taskkill is replaced for the moment by this very program,
    // which then only records how the shell started it.
    char self[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string taskkill = "C:\\Windows\\System32\\taskkill.exe";
    const std::string original = taskkill + ".qv-original";
    ASSERT_TRUE(CopyFileA(taskkill.c_str(), original.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(self, taskkill.c_str(), FALSE));
    TempFolder folder;
    const std::string record = folder.path() + "taskkill.txt";
    SetEnvironmentVariableA(test::kRecordVariable, record.c_str());
    // Wine prefers its own built-in programs to a file of the same name
    // unless told otherwise.
    HKEY overrides = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &overrides, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(overrides, "taskkill.exe", 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);

    ShellProcessControl processes;
    processes.endProcessTree("KarnaHostSvc.exe");

    std::string recorded;
    for (int wait = 0; wait < 300 && recorded.find('\n') == recorded.rfind('\n'); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        recorded = test::readWholeFile(record);
    }
    SetEnvironmentVariableA(test::kRecordVariable, nullptr);
    RegDeleteValueA(overrides, "taskkill.exe");
    RegCloseKey(overrides);
    EXPECT_TRUE(CopyFileA(original.c_str(), taskkill.c_str(), FALSE));
    DeleteFileA(original.c_str());

    const std::size_t lineEnd = recorded.find('\n');
    ASSERT_NE(lineEnd, std::string::npos) << "taskkill was not started";
    const std::string commandLine = recorded.substr(0, lineEnd);
    EXPECT_NE(commandLine.find("taskkill.exe"), std::string::npos) << commandLine;
    const std::string arguments = " /f /t /im KarnaHostSvc.exe";
    EXPECT_EQ(commandLine.substr(commandLine.size() - std::min(commandLine.size(), arguments.size())), arguments);
    EXPECT_EQ(recorded.substr(lineEnd + 1), "hidden\n");
}

TEST(ModuleEnvironment, NamesTheFolderOfThisProgram) {
    ModuleEnvironment environment("ignored.exe");
    const std::string folder = environment.executableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_NE(GetFileAttributesA((folder + "quorvex_windows_tests.exe").c_str()), INVALID_FILE_ATTRIBUTES) << folder;
}

TEST(ModuleEnvironment, TellsTheLocalTime) {
    const auto asTuple = [](const LocalTime& t) {
        return std::make_tuple(t.year, t.month, t.day, t.hour, t.minute, t.second);
    };
    const auto cLibraryNow = [] {
        const std::time_t now = std::time(nullptr);
        std::tm parts{};
        localtime_s(&parts, &now);
        return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                         parts.tm_hour,        parts.tm_min,     parts.tm_sec};
    };
    ModuleEnvironment environment("");
    const LocalTime before = cLibraryNow();
    const LocalTime now = environment.localTime();
    const LocalTime after = cLibraryNow();
    EXPECT_LE(asTuple(before), asTuple(now));
    EXPECT_LE(asTuple(now), asTuple(after));
}

TEST(FindFileDirectoryListing, ListsBinFilesWithTheirAttributes) {
    TempFolder folder;
    for (const char* name : {"a.bin", "B.BIN", "notes.txt", "hidden.bin", "system.bin", "bin"}) {
        folder.write(name, "x");
    }
    ASSERT_TRUE(SetFileAttributesA((folder.path() + "hidden.bin").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesA((folder.path() + "system.bin").c_str(), FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(CreateDirectoryA((folder.path() + "folder.bin").c_str(), nullptr));

    using Row = std::tuple<std::string, bool, bool, bool>;  // name, directory, hidden, system
    const std::vector<Row> expected = {
        {"B.BIN", false, false, false},     {"a.bin", false, false, false},   {"folder.bin", true, false, false},
        {"hidden.bin", false, true, false}, {"system.bin", false, false, true},
    };
    FindFileDirectoryListing listing;
    const std::string withoutSeparator = folder.path().substr(0, folder.path().size() - 1);
    for (const std::string& path : {folder.path(), withoutSeparator}) {
        std::vector<Row> rows;
        for (const auto& entry : listing.listBinFiles(path)) {
            rows.emplace_back(entry.name, entry.isDirectory, entry.isHidden, entry.isSystem);
        }
        std::sort(rows.begin(), rows.end());
        EXPECT_EQ(rows, expected) << path;
    }
    EXPECT_TRUE(listing.listBinFiles(folder.path() + "missing\\").empty());
}

// Written in no name order, listed in name order without regard to case:
// what NTFS shows (and Wine for a Unix folder), and what FAT, which lists
// in creation order, is made to show too. A case-sensitive order would put
// "M.bin" first and "_a.bin" before the lower-case names.
TEST(FindFileDirectoryListing, ListsInNameOrder) {
    TempFolder folder;
    for (const char* name : {"z.bin", "_a.bin", "b.bin", "M.bin", "a1.bin"}) {
        folder.write(name, "x");
    }
    std::vector<std::string> names;
    for (const auto& entry : FindFileDirectoryListing().listBinFiles(folder.path())) {
        names.push_back(entry.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a1.bin", "b.bin", "M.bin", "z.bin", "_a.bin"}));
}

TEST(Win32Ports, CreatesEveryPortOfTheSystem) {
    const PlatformPorts ports = createPlatformPorts("QuorvexUpdate.exe");
    EXPECT_NE(ports.hid, nullptr);
    EXPECT_NE(ports.deviceManager, nullptr);
    EXPECT_NE(ports.store, nullptr);
    EXPECT_NE(ports.processes, nullptr);
    EXPECT_NE(ports.keepAwake, nullptr);
    ASSERT_NE(ports.profile, nullptr);
    EXPECT_NE(dynamic_cast<PrivateProfileSource*>(ports.profile.get()), nullptr);
    ASSERT_NE(ports.environment, nullptr);
    EXPECT_EQ(ports.environment->executableFolder().back(), '\\');
    EXPECT_NE(ports.directory, nullptr);
}

} // namespace
} // namespace qv
