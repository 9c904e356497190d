#include "main/program_host.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

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

HostOpening MainHost::open(EventLoop& loop, Ports& ports, std::string& error) {
    const HostOpening opening = openPorts(loop, ports, error);
    if (opening != HostOpening::Ready || !capture_) return opening;
    return capture_->open(loop, ports, error) ? HostOpening::Ready : HostOpening::Failed;
}

void MainHost::sessionStarted(Session& session) {
    if (capture_) capture_->sessionStarted(session);
}

void MainHost::sessionEnded(const Session& session, int exitCode) {
    if (capture_) capture_->sessionEnded(session, exitCode);
}

HostOpening MainHost::openPorts(EventLoop& loop, Ports& ports, std::string& error) {
    platform_ = createPlatformPorts(argv0_);
    ports.hid = platform_.hid.get();
    ports.deviceManager = platform_.deviceManager.get();
    ports.store = platform_.store.get();
    ports.processes = platform_.processes.get();
    ports.keepAwake = platform_.keepAwake.get();
    ports.profile = platform_.profile.get();
    ports.environment = platform_.environment.get();
    ports.directory = platform_.directory.get();
    ports.stops = platform_.stops.get();
    ports.loop = &loop;
    ports.standardOutput = &std::cout;

    const std::optional<std::string> folder =
        simulationFolder_ ? std::optional(asFolder(*simulationFolder_)) : std::nullopt;
    lock_ = folder ? createFolderLock(*folder) : std::move(platform_.stationLock);
    switch (capture_ && capture_->replaying() ? InstanceLock::Result::Taken : lock_->take()) {
    case InstanceLock::Result::Taken: break;
    case InstanceLock::Result::HeldByAnother: return HostOpening::Busy;
    case InstanceLock::Result::Unavailable:
        // A station must still work where no lock file can be made; it
        // just runs unguarded.
        std::cerr << "QuorvexUpdate: no place for the station lock could be used; running without it\n";
        break;
    }
    if (!folder) return HostOpening::Ready;

    hub_ = std::make_unique<sim::SimulatedHub>(loop);
    if (!sim::loadSimulation(*folder, *hub_, error)) {
        error = "--simulate=" + *simulationFolder_ + ": " + error;
        return HostOpening::Failed;
    }
#if defined(_WIN32)
    SystemStore* systemStore = platform_.store.get();
#else
    SystemStore* systemStore = nullptr;  // a machine-wide file, not for rehearsals
#endif
    simulatedStore_ = std::make_unique<SimulationStore>(*folder + "FWVer", systemStore);
    ports.hid = hub_.get();
    ports.deviceManager = hub_.get();
    ports.store = simulatedStore_.get();
    hub_->onHostEvent = [this, folder] { pauseAtHostEvent(*folder); };
    return HostOpening::Ready;
}

// Where [HOST] of device.ini says: the device's state as it is now goes to
// DIR (what a real hub would hold if the program died here), DIR/host-paused
// names this process, and the program waits, in real time, until it is
// asked to stop (it then stops at its next safe point) or the pause is over.
// A test kills or stops it meanwhile.
void MainHost::pauseAtHostEvent(const std::string& folder) {
    std::string error;
    if (!sim::saveSimulation(folder, *hub_, error)) std::cerr << "QuorvexUpdate: " << error << "\n";
    {
        std::ofstream marker(folder + "host-paused.new", std::ios::trunc);
#if defined(_WIN32)
        marker << _getpid() << "\n";
#else
        marker << getpid() << "\n";
#endif
    }
    // Renamed into place: whoever sees the marker sees it whole.
    std::error_code ignored;
    std::filesystem::rename(folder + "host-paused.new", folder + "host-paused", ignored);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(hub_->hostEvents().pauseMs);
    while (std::chrono::steady_clock::now() < end && !(platform_.stops && platform_.stops->requested())) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
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
