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
#include <vector>

#include "platform/sim/image_maker.h"
#include "platform/virtual_event_loop.h"
#include "session/session.h"
#include "station/simulated_station.h"

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

// The clock and the scratch folder, made before the station that uses them.
struct SimSessionGround {
    VirtualEventLoop loop;
    ScratchDirectory scratch;
};

struct SimSession : SimSessionGround, sim::SimulatedStation {
    explicit SimSession(CommandLine commandLine = {})
        : SimulatedStation(loop, scratch.folder()), session(ports(loop), std::move(commandLine)) {}

    Session session;
};

// A 126 KiB image whose OEM version text is `oemVersion`.
inline std::vector<std::uint8_t> imageWithVersion(const std::string& oemVersion, std::uint32_t seed = 1) {
    sim::ImageSpec spec;
    spec.oemVersion = oemVersion;
    spec.version = oemVersion.substr(0, 16);
    spec.seed = seed;
    return sim::makeFirmwareImage(spec);
}

} // namespace qv::testing
