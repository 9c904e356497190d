// --progress: the progress display fed with ProgressBar1's figures and
// steps, alone and in whole runs of the simulated station.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "app/progress_display.h"
#include "app/program.h"
#include "platform/virtual_event_loop.h"
#include "station/simulated_station.h"
#include "support/sim_session.h"

namespace qv {
namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

TEST(ProgressDisplay, PlainLinesAtEachStepStartEveryFivePercentAndAtTheEnd) {
    std::ostringstream out;
    ProgressDisplay display(out, false, [] { return std::uint64_t{0}; });
    display.update(ProgressPhase::Search, 0);
    display.update(ProgressPhase::Search, 40);  // a step without a bar ignores figures
    display.update(ProgressPhase::Write, 100);  // the figure the previous step left
    for (int percent : {1, 3, 4, 5, 6, 9, 12, 33, 34, 100}) display.update(ProgressPhase::Write, percent);
    display.update(ProgressPhase::Read, 100);
    display.update(ProgressPhase::Read, 98);
    display.update(ProgressPhase::Compare, 98);
    display.finish("success", true);
    EXPECT_EQ(lines(out.str()), (std::vector<std::string>{
                                    "progress: search 0%", "progress: search 100%", "progress: write 0%",
                                    "progress: write 5%", "progress: write 12%", "progress: write 33%",
                                    "progress: write 100%", "progress: read 0%", "progress: read 98%",
                                    "progress: compare 0%", "progress: compare 100%"}));
}

TEST(ProgressDisplay, AFailedRunLeavesItsLastStepOpen) {
    std::ostringstream out;
    ProgressDisplay display(out, false, [] { return std::uint64_t{0}; });
    display.update(ProgressPhase::Search, 0);
    display.finish("no-device", false);
    display.update(ProgressPhase::Write, 50);  // nothing after the end
    EXPECT_EQ(out.str(), "progress: search 0%\n");
}

TEST(ProgressDisplay, OnATerminalOneLineIsRewrittenAndEndsWithTheOutcome) {
    std::ostringstream out;
    std::uint64_t now = 0;
    ProgressDisplay display(out, true, [&] { return now; });
    display.update(ProgressPhase::Write, 0);
    now = 2500;
    display.update(ProgressPhase::Write, 50);
    now = 15000;
    display.finish("programming-failed", false);
    const std::string text = out.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_EQ(text.back(), '\n');
    std::vector<std::string> frames;
    std::istringstream in(text);
    for (std::string frame; std::getline(in, frame, '\r');) {
        if (!frame.empty()) frames.push_back(frame);
    }
    ASSERT_EQ(frames.size(), 3u) << text;
    EXPECT_EQ(frames[0], "write      [..............................]   0%    0s");
    EXPECT_EQ(frames[1], "write      [###############...............]  50%    2s");
    EXPECT_EQ(frames[2], "write      [###############...............]  50%   15s  programming-failed\n");
}

// One station, its progress on a stream.
struct ProgressBench {
    ProgressBench() { station.console.progress = &progress; }
    void writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::ofstream file(scratch.path() / name, std::ios::binary | std::ios::trunc);
        file << std::string(bytes.begin(), bytes.end());
    }
    int run() { return runProgram(loop, station, CommandLine({"/S"})); }

    testing::ScratchDirectory scratch{"qv-progress"};
    VirtualEventLoop loop;
    sim::SimulatedStation station{loop, scratch.folder()};
    std::ostringstream progress;
};

// The steps in their order, each figure a line of the plain form.
std::vector<std::pair<std::string, int>> parse(const std::string& text) {
    static const std::regex kLine("progress: (search|flash-mode|erase|write|read|compare|finish|parameters) "
                                  "([0-9]+)%");
    std::vector<std::pair<std::string, int>> out;
    for (const auto& line : lines(text)) {
        std::smatch match;
        EXPECT_TRUE(std::regex_match(line, match, kLine)) << line;
        if (!match.empty()) out.emplace_back(match[1], std::stoi(match[2]));
    }
    return out;
}

TEST(ProgressDisplay, AnUpdateShowsEveryStepInOrderWithTheBarsFigures) {
    ProgressBench bench;
    bench.station.hub.addDevice();
    bench.writeFile("fw.bin", testing::imageWithVersion("OEM V2.00", 7));
    ASSERT_EQ(bench.run(), 0);
    const auto shown = parse(bench.progress.str());
    std::vector<std::string> steps;
    for (const auto& [step, percent] : shown) {
        if (steps.empty() || steps.back() != step) steps.push_back(step);
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"search", "flash-mode", "erase", "write", "read", "compare", "finish"}));
    // Within a step the figures climb; writing ends at 100 % as the bar does,
    // reading back just below it, where the bar stops.
    for (std::size_t i = 1; i < shown.size(); ++i) {
        if (shown[i].first == shown[i - 1].first) EXPECT_GT(shown[i].second, shown[i - 1].second);
    }
    const auto writes = std::count_if(shown.begin(), shown.end(), [](const auto& s) { return s.first == "write"; });
    EXPECT_EQ(writes, 21);  // 0, 5, ..., 100
    EXPECT_EQ(std::make_pair(std::string("finish"), 100), shown.back());
    // Standard output keeps only the program's debugging line.
    EXPECT_EQ(bench.station.standardOutput.str(), " -> ENABLE_IVT_MAP_TO_FLASH: ");
}

TEST(ProgressDisplay, AParameterUpdateIsOneStep) {
    ProgressBench bench;
    bench.station.hub.addDevice();
    bench.writeFile("param.bin", sim::makeFirmwareImage({.kind = sim::ImageKind::ParameterFile}));
    ASSERT_EQ(bench.run(), 0);
    const auto shown = parse(bench.progress.str());
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), std::make_pair(std::string("search"), 0));
    EXPECT_EQ(std::count_if(shown.begin(), shown.end(), [](const auto& s) { return s.first == "parameters"; }),
              1 + 19 + 1 + 19);  // written, then read back: 0, 5, ..., 95 each time
}

} // namespace
} // namespace qv
