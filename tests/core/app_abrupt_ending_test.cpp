// Runs that cannot reach their own ending: a stop request taken at a safe
// point, an error that reaches the program's loop. Both end as a failed run
// (result log "Failure"), bring back what the run removed from the device
// tree, release the device, and leave the chip where the next run finishes
// the update.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

#include "app/program.h"
#include "app/view_input.h"
#include "programming/flash_mode.h"
#include "platform/stop_request.h"
#include "platform/virtual_event_loop.h"
#include "station/fault_campaign.h"
#include "station/simulated_station.h"
#include "support/sim_session.h"

namespace qv {
namespace {

// A stop request that comes when `due` says so.
class StopWhen : public ManualStopRequests {
public:
    bool requested() override { return taken == 0 && due && due(); }
    std::function<bool()> due;
};

// The hub's device tree, telling when a device has been removed.
class WatchedTree : public DeviceManager {
public:
    explicit WatchedTree(DeviceManager& tree) : tree_(tree) {}
    PresentDeviceList presentDevices() override { return tree_.presentDevices(); }
    bool removeDevice(std::uint64_t node) override {
        ++removals;
        return tree_.removeDevice(node);
    }
    RescanStatus rescan() override { return tree_.rescan(); }
    int removals = 0;

private:
    DeviceManager& tree_;
};

class FailingListing : public DirectoryListing {
public:
    std::vector<DirectoryEntry> listBinFiles(const std::string&) override {
        throw std::runtime_error("the folder listing failed");
    }
};

// The simulated station with a few of its ports replaced.
class Host : public ProgramHost {
public:
    explicit Host(sim::SimulatedStation& station) : station_(station) {}
    HostOpening open(EventLoop& loop, Ports& ports, std::string& error) override {
        const HostOpening opening = station_.open(loop, ports, error);
        ports.stops = stops;
        if (tree != nullptr) ports.deviceManager = tree;
        if (listing != nullptr) ports.directory = listing;
        return opening;
    }
    bool close(std::string& error) override { return station_.close(error); }

    StopRequests* stops = nullptr;
    DeviceManager* tree = nullptr;
    DirectoryListing* listing = nullptr;

private:
    sim::SimulatedStation& station_;
};

class AbruptEnding : public ::testing::Test {
protected:
    AbruptEnding() {
        image = testing::imageWithVersion("NEW1.0", 7);
        writeFile("fw.bin", std::string(image.begin(), image.end()));
        host.stops = &stops;
    }
    void writeFile(const std::string& name, const std::string& bytes) {
        std::ofstream file(scratch.path() / name, std::ios::binary | std::ios::trunc);
        file << bytes;
    }
    std::string readFile(const std::string& name) {
        std::ifstream file(scratch.path() / name, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    std::string resultLog() {
        for (const auto& item : std::filesystem::directory_iterator(scratch.path())) {
            const std::string name = item.path().filename().string();
            if (name.rfind("VORTAVOlog", 0) == 0) return readFile(name);
        }
        return {};
    }
    void removeResultLogs() {
        for (const auto& item : std::filesystem::directory_iterator(scratch.path())) {
            if (item.path().filename().string().rfind("VORTAVOlog", 0) == 0) std::filesystem::remove(item.path());
        }
    }
    int run() { return runProgram(loop, host, CommandLine({"/S"})); }

    // The same station again, nothing stopping it: the update is finished.
    void expectTheNextRunUpdates() {
        host.stops = nullptr;
        host.listing = nullptr;
        removeResultLogs();
        EXPECT_EQ(run(), 0);
        EXPECT_TRUE(sim::firmwareAreaMatches(device.chip().flash(), image));
    }

    testing::ScratchDirectory scratch{"qv-abrupt"};
    VirtualEventLoop loop;
    sim::SimulatedStation station{loop, scratch.folder()};
    sim::SimulatedDevice& device = station.hub.addDevice();
    Host host{station};
    StopWhen stops;
    std::vector<std::uint8_t> image;
};

TEST_F(AbruptEnding, AStopDuringProgrammingEndsAsFailureWithTheRequestsExitCode) {
    writeFile("TAVO.ini", "[MESSAGE]\r\nENABLE=1\r\n");
    // Well inside the page writes of a 126 KiB image.
    stops.due = [this] { return station.hub.exchangeCount() >= 1500; };
    EXPECT_EQ(run(), 143);
    EXPECT_EQ(stops.taken, 1);
    EXPECT_EQ(resultLog(), "Failure\r\n");
    EXPECT_NE(readFile("Mesaage.log").find("Stopped by SIGTERM.\r\n"), std::string::npos);
    EXPECT_EQ(station.hub.openHandleCount(), 0u);
    EXPECT_FALSE(station.keepAwake.active);
    // Taken between two exchanges: the chip waits in its loader.
    EXPECT_TRUE(device.present());
    EXPECT_EQ(device.mode(), sim::Mode::Flash);
    expectTheNextRunUpdates();
}

TEST_F(AbruptEnding, AStopRightAfterARemovalBringsTheDeviceBack) {
    WatchedTree tree(station.hub);
    host.tree = &tree;
    stops.due = [&tree] { return tree.removals > 0; };
    EXPECT_EQ(run(), 143);
    EXPECT_EQ(tree.removals, 1);
    EXPECT_EQ(resultLog(), "Failure\r\n");
    loop.advance(5000);  // re-enumeration
    EXPECT_TRUE(device.present()) << "the device was left removed from the device tree";
    expectTheNextRunUpdates();
}

TEST_F(AbruptEnding, NoResultLogStillMeansNone) {
    writeFile("TAVO.ini", "[OPTION]\r\nNORESULTLOG=1\r\n");
    stops.code = 130;
    stops.due = [this] { return station.hub.exchangeCount() >= 10; };
    EXPECT_EQ(run(), 130);
    EXPECT_EQ(resultLog(), "");
}

TEST_F(AbruptEnding, AnErrorThatReachesTheLoopEndsTheRunAsFailure) {
    writeFile("TAVO.ini", "[MESSAGE]\r\nENABLE=1\r\n");
    FailingListing listing;
    host.listing = &listing;
    host.stops = nullptr;
    EXPECT_EQ(run(), 16);
    EXPECT_EQ(resultLog(), "Failure\r\n");
    EXPECT_NE(readFile("Mesaage.log").find("Unexpected error: the folder listing failed\r\n"), std::string::npos);
    EXPECT_EQ(station.hub.openHandleCount(), 0u);
    EXPECT_FALSE(station.keepAwake.active);
    expectTheNextRunUpdates();
}

// A click whose handler runs into a stop request (the close sequence
// releases the device with an exchange): nothing leaves through the view's
// toolkit; the program's loop ends the run at its next safe point.
TEST_F(AbruptEnding, AnOperatorsClickNeverThrowsIntoTheView) {
    bool stopNow = false;
    stops.due = [&stopNow] { return stopNow; };
    bool threwIntoView = false;
    const int exitCode = runProgram(loop, host, CommandLine{}, [&](Session& session) {
        ReopenNormalMode(session);
        ASSERT_NE(session.link.FoundDeviceCount(), 0);
        stopNow = true;
        session.window.button6.enabled = true;
        try {
            windowInput(session).closeClicked();
        } catch (...) {
            threwIntoView = true;
        }
    });
    EXPECT_FALSE(threwIntoView);
    EXPECT_EQ(exitCode, 143);
    EXPECT_EQ(stops.taken, 1);
    EXPECT_EQ(station.hub.openHandleCount(), 0u);
}

} // namespace
} // namespace qv
