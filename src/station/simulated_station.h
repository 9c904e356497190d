#pragma once
// Everything a whole updater needs around one simulated sensor hub, kept in
// memory: the hub is both the HID bus and the device tree, FWVer and the
// process list are recorded, the executable's folder is a given folder and
// standard output is captured. Tests, the fault campaign and the benchmarks
// run the program on it; as a ProgramHost it serves runProgram directly.
//
//   qv::VirtualEventLoop loop;
//   qv::sim::SimulatedStation station(loop, "/tmp/station/");
//   station.hub.addDevice();
//   int exitCode = qv::runProgram(loop, station, qv::CommandLine({"/S"}));
#include <cstdint>
#include <sstream>
#include <string>
#include <utility>

#include "app/program.h"
#include "platform/portable_ports.h"
#include "platform/profile_reader.h"
#include "platform/sim/simulated_hub.h"
#include "session/session.h"

namespace qv::sim {

class SimulatedStation : public ProgramHost {
public:
    // folder: the executable's folder, with its trailing separator.
    SimulatedStation(EventLoop& loop, std::string folder, std::uint32_t seed = 1)
        : hub(loop, seed), environment(std::move(folder)) {}
    SimulatedStation(const SimulatedStation&) = delete;
    SimulatedStation& operator=(const SimulatedStation&) = delete;

    // The ports of a session on this station, timed by `loop`.
    Ports ports(EventLoop& loop) {
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

    HostOpening open(EventLoop& loop, Ports& p, std::string&) override {
        p = ports(loop);
        return HostOpening::Ready;
    }
    bool close(std::string&) override { return true; }
    ConsoleReporting reporting() const override { return console; }

    SimulatedHub hub;
    MemorySystemStore store;
    RecordingProcessControl processes;
    NoKeepAwake keepAwake;
    FixedFolderEnvironment environment;
    ProfileReader profile;
    FolderDirectoryListing directory;
    std::ostringstream standardOutput;
    ConsoleReporting console;  // what runs on this station tell besides the window
};

} // namespace qv::sim
