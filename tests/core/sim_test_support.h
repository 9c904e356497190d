#pragma once
// Helpers for the simulated hub's tests: hand-built 64-byte reports and a
// hub on virtual time. The reports are written out byte by byte from the
// chip's wire tables, never with the updater's encoders.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

#include "platform/sim/simulated_hub.h"
#include "platform/virtual_event_loop.h"

namespace qv::sim::testing {

// A report whose first bytes are `head` (byte 0 = report id), zeros after.
inline FeatureReport report(std::initializer_list<std::uint8_t> head) {
    FeatureReport r{};
    std::size_t i = 0;
    for (const std::uint8_t b : head) {
        r[i++] = b;
    }
    return r;
}

// The 15-byte vendor handshake on `reportId`.
inline FeatureReport handshake(std::uint8_t reportId) {
    return report({reportId, 'V', 'O', 'R', ' ', 'T', 'e', 'c', 'h', '.', ' ', 'I', 'n', 'c', '.', 0});
}

inline std::uint16_t word(const FeatureReport& r, std::size_t at) {
    return static_cast<std::uint16_t>(r[at] | (r[at + 1] << 8));
}

struct SimHubTest : ::testing::Test {
    VirtualEventLoop loop;
    SimulatedHub hub{loop};
    SimulatedDevice* device = nullptr;
    HidHandle h = kNoHandle;  // the device's collection, opened by start()

    // Adds an FF5C-family device in `mode` and opens its collection.
    void start(Mode mode, ChipId id = {0, 0, 0}) {
        DeviceConfig config;
        config.mode = mode;
        config.chipId = id;
        device = &hub.addDevice(config);
        h = mode == Mode::Normal ? openCollection(0xFF5C, 0x80) : openCollection(0xFF5C, 0xDB);
        ASSERT_NE(h, kNoHandle);
    }

    // Opens the first present interface showing (page, usage).
    HidHandle openCollection(std::uint16_t page, std::uint16_t usage) {
        for (unsigned i = 0;; ++i) {
            const auto path = hub.interfacePath(i);
            if (!path) {
                return kNoHandle;
            }
            const HidHandle h = hub.open(*path);
            const auto caps = h == kNoHandle ? std::nullopt : hub.collectionCaps(h);
            if (caps && caps->usagePage == page && caps->usage == usage) {
                return h;
            }
            hub.close(h);
        }
    }

    // A Set and the Get that fetches its answer (same report id).
    FeatureReport ask(HidHandle h, const FeatureReport& request) {
        std::uint32_t code = 0;
        EXPECT_TRUE(hub.setFeature(h, request, code)) << "set failed, error " << code;
        FeatureReport answer = report({request[0]});
        EXPECT_TRUE(hub.getFeature(h, answer, code)) << "get failed, error " << code;
        return answer;
    }

    void send(HidHandle h, const FeatureReport& request) {
        std::uint32_t code = 0;
        EXPECT_TRUE(hub.setFeature(h, request, code)) << "set failed, error " << code;
    }

    unsigned presentInterfaces() {
        unsigned n = 0;
        while (hub.interfacePath(n)) {
            ++n;
        }
        return n;
    }
};

} // namespace qv::sim::testing
