// The whole firmware programming flow for a 126 KiB image against a
// simulated FF5C-family chip that answers at once, on virtual time.
//
// What the operator waits for is set by the protocol: one feature-report
// exchange costs about 1 ms on a real link, and the flow's pauses (5 ms after
// each erase and page program, the settle and rescan waits of leaving flash
// mode, the pause of the success ending) are mandated. The floor is
//   exchanges x 1 ms + the virtual time the flow waited,
// and the host's own work should add next to nothing to it:
//   ratio = (floor + host time) / floor, which must stay below 1.01.
#include <benchmark/benchmark.h>

#include <chrono>
#include <optional>

#include "../tests/core/support/sim_session.h"
#include "platform/sim/image_maker.h"
#include "programming/firmware_flow.h"
#include "programming/flash_mode.h"

namespace {

using namespace qv;

void BM_ProgramFirmwareImage126K(benchmark::State& state) {
    const auto image = sim::makeFirmwareImage(
        {.kind = sim::ImageKind::Layout126K, .version = "FW 2.00", .oemVersion = "OEM 2.00"});
    double hostSeconds = 0;
    std::uint64_t exchanges = 0;
    std::uint64_t waitedMs = 0;
    std::int64_t runs = 0;
    bool allPassed = true;
    std::optional<qv::testing::SimSession> rig;
    for (auto _ : state) {
        state.PauseTiming();
        auto& bench = rig.emplace();
        bench.hub.setLogging(false);
        auto& device = bench.hub.addDevice({.family = sim::Family::FF5C, .mode = sim::Mode::Flash});
        device.chip().loadFlash(std::span(image).first(0x2000));
        OpenDeviceInMode(bench.session, 2);
        bench.session.ImageBuffer = image;
        const auto exchangesBefore = bench.hub.exchangeCount();
        const auto elapsedBefore = bench.loop.elapsedMilliseconds();
        state.ResumeTiming();

        const auto start = std::chrono::steady_clock::now();
        ProgramFirmwareImage(bench.session);
        const auto stop = std::chrono::steady_clock::now();

        state.PauseTiming();
        hostSeconds += std::chrono::duration<double>(stop - start).count();
        exchanges += bench.hub.exchangeCount() - exchangesBefore;
        waitedMs += bench.loop.elapsedMilliseconds() - elapsedBefore;
        allPassed = allPassed && bench.session.ResultCode == 0;
        ++runs;
        rig.reset();
        state.ResumeTiming();
    }
    if (!allPassed) {
        state.SkipWithError("the flow did not end in success");
        return;
    }
    const double n = static_cast<double>(runs);
    const double hostMs = hostSeconds * 1000.0 / n;
    const double floorMs = static_cast<double>(exchanges) / n + static_cast<double>(waitedMs) / n;
    state.counters["host_ms"] = hostMs;
    state.counters["exchanges"] = static_cast<double>(exchanges) / n;
    state.counters["waited_ms"] = static_cast<double>(waitedMs) / n;
    state.counters["floor_ms"] = floorMs;
    state.counters["ratio"] = (floorMs + hostMs) / floorMs;
}
BENCHMARK(BM_ProgramFirmwareImage126K)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
