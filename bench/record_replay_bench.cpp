// What --record costs and how fast --replay runs: the whole program ("/S")
// updating a simulated FF5C-family hub with a 126 KiB image on virtual time,
// its result log written to a station folder on disk.
//
//   BM_RecordingOverhead126K: the same update without and with the
//     recording wrappers writing to a file (flushed per line), alternated
//     in each iteration. host_overhead_pct: what the recording adds to the
//     processor time of the simulated update; station_overhead_pct: what it
//     adds to the time the update takes a station (1 ms per exchange on a
//     real link, the program's waits, and the host time).
//   BM_Replay126K: the update replayed from that recording, no device.
#include <benchmark/benchmark.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "app/program.h"
#include "platform/recording_ports.h"
#include "platform/replay_ports.h"
#include "platform/sim/image_maker.h"
#include "platform/virtual_event_loop.h"
#include "station/simulated_station.h"

namespace {

using namespace qv;
namespace fs = std::filesystem;

fs::path benchFolder() {
    static const fs::path folder = [] {
        const fs::path path = fs::temp_directory_path() / "qv-record-replay-bench";
        fs::create_directories(path);
        const auto image = sim::makeFirmwareImage({.version = "OEM V2.00", .oemVersion = "OEM V2.00"});
        std::ofstream(path / "fw.bin", std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                              static_cast<std::streamsize>(image.size()));
        return path;
    }();
    return folder;
}

void removeResultLogs(const fs::path& folder) {
    for (const auto& item : fs::directory_iterator(folder)) {
        if (item.path().filename().string().rfind("VORTAVOlog", 0) == 0) fs::remove(item.path());
    }
}

// The station's ports, the device ports wrapped in the recorder.
class RecordedStation : public ProgramHost {
public:
    RecordedStation(sim::SimulatedStation& station, const std::string& file) : station_(station), file_(file) {}
    HostOpening open(EventLoop& loop, Ports& ports, std::string& error) override {
        station_.open(loop, ports, error);
        recorder_.emplace(loop, file_);
        RecordedEvent start;
        start.op = RecordedOp::Start;
        recorder_->append(start);
        bus_.emplace(*ports.hid, *recorder_);
        tree_.emplace(*ports.deviceManager, *recorder_);
        ports.hid = &*bus_;
        ports.deviceManager = &*tree_;
        return recorder_->recording() ? HostOpening::Ready : HostOpening::Failed;
    }
    bool close(std::string&) override { return true; }

private:
    sim::SimulatedStation& station_;
    std::string file_;
    std::optional<SessionRecorder> recorder_;
    std::optional<RecordingHidBus> bus_;
    std::optional<RecordingDeviceManager> tree_;
};

// The station's ports, the device ports answered from a recording.
class ReplayedStation : public ProgramHost {
public:
    ReplayedStation(sim::SimulatedStation& station, const std::string& file) : station_(station), in_(file) {}
    HostOpening open(EventLoop& loop, Ports& ports, std::string& error) override {
        station_.open(loop, ports, error);
        replay_.emplace(in_, loop, [this](const ReplayDivergence&) { diverged = true; });
        ports.hid = &*replay_;
        ports.deviceManager = &*replay_;
        return replay_->ok() ? HostOpening::Ready : HostOpening::Failed;
    }
    bool close(std::string&) override { return true; }
    bool diverged = false;

private:
    sim::SimulatedStation& station_;
    std::ifstream in_;
    std::optional<ReplayPorts> replay_;
};

// One update: the processor time it took in milliseconds (user and system,
// the recording's writes included; the machine's other load left out), -1
// when it did not succeed; and what the update costs a station in time, the
// floor that host time adds to: 1 ms per exchange on a real link plus the
// virtual time the program waited.
struct Update {
    double hostMs = -1;
    double floorMs = 0;
};

template <typename Wrap>
Update timedUpdate(Wrap wrap) {
    const fs::path folder = benchFolder();
    removeResultLogs(folder);
    VirtualEventLoop loop;
    sim::SimulatedStation station(loop, folder.string() + "/");
    station.hub.addDevice({.family = sim::Family::FF5C});
    const std::clock_t start = std::clock();
    const int exitCode = wrap(loop, station);
    const std::clock_t stop = std::clock();
    Update update;
    update.floorMs = static_cast<double>(loop.elapsedMilliseconds() + station.hub.exchangeCount());
    if (exitCode == 0) update.hostMs = static_cast<double>(stop - start) * 1000.0 / CLOCKS_PER_SEC;
    return update;
}

const std::string& recordingFile() {
    static const std::string file = (benchFolder() / "update.jsonl").string();
    return file;
}

std::size_t recordingLines() {
    std::ifstream in(recordingFile());
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    return lines;
}

int plainRun(VirtualEventLoop& loop, sim::SimulatedStation& station) {
    return runProgram(loop, station, CommandLine({"/S"}));
}

int recordedRun(VirtualEventLoop& loop, sim::SimulatedStation& station) {
    RecordedStation host(station, recordingFile());
    return runProgram(loop, host, CommandLine({"/S"}));
}

void BM_RecordingOverhead126K(benchmark::State& state) {
    double plainMs = 0;
    double recordedMs = 0;
    double floorMs = 0;
    for (auto _ : state) {
        const Update plain = timedUpdate(plainRun);
        const Update recorded = timedUpdate(recordedRun);
        if (plain.hostMs < 0 || recorded.hostMs < 0) {
            state.SkipWithError("the update did not succeed");
            return;
        }
        plainMs += plain.hostMs;
        recordedMs += recorded.hostMs;
        floorMs += plain.floorMs;
    }
    const double n = static_cast<double>(state.iterations());
    const auto lines = static_cast<double>(recordingLines());
    state.counters["plain_ms"] = plainMs / n;
    state.counters["recorded_ms"] = recordedMs / n;
    state.counters["host_overhead_pct"] = (recordedMs - plainMs) * 100.0 / plainMs;
    state.counters["station_ms"] = (floorMs + plainMs) / n;
    state.counters["station_overhead_pct"] = (recordedMs - plainMs) * 100.0 / (floorMs + plainMs);
    state.counters["lines"] = lines;
    state.counters["us_per_line"] = (recordedMs - plainMs) * 1000.0 / n / lines;
    state.counters["recording_kib"] = static_cast<double>(fs::file_size(recordingFile())) / 1024.0;
}
BENCHMARK(BM_RecordingOverhead126K)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_Replay126K(benchmark::State& state) {
    if (timedUpdate(recordedRun).hostMs < 0) {
        state.SkipWithError("the recorded update did not succeed");
        return;
    }
    double replayMs = 0;
    for (auto _ : state) {
        bool diverged = false;
        const Update replayed = timedUpdate([&](VirtualEventLoop& loop, sim::SimulatedStation& station) {
            ReplayedStation host(station, recordingFile());
            const int exitCode = runProgram(loop, host, CommandLine({"/S"}));
            diverged = host.diverged;
            return exitCode;
        });
        if (replayed.hostMs < 0 || diverged) {
            state.SkipWithError("the replay did not end as the recording");
            return;
        }
        replayMs += replayed.hostMs;
    }
    state.counters["replay_ms"] = replayMs / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Replay126K)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
