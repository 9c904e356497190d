// Appending a line to a long pane: what the Windows view works out to send
// to its edit control (PaneFeed) for one new line, with the pane already
// holding 100 to 100,000 lines (10,000 lines of diagnostics is a long
// docking session). The cost must not grow with the pane: only the new line
// is sent. For contrast, sending the whole text again for each line (what a
// view without PaneFeed would do) grows with the pane.
//
// The feed is plain C++ and runs here on the build machine; the edit
// control itself appends at its end (EM_REPLACESEL).
#include <benchmark/benchmark.h>

#include <string>

#include "ui/win32/pane_feed.h"

namespace {

using qv::TextPane;
using qv::win32::PaneFeed;

const std::string kLine = "Mode:1  FF5C , 00DB  1C7A  5CDB  0102  Find 1 VOR SensorHub.";
constexpr int kAppendsPerRound = 1000;

void fill(TextPane& pane, PaneFeed& feed, int lines) {
    pane.clear();
    for (int i = 0; i < lines; ++i) pane.append(kLine);
    feed.next(pane);
}

void BM_PaneAppendLine(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    TextPane pane;
    PaneFeed feed;
    fill(pane, feed, lines);
    int appended = 0;
    for (auto _ : state) {
        pane.append(kLine);
        auto edit = feed.next(pane);
        benchmark::DoNotOptimize(edit);
        if (++appended == kAppendsPerRound) {  // back to the length under test
            state.PauseTiming();
            fill(pane, feed, lines);
            appended = 0;
            state.ResumeTiming();
        }
    }
    state.counters["pane_lines"] = lines;
}
BENCHMARK(BM_PaneAppendLine)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000);

void BM_PaneWholeTextPerLine(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    TextPane pane;
    PaneFeed feed;
    fill(pane, feed, lines);
    for (auto _ : state) {
        pane.append(kLine);
        feed.reset();  // as if the control were given its whole text again
        auto edit = feed.next(pane);
        benchmark::DoNotOptimize(edit);
        state.PauseTiming();
        fill(pane, feed, lines);
        state.ResumeTiming();
    }
    state.counters["pane_lines"] = lines;
}
BENCHMARK(BM_PaneWholeTextPerLine)->Arg(100)->Arg(1000)->Arg(10000);

} // namespace
