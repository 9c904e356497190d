// Host cost of the device link through the whole stack (commands, encoder,
// transport, bus port) against the simulated chip with zero latency and
// virtual time, and the number of exchanges an image write and read-back
// takes, checked against the protocol's own count.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <vector>

#include "device/device_link.h"
#include "platform/sim/image_maker.h"
#include "platform/sim/simulated_hub.h"
#include "platform/virtual_event_loop.h"
#include "session/link_wiring.h"
#include "session/options.h"
#include "session/window_model.h"

namespace {

using namespace qv;

constexpr std::uint32_t kFirmwareStart = 0x2000;

// A loader device open in slot 0.
struct LoaderBench {
    VirtualEventLoop loop;
    sim::SimulatedHub hub{loop};
    Options options;
    WindowModel window;
    std::ostringstream standardOutput;
    DeviceLink link{hub, loop, [this] { return linkSettingsFrom(options); }, linkSinksInto(window), standardOutput};

    LoaderBench() {
        hub.setLogging(false);
        hub.addDevice({.family = sim::Family::FF5C, .mode = sim::Mode::Flash});
        link.OpenMatchingDevices(kPageFF5C, 0xDB);
    }
    bool ready() const { return link.FoundDeviceCount() == 1; }
};

std::vector<std::uint8_t> patternPage() {
    std::vector<std::uint8_t> page(kPageSize);
    for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return page;
}

void BM_FeatureExchange(benchmark::State& state) {
    LoaderBench bench;
    if (!bench.ready()) return state.SkipWithError("no loader device");
    const auto before = bench.hub.exchangeCount();
    for (auto _ : state) {
        benchmark::DoNotOptimize(bench.link.ClearPageBuffer());
    }
    const auto exchanges = bench.hub.exchangeCount() - before;
    state.counters["exchanges"] = static_cast<double>(exchanges);
    state.counters["per_exchange"] =
        benchmark::Counter(static_cast<double>(exchanges), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FeatureExchange);

void BM_WritePage(benchmark::State& state) {
    LoaderBench bench;
    if (!bench.ready()) return state.SkipWithError("no loader device");
    const auto page = patternPage();
    const auto before = bench.hub.exchangeCount();
    for (auto _ : state) {
        bench.link.WriteFlash(0x4000, static_cast<int>(page.size()), page);
    }
    state.counters["exchanges_per_page"] =
        static_cast<double>(bench.hub.exchangeCount() - before) / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_WritePage);

void BM_ReadPage(benchmark::State& state) {
    LoaderBench bench;
    if (!bench.ready()) return state.SkipWithError("no loader device");
    std::vector<std::uint8_t> page(kPageSize);
    const auto before = bench.hub.exchangeCount();
    for (auto _ : state) {
        bench.link.ReadFlash(0x4000, static_cast<int>(page.size()), page);
        benchmark::DoNotOptimize(page.data());
    }
    state.counters["exchanges_per_page"] =
        static_cast<double>(bench.hub.exchangeCount() - before) / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_ReadPage);

// A 126 KiB image programmed as an update does: erase from 0x2000, write
// every non-blank page of the code area, read it all back and compare. The
// exchanges must be exactly the protocol's: 1 for the erase, 22 per
// non-blank page written, 2 per 56-byte chunk read.
void BM_ImageWriteAndReadBack(benchmark::State& state) {
    sim::ImageSpec spec;
    spec.kind = sim::ImageKind::Layout126K;
    spec.blankPages = {40, 41, 90};
    const std::vector<std::uint8_t> image = sim::makeFirmwareImage(spec);
    const std::span<const std::uint8_t> code = std::span(image).subspan(kFirmwareStart);
    const auto pages = static_cast<std::uint16_t>((code.size() + kPageSize - 1) / kPageSize);
    std::size_t nonBlankPages = 0;
    for (std::size_t at = 0; at < code.size(); at += kPageSize) {
        const auto page = code.subspan(at, std::min(kPageSize, code.size() - at));
        nonBlankPages += std::any_of(page.begin(), page.end(), [](std::uint8_t b) { return b != 0xFF; }) ? 1 : 0;
    }
    const std::uint64_t expected = 1 + 22 * nonBlankPages + 2 * ((code.size() + 55) / 56);

    std::uint64_t counted = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto bench = std::make_unique<LoaderBench>();
        std::vector<std::uint8_t> back(code.size());
        state.ResumeTiming();
        if (!bench->ready()) return state.SkipWithError("no loader device");
        const auto before = bench->hub.exchangeCount();
        bench->link.EraseFlash(kFirmwareStart, pages);
        bench->link.WriteFlash(kFirmwareStart, static_cast<int>(code.size()), code);
        bench->link.ReadFlash(kFirmwareStart, static_cast<int>(back.size()), back);
        counted = bench->hub.exchangeCount() - before;
        if (!std::equal(back.begin(), back.end(), code.begin())) return state.SkipWithError("read-back differs");
        if (counted != expected) {
            char text[96];
            std::snprintf(text, sizeof text, "%llu exchanges, the protocol needs %llu",
                          static_cast<unsigned long long>(counted), static_cast<unsigned long long>(expected));
            return state.SkipWithError(text);
        }
    }
    state.counters["image_bytes"] = static_cast<double>(image.size());
    state.counters["pages_written"] = static_cast<double>(nonBlankPages);
    state.counters["exchanges"] = static_cast<double>(counted);
    state.counters["protocol_exchanges"] = static_cast<double>(expected);
}
BENCHMARK(BM_ImageWriteAndReadBack)->Unit(benchmark::kMillisecond);

} // namespace
