// The full seeded fault campaign: 1,000 whole updates with random
// transport failures, disconnects and power losses at random exchanges,
// wrong page sums and read-back bit flips, and the updater itself dying at
// a random exchange, right after a removal or during a wait, on virtual
// time. The counters are the figures; success_with_wrong_flash, hung,
// not_recovered and stranded_after_host_crash must be 0.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <iostream>

#include "station/fault_campaign.h"

namespace {

void FaultCampaign(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("qv-fault-campaign-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(folder);
    qv::sim::CampaignFigures figures;
    for (auto _ : state) {
        qv::sim::CampaignSettings settings;
        settings.runs = static_cast<unsigned>(state.range(0));
        settings.seed = 1;
        figures = qv::sim::runFaultCampaign(settings, folder.string() + "/");
    }
    std::filesystem::remove_all(folder);
    state.counters["runs"] = figures.runs;
    state.counters["succeeded"] = figures.succeeded;
    state.counters["failed"] = figures.failed;
    state.counters["left_in_flash_mode"] = figures.leftInFlashMode;
    state.counters["recovered"] = figures.recovered;
    state.counters["not_recovered"] = figures.notRecovered;
    state.counters["success_with_wrong_flash"] = figures.wrongSuccess;
    state.counters["hung"] = figures.hung;
    state.counters["host_crashes"] = figures.hostCrashes;
    state.counters["stranded_after_host_crash"] = figures.strandedAfterHostCrash;
    std::cerr << qv::sim::describe(figures) << "\n";
    if (figures.wrongSuccess != 0 || figures.hung != 0 || figures.notRecovered != 0 ||
        figures.strandedAfterHostCrash != 0) {
        state.SkipWithError("the fault campaign found a broken promise");
    }
}
BENCHMARK(FaultCampaign)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
