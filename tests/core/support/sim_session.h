#pragma once
// A Session wired to a simulated sensor hub on virtual time, for tests that
// drive the updater against devices: the hub is both the HID bus and the
// device tree; results, logs and FWVer stay in memory or a scratch folder
// that is removed with the fixture; standard output is captured.
//
//   qv::testing::SimSession sim;
//   auto& chip = sim.hub.addDevice({.family = qv::sim::Family::FF5C});
//   qv::ReopenNormalMode(sim.session);
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>

#include "app/profile_reader.h"
#include "app/session.h"
#include "platform/portable_ports.h"
#include "platform/sim/simulated_hub.h"
#include "platform/virtual_event_loop.h"

namespace qv::testing {

// A fresh folder under the system's temporary folder; removed on destruction.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string& prefix = "qv-test")
        : path_(std::filesystem::temp_directory_path() /
                (prefix + "-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
        std::filesystem::create_directories(path_);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder with its trailing separator, as the program's own folder is given.
    std::string folder() const { return path_.string() + "/"; }

private:
    std::filesystem::path path_;
};

struct SimSession {
    explicit SimSession(CommandLine commandLine = {})
        : environment(scratch.folder()), session(ports(), std::move(commandLine)) {}

    Ports ports() {
        Ports p;
        p.hid = &hub;
        p.deviceManager = &hub;
        p.loop = &loop;
        p.store = &store;
        p.processes = &processes;
        p.keepAwake = &keepAwake;
        p.environment = &environment;
        p.profile = &profile;
        p.directory = &directory;
        p.standardOutput = &standardOutput;
        return p;
    }

    VirtualEventLoop loop;
    sim::SimulatedHub hub{loop};
    ScratchDirectory scratch;
    MemorySystemStore store;
    RecordingProcessControl processes;
    NoKeepAwake keepAwake;
    FixedFolderEnvironment environment;
    ProfileReader profile;
    FolderDirectoryListing directory;
    std::ostringstream standardOutput;
    Session session;
};

} // namespace qv::testing
