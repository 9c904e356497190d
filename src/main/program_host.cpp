#include "main/program_host.h"

#include <iostream>

#include "platform/sim/sim_state.h"

namespace qv {

namespace {

// FWVer of a simulated run: beside the simulated device in DIR/FWVer, and on
// Windows also in the registry, where a real run writes it and where a
// station's scripts look after a run.
class SimulationStore : public SystemStore {
public:
    SimulationStore(std::string path, SystemStore* system) : file_(std::move(path)), system_(system) {}
    bool writeFirmwareVersion(const std::string& version, std::string& error) override {
        if (!file_.writeFirmwareVersion(version, error)) return false;
        return system_ == nullptr || system_->writeFirmwareVersion(version, error);
    }

private:
    FileSystemStore file_;
    SystemStore* system_;
};

} // namespace

MainHost::MainHost(std::string argv0, std::optional<std::string> simulationFolder, ConsoleReporting reporting)
    : argv0_(std::move(argv0)), simulationFolder_(std::move(simulationFolder)), reporting_(std::move(reporting)) {}

std::string asFolder(std::string path) {
    if (path.empty()) return "./";
    if (path.back() != '/' && path.back() != '\\') path += '/';
    return path;
}

bool MainHost::open(EventLoop& loop, Ports& ports, std::string& error) {
    if (!openPorts(loop, ports, error)) return false;
    return !capture_ || capture_->open(loop, ports, error);
}

void MainHost::sessionStarted(Session& session) {
    if (capture_) capture_->sessionStarted(session);
}

void MainHost::sessionEnded(const Session& session, int exitCode) {
    if (capture_) capture_->sessionEnded(session, exitCode);
}

bool MainHost::openPorts(EventLoop& loop, Ports& ports, std::string& error) {
    platform_ = createPlatformPorts(argv0_);
    ports.hid = platform_.hid.get();
    ports.deviceManager = platform_.deviceManager.get();
    ports.store = platform_.store.get();
    ports.processes = platform_.processes.get();
    ports.keepAwake = platform_.keepAwake.get();
    ports.profile = platform_.profile.get();
    ports.environment = platform_.environment.get();
    ports.directory = platform_.directory.get();
    ports.loop = &loop;
    ports.standardOutput = &std::cout;
    if (!simulationFolder_) return true;

    const std::string folder = asFolder(*simulationFolder_);
    hub_ = std::make_unique<sim::SimulatedHub>(loop);
    if (!sim::loadSimulation(folder, *hub_, error)) {
        error = "--simulate=" + *simulationFolder_ + ": " + error;
        return false;
    }
#if defined(_WIN32)
    SystemStore* systemStore = platform_.store.get();
#else
    SystemStore* systemStore = nullptr;  // a machine-wide file, not for rehearsals
#endif
    simulatedStore_ = std::make_unique<SimulationStore>(folder + "FWVer", systemStore);
    ports.hid = hub_.get();
    ports.deviceManager = hub_.get();
    ports.store = simulatedStore_.get();
    return true;
}

bool MainHost::close(std::string& error) {
    if (!hub_) return true;
    if (!sim::saveSimulation(asFolder(*simulationFolder_), *hub_, error)) {
        error = "--simulate=" + *simulationFolder_ + ": " + error;
        return false;
    }
    return true;
}

} // namespace qv
