// The device link against the simulated sensor hub: the link's encoder and
// the hub's decoder were written apart, so agreement here checks both.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "device/device_link.h"
#include "device/device_tree.h"
#include "platform/sim/simulated_hub.h"
#include "platform/virtual_event_loop.h"
#include "session/link_wiring.h"
#include "session/options.h"
#include "session/window_model.h"

namespace qv {
namespace {

constexpr std::uint32_t kModeSwitchWaitMs = 2000;

class DeviceLinkSimTest : public ::testing::Test {
protected:
    VirtualEventLoop loop;
    sim::SimulatedHub hub{loop};
    Options options;
    WindowModel window;
    std::ostringstream standardOutput;
    DeviceLink link{hub, loop, [this] { return linkSettingsFrom(options); }, linkSinksInto(window), standardOutput};
    DeviceTree tree{hub, messagePaneOf(window)};
    sim::SimulatedDevice* device = nullptr;

    void SetUp() override {
        hub.addForeignInterface();  // a keyboard listed before the hub
        device = &hub.addDevice({.family = sim::Family::FF5C, .chipId = {0x6D, 0x10, 0x03}});
    }

    void TearDown() override {
        EXPECT_EQ(device->refusedRequests(), 0u) << "the hub ignored requests it could not decode";
        EXPECT_TRUE(standardOutput.str().empty());
    }

    void reopen(std::uint16_t usage) {
        link.CloseAllHandles();
        link.OpenMatchingDevices(kPageFF5C, usage);
        ASSERT_EQ(link.FoundDeviceCount(), 1);
    }

    void enterFlashMode() {
        reopen(0x80);
        ASSERT_TRUE(link.VendorHandshake(true));
        link.RequestFlashMode();
        link.CloseAllHandles();
        link.WaitWithMessages(kModeSwitchWaitMs);
        reopen(0xDB);
        ASSERT_EQ(device->mode(), sim::Mode::Flash);
    }

    std::vector<std::string> failureLines() const {
        std::vector<std::string> out;
        for (const auto& line : window.memo2.lines()) {
            if (line.rfind("failed HidD_", 0) == 0) out.push_back(line);
        }
        return out;
    }
};

TEST_F(DeviceLinkSimTest, HandshakeOpensAndClosesTheVendorSession) {
    reopen(0x80);
    EXPECT_TRUE(link.VendorHandshake(true));
    EXPECT_TRUE(device->vendorSessionOpen());
    EXPECT_TRUE(link.VendorHandshake(false));
    EXPECT_FALSE(device->vendorSessionOpen());
    EXPECT_TRUE(failureLines().empty());
}

TEST_F(DeviceLinkSimTest, ReadsTheVersionTextAndTheChipClassFromTheRunningFirmware) {
    reopen(0x80);
    std::array<std::uint8_t, 32> text{};
    ASSERT_TRUE(link.ReadMemory(0x3100, 32, text));
    const auto flash = device->chip().flash();
    EXPECT_TRUE(std::equal(text.begin(), text.end(), flash.begin() + 0x3100));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(text.data())), "OEM V1.00");
    EXPECT_EQ(link.ReadChipClass(1), 1);
}

TEST_F(DeviceLinkSimTest, ParameterAreaWritesStoreAndReadBack) {
    reopen(0x80);
    const ParameterArea area = link.QueryParameterArea(0);
    const auto& layout = device->chip().parameterLayout();
    EXPECT_EQ(area.workBufferAddress, layout.workBufferAddress);
    EXPECT_EQ(area.storedCopyAddress, layout.storedCopyAddress);
    EXPECT_EQ(area.size, layout.size);

    for (std::uint8_t i = 0; i < 4; ++i) ASSERT_TRUE(link.WriteMemoryByte(area.workBufferAddress + i, 0xA0 + i));
    const ParameterArea stored = link.QueryParameterArea(1);
    for (std::uint8_t i = 0; i < 4; ++i) {
        std::uint8_t value = 0;
        ASSERT_TRUE(link.ReadMemoryByte(stored.storedCopyAddress + i, value));
        EXPECT_EQ(value, 0xA0 + i);
    }
}

TEST_F(DeviceLinkSimTest, SwitchesToTheLoaderProgramsAPageAndComesBack) {
    enterFlashMode();
    EXPECT_EQ(link.ReadChipClass(2), 1);

    std::vector<std::uint8_t> page(1500);
    for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::uint8_t>(i * 13 + 5);
    link.EraseFlash(0x4000, 2);
    link.WriteFlash(0x4000, static_cast<int>(page.size()), page);
    std::vector<std::uint8_t> back(page.size());
    link.ReadFlash(0x4000, static_cast<int>(back.size()), back);
    EXPECT_EQ(back, page);
    const auto flash = device->chip().flash();
    EXPECT_TRUE(std::all_of(flash.begin() + 0x4000 + 1500, flash.begin() + 0x4800, [](auto b) { return b == 0xFF; }));

    ASSERT_TRUE(link.ExitFlashMode());
    link.CloseAllHandles();
    link.WaitWithMessages(kModeSwitchWaitMs);
    reopen(0x80);
    EXPECT_EQ(device->mode(), sim::Mode::Normal);
    EXPECT_TRUE(failureLines().empty());
}

TEST_F(DeviceLinkSimTest, RemovalAndRescanBringTheDeviceBack) {
    EXPECT_EQ(tree.ReadDeviceRevision(options.MAIN_HWID), 0x0102u);
    window.memo1.clear();
    tree.RemoveDevicesByHardwareId(options.MAIN_HWID);
    EXPECT_THAT(window.memo1.lines(),
                ::testing::ElementsAre("Found! [" + options.MAIN_HWID + "] ,and remove it form Device Manager.\n"));
    link.OpenMatchingDevices(kPageFF5C, 0x80);
    EXPECT_EQ(link.FoundDeviceCount(), 0);

    tree.RescanDevices();
    link.WaitWithMessages(kModeSwitchWaitMs);
    reopen(0x80);
    EXPECT_EQ(window.memo1.lines().back(), "Rescan Device Manager!");
}

TEST_F(DeviceLinkSimTest, AGoneDeviceFailsWithTheSystemErrorAndAnEmptySlotGivesUpAtOnce) {
    enterFlashMode();
    link.CloseAllHandles();
    std::array<std::uint8_t, 3> id{};
    const auto before = loop.sleptMilliseconds();
    EXPECT_FALSE(link.ReadBootMemory(0xF02000, id));
    EXPECT_EQ(failureLines(), std::vector<std::string>(10, "failed HidD_SetFeature - 6"));
    EXPECT_EQ(loop.sleptMilliseconds() - before, 1000u);
}

} // namespace
} // namespace qv
