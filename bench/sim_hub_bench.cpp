// Cost of the simulated hub itself: how fast it takes the exchanges of a
// full 126 K programming cycle (erase, page-buffer writes, sums, programs,
// read-back), with the exchange log on and off, and how long making a
// device with its default firmware takes.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "platform/sim/simulated_hub.h"
#include "platform/virtual_event_loop.h"

namespace {

using qv::FeatureReport;

constexpr std::uint32_t kBase = 0x2000;
constexpr std::uint32_t kEnd = 0x1F800;

void put24(FeatureReport& r, std::size_t at, std::uint32_t v) {
    r[at] = static_cast<std::uint8_t>(v);
    r[at + 1] = static_cast<std::uint8_t>(v >> 8);
    r[at + 2] = static_cast<std::uint8_t>(v >> 16);
}

std::uint64_t programAndReadBack(qv::sim::SimulatedHub& hub, qv::HidHandle h) {
    std::uint32_t code = 0;
    FeatureReport r{};
    r[1] = 0xC2;
    put24(r, 2, kBase);
    r[5] = static_cast<std::uint8_t>((kEnd - kBase) / 1024);
    hub.setFeature(h, r, code);
    for (std::uint32_t page = kBase; page < kEnd; page += 1024) {
        r = {};
        r[1] = 0xC0;
        hub.setFeature(h, r, code);
        for (std::uint32_t offset = 0; offset < 1024; offset += 57) {
            const auto count = static_cast<std::uint8_t>(std::min<std::uint32_t>(57, 1024 - offset));
            r = {};
            r[1] = 0xC1;
            r[2] = static_cast<std::uint8_t>(offset);
            r[3] = static_cast<std::uint8_t>(offset >> 8);
            r[4] = count;
            std::fill_n(r.begin() + 5, count, static_cast<std::uint8_t>(page >> 10));
            hub.setFeature(h, r, code);
        }
        r = {};
        r[1] = 0xD0;
        hub.setFeature(h, r, code);
        hub.getFeature(h, r, code);
        r = {};
        r[1] = 0xC3;
        put24(r, 2, page);
        r[6] = 0x04;
        hub.setFeature(h, r, code);
    }
    std::uint64_t sum = 0;
    for (std::uint32_t at = kBase; at < kEnd; at += 56) {
        r = {};
        r[1] = 0xD1;
        put24(r, 2, at);
        r[5] = static_cast<std::uint8_t>(std::min<std::uint32_t>(56, kEnd - at));
        hub.setFeature(h, r, code);
        hub.getFeature(h, r, code);
        sum += r[6];
    }
    return sum;
}

void BM_SimHubProgrammingCycle(benchmark::State& state) {
    qv::VirtualEventLoop loop;
    qv::sim::SimulatedHub hub(loop);
    hub.setLogging(state.range(0) != 0);
    qv::sim::DeviceConfig config;
    config.mode = qv::sim::Mode::Flash;
    config.defaultFirmware = false;
    hub.addDevice(config);
    const qv::HidHandle h = hub.open(*hub.interfacePath(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(programAndReadBack(hub, h));
        hub.clearLog();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(hub.exchangeCount()));
    state.SetLabel(state.range(0) != 0 ? "log on" : "log off");
}
BENCHMARK(BM_SimHubProgrammingCycle)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SimHubDeviceWithDefaultFirmware(benchmark::State& state) {
    qv::VirtualEventLoop loop;
    for (auto _ : state) {
        qv::sim::SimulatedHub hub(loop);
        benchmark::DoNotOptimize(&hub.addDevice());
    }
}
BENCHMARK(BM_SimHubDeviceWithDefaultFirmware)->Unit(benchmark::kMicrosecond);

} // namespace
