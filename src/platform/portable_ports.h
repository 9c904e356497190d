#pragma once
// Port implementations written with the standard library alone: used on
// every platform where nothing better exists, and by tests.
#include <optional>
#include <string>
#include <vector>

#include "platform/device_manager.h"
#include "platform/directory_listing.h"
#include "platform/environment.h"
#include "platform/hid_bus.h"
#include "platform/keep_awake.h"
#include "platform/process_control.h"
#include "platform/system_store.h"

namespace qv {

// Lists a folder with std::filesystem; names starting with '.' count as
// hidden (the POSIX convention). Only names ending in ".bin" in any letter
// case are listed, as a "*.bin" pattern search does.
class FolderDirectoryListing : public DirectoryListing {
public:
    std::vector<DirectoryEntry> listBinFiles(const std::string& folder) override;
};

// A fixed executable folder and the local time of the C library.
class FixedFolderEnvironment : public Environment {
public:
    explicit FixedFolderEnvironment(std::string folder) : folder_(std::move(folder)) {}
    std::string executableFolder() override { return folder_; }
    LocalTime localTime() override;

private:
    std::string folder_;
};

// FWVer kept in a text file (the value alone, no line end).
class FileSystemStore : public SystemStore {
public:
    explicit FileSystemStore(std::string path) : path_(std::move(path)) {}
    bool writeFirmwareVersion(const std::string& version, std::string& error) override;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Remembers the value; for tests.
class MemorySystemStore : public SystemStore {
public:
    bool writeFirmwareVersion(const std::string& version, std::string& error) override;
    std::optional<std::string> value;
    bool failWrites = false;
};

class NoKeepAwake : public KeepAwake {
public:
    void request() override { ++requests; active = true; }
    void release() override { ++releases; active = false; }
    int requests = 0;
    int releases = 0;
    bool active = false;
};

// Records the requests; ends nothing.
class RecordingProcessControl : public ProcessControl {
public:
    void endProcessTree(const std::string& imageName) override { ended.push_back(imageName); }
    std::vector<std::string> ended;
};

// A bus without any HID interface.
class EmptyHidBus : public HidBus {
public:
    std::optional<std::string> interfacePath(unsigned) override { return std::nullopt; }
    HidHandle open(const std::string&) override { return kNoHandle; }
    void close(HidHandle) override {}
    std::optional<HidCollectionCaps> collectionCaps(HidHandle) override { return std::nullopt; }
    std::optional<HidAttributes> attributes(HidHandle) override { return std::nullopt; }
    bool setFeature(HidHandle, const FeatureReport&, std::uint32_t& errorCode) override;
    bool getFeature(HidHandle, FeatureReport&, std::uint32_t& errorCode) override;
};

// A device tree without devices.
class EmptyDeviceManager : public DeviceManager {
public:
    PresentDeviceList presentDevices() override;
    bool removeDevice(std::uint64_t) override { return false; }
    RescanStatus rescan() override { return {true, true, true}; }
};

} // namespace qv
