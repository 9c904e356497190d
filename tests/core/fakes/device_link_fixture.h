#pragma once
// A device link on a scripted bus and virtual time, with helpers that put a
// device into the handle slots the commands use.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "core/fakes/scripted_hid_bus.h"
#include "device/device_link.h"
#include "platform/virtual_event_loop.h"
#include "session/link_wiring.h"
#include "session/options.h"
#include "session/window_model.h"

namespace qv::test {

inline constexpr HidCollectionCaps kLoaderCollection{kPageFF5C, 0xDB};
inline constexpr HidCollectionCaps kRunningCollection{kPageFF5C, 0x80};

class DeviceLinkTest : public ::testing::Test {
protected:
    VirtualEventLoop loop;
    ScriptedHidBus bus{&loop};
    Options options;
    WindowModel window;
    std::ostringstream standardOutput;
    DeviceLink link{bus, loop, [this] { return linkSettingsFrom(options); }, linkSinksInto(window), standardOutput};

    // One device of the given collection in slot 0 (and slot MAININDEX when
    // that is 0); the search's own log lines are cleared.
    void openDevice(HidCollectionCaps collection) {
        bus.interfaces.push_back({collection});
        link.OpenMatchingDevices(collection.usagePage, collection.usage);
        ASSERT_EQ(link.FoundDeviceCount(), 1);
        window.memo2.clear();
    }
    void openLoader() { openDevice(kLoaderCollection); }
    void openRunningFirmware() { openDevice(kRunningCollection); }

    const std::vector<std::string>& memo2() const { return window.memo2.lines(); }
};

// A Get answer whose payload (report bytes 1..) is `payload`.
inline FeatureReport answerWithPayload(std::initializer_list<std::uint8_t> payload) {
    FeatureReport report{};
    std::size_t at = 1;
    for (auto byte : payload) report[at++] = byte;
    return report;
}

// The report begins with `expected` and is zero after it.
inline ::testing::AssertionResult reportIs(const FeatureReport& report, std::vector<std::uint8_t> expected) {
    std::vector<std::uint8_t> whole(report.begin(), report.end());
    expected.resize(kFeatureReportSize, 0);
    if (whole == expected) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "report differs at bytes:";
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (whole[i] != expected[i]) {
            failure << " [" << i << "] " << int{whole[i]} << " (want " << int{expected[i]} << ")";
        }
    }
    return failure;
}

} // namespace qv::test
