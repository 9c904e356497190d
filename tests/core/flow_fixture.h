#pragma once
// Shared pieces of the programming-flow tests: a session on a simulated hub,
// one sensor hub on it, image files, and a recorder for the message pane
// (whose lines the flows clear before they show their outcome).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "platform/sim/image_maker.h"
#include "platform/sim/simulated_hub.h"
#include "support/sim_session.h"

namespace qv::testing {

// Bytes [from, to) as a vector, for comparisons with readable failures.
inline std::vector<std::uint8_t> bytesOf(std::span<const std::uint8_t> bytes, std::size_t from, std::size_t to) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(to)};
}

inline std::vector<std::uint8_t> image(const sim::ImageSpec& spec) {
    auto bytes = sim::makeFirmwareImage(spec);
    EXPECT_FALSE(bytes.empty()) << sim::imageSpecProblem(spec);
    return bytes;
}

// A session on its own simulated hub, with what the flow tests look at.
struct FlowRig {
    FlowRig() {
        session.closeMainWindow = [this] { ++closes; };
    }

    sim::SimulatedDevice& addDevice(sim::DeviceConfig config = {}) { return sim.hub.addDevice(config); }

    // Every line Memo1 has shown at a 500 ms tick of the warning blinker,
    // in the order first seen.
    void recordMemo1() {
        session.Timer5.onTick([this] {
            for (const auto& line : session.window.memo1.lines()) {
                if (!seenInMemo1(line)) {
                    memo1Seen.push_back(line);
                }
            }
        });
        session.setTimer(session.Timer5, true);
    }
    bool seenInMemo1(const std::string& line) const {
        return std::find(memo1Seen.begin(), memo1Seen.end(), line) != memo1Seen.end();
    }

    // Runs `fault` once, at the first 500 ms tick of the error-panel blinker
    // from now: half a second into a programming flow the write is well
    // under way and every read of the device's old content is done.
    void injectDuringWrite(std::function<void()> fault) {
        session.Timer2.onTick([this, fault] {
            if (!injected) {
                injected = true;
                fault();
            }
        });
        session.setTimer(session.Timer2, true);
    }

    long countInMemo2(const std::string& line) const {
        const auto& lines = session.window.memo2.lines();
        return std::count(lines.begin(), lines.end(), line);
    }

    // The one result log the outcome wrote, or "" when there is none.
    std::string resultLog() const {
        std::string text;
        int logs = 0;
        for (const auto& entry : std::filesystem::directory_iterator(sim.scratch.path())) {
            if (entry.path().filename().string().rfind("VORTAVOlog", 0) == 0) {
                std::ifstream file(entry.path(), std::ios::binary);
                text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
                ++logs;
            }
        }
        EXPECT_LE(logs, 1);
        return text;
    }

    SimSession sim;
    Session& session = sim.session;
    std::vector<std::string> memo1Seen;
    bool injected = false;
    int closes = 0;  // closings of the main window the outcomes asked for
};

class FlowTest : public ::testing::Test, public FlowRig {};

} // namespace qv::testing
