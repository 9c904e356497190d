#pragma once
// A Session on test doubles for the image tests: no HID interface, an empty
// device tree, virtual time, results in memory, logs in a scratch folder.
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/session.h"
#include "platform/file_dialog.h"
#include "platform/portable_ports.h"
#include "platform/virtual_event_loop.h"

namespace qv::testing {

// Answers every Browse with the queued choice (nullopt = cancel) and
// remembers the filters it was shown.
class ScriptedFileDialog : public FileDialog {
public:
    std::optional<std::string> chooseFile(const std::string& filter) override {
        filters.push_back(filter);
        return choice;
    }
    std::optional<std::string> choice;
    std::vector<std::string> filters;
};

// Base folder for files a test writes; removed with the fixture.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name)
        : path_(std::filesystem::temp_directory_path() / ("qv-image-" + name + "-" + uniqueSuffix())) {
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    static std::string uniqueSuffix() {
        return std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string folder() const { return path_.string() + "/"; }

private:
    std::filesystem::path path_;
};

struct ImageTestSession {
    explicit ImageTestSession(const std::string& name, HidBus* bus = nullptr)
        : scratch(name), environment(scratch.folder()), session(makePorts(bus), CommandLine{}) {
        session.window.memo1.clear();  // drop the window's start-up line
    }

    Ports makePorts(HidBus* bus) {
        Ports ports;
        ports.hid = bus != nullptr ? bus : &emptyBus;
        ports.deviceManager = &deviceManager;
        ports.loop = &loop;
        ports.store = &store;
        ports.processes = &processes;
        ports.keepAwake = &keepAwake;
        ports.environment = &environment;
        ports.fileDialog = &dialog;
        return ports;
    }

    ScratchFolder scratch;
    EmptyHidBus emptyBus;
    EmptyDeviceManager deviceManager;
    VirtualEventLoop loop;
    MemorySystemStore store;
    RecordingProcessControl processes;
    NoKeepAwake keepAwake;
    FixedFolderEnvironment environment;
    ScriptedFileDialog dialog;
    Session session;
};

} // namespace qv::testing
