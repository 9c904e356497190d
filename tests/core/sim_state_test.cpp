// The simulation folder: device.ini settings, flash.bin, eflash.bin.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/sim/default_firmware.h"
#include "platform/sim/sim_state.h"
#include "sim_test_support.h"

namespace qv::sim::testing {
namespace {

namespace fs = std::filesystem;

TEST(SimDeviceIni, DefaultsWithoutAnyKey) {
    std::string error;
    const auto setup = parseDeviceIni("", error);
    ASSERT_TRUE(setup) << error;
    EXPECT_EQ(setup->device.family, Family::FF5C);
    EXPECT_EQ(setup->device.mode, Mode::Normal);
    EXPECT_TRUE(setup->device.attached);
    EXPECT_EQ(setup->device.chipId, (ChipId{0, 0, 0}));
    EXPECT_EQ(setup->device.revision, 0x0102);
    EXPECT_EQ(setup->device.firmware.handshakeReportId, 0x5A);
    EXPECT_EQ(setup->latencyMs, 0u);
    EXPECT_EQ(setup->faults.failNextExchanges, 0u);
}

TEST(SimDeviceIni, ReadsEveryKey) {
    const std::string text =
        "[DEVICE]\n"
        "FAMILY = 6d\nMODE=Flash\nCHIPID= 6D 1A 03\nREVISION=0215\nNORMALPID=6D11\nLOADERPID=6DDC\n"
        "LOADERUSAGE=DD\nREPORTID=07\nHANDSHAKE=always\nWORKBUFFER=00E000\nEFLASH=01F000\nPARAMSIZE=200\n"
        "REENUMMS=2500\nLATENCYMS=2\n"
        "[FAULTS]\n"
        "SEED=77\nFAILNEXT=3\nFAILPROBABILITY=0.05\nDISCONNECTAT=40\nPOWERLOSSAT=50\nPOWEROFFMS=900\n"
        "WRONGADDRESSECHOES=2\nNOHANDSHAKEECHO=1\nWRONGSUMONPAGE=4\nREADBACKBITFLIPS=5\nREADBACKFLIPPROBABILITY=0.5\n"
        "REFUSEMODESWITCH=1\nEXTRAREENUMMS=3000\nFLICKER=1\nFLICKERMS=150\n";
    std::string error;
    const auto setup = parseDeviceIni(text, error);
    ASSERT_TRUE(setup) << error;
    const DeviceConfig& d = setup->device;
    EXPECT_EQ(d.family, Family::FF6D);
    EXPECT_EQ(d.mode, Mode::Flash);
    EXPECT_EQ(d.chipId, (ChipId{0x6D, 0x1A, 0x03}));
    EXPECT_EQ(d.revision, 0x0215);
    EXPECT_EQ(d.normalProductId, 0x6D11);
    EXPECT_EQ(d.loaderProductId, 0x6DDC);
    EXPECT_EQ(d.loaderUsage, 0xDD);
    EXPECT_EQ(d.firmware.handshakeReportId, 0x07);
    EXPECT_EQ(d.firmware.handshakeStyle, HandshakeStyle::AlwaysEcho);
    EXPECT_EQ(d.parameters.workBufferAddress, 0x00E000u);
    EXPECT_EQ(d.parameters.storedCopyAddress, 0x01F000u);
    EXPECT_EQ(d.parameters.size, 200);
    EXPECT_EQ(d.reenumerationDelayMs, 2500u);
    EXPECT_EQ(setup->latencyMs, 2u);
    const FaultPlan& f = setup->faults;
    EXPECT_EQ(setup->seed, 77u);
    EXPECT_EQ(f.failNextExchanges, 3u);
    EXPECT_DOUBLE_EQ(f.failProbability, 0.05);
    EXPECT_EQ(f.disconnectAtExchange, 40u);
    EXPECT_EQ(f.powerLossAtExchange, 50u);
    EXPECT_EQ(f.powerOffMs, 900u);
    EXPECT_EQ(f.wrongAddressEchoes, 2u);
    EXPECT_TRUE(f.noHandshakeEcho);
    EXPECT_EQ(f.wrongSumOnPage, 4u);
    EXPECT_EQ(f.readBackBitFlips, 5u);
    EXPECT_DOUBLE_EQ(f.readBackFlipProbability, 0.5);
    EXPECT_TRUE(f.refuseModeSwitch);
    EXPECT_EQ(f.extraReenumerationMs, 3000u);
    EXPECT_TRUE(f.flickerReenumeration);
    EXPECT_EQ(f.flickerMs, 150u);
}

TEST(SimDeviceIni, RefusesUnusableValues) {
    const char* cases[] = {
        "[DEVICE]\nFAMILY=5D\n",       "[DEVICE]\nMODE=loader\n",     "[DEVICE]\nCHIPID=00 00\n",
        "[DEVICE]\nCHIPID=00 00 00 00\n", "[DEVICE]\nCHIPID=100 0 0\n", "[DEVICE]\nREVISION=12345\n",
        "[DEVICE]\nREVISION=0x0102\n", "[DEVICE]\nPARAMSIZE=256\n",   "[DEVICE]\nWORKBUFFER=1000000\n",
        "[DEVICE]\nHANDSHAKE=maybe\n", "[DEVICE]\nREPORTID=-1\n",     "[FAULTS]\nFAILPROBABILITY=1.5\n",
        "[FAULTS]\nFAILPROBABILITY=x\n", "[FAULTS]\nFLICKER=2\n",      "[FAULTS]\nFAILNEXT=3 \xff\n",
    };
    for (const char* text : cases) {
        std::string error;
        EXPECT_FALSE(parseDeviceIni(text, error)) << text;
        EXPECT_NE(error.find("device.ini"), std::string::npos) << text;
    }
}

TEST(SimDeviceIni, ModeIsSetInPlace) {
    struct Case {
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"", "[DEVICE]\nMODE=flash\n"},
        {"[DEVICE]\nFAMILY=7A\nMODE=normal\nREVISION=0102\n", "[DEVICE]\nFAMILY=7A\nMODE=flash\nREVISION=0102\n"},
        {"[DEVICE]\nFAMILY=7A\n[FAULTS]\nFAILNEXT=1\n", "[DEVICE]\nFAMILY=7A\nMODE=flash\n[FAULTS]\nFAILNEXT=1\n"},
        {"[FAULTS]\nFAILNEXT=1\n", "[FAULTS]\nFAILNEXT=1\n[DEVICE]\nMODE=flash\n"},
        {"[FAULTS]\nMODE=normal\n[device]\n  mode = normal\n", "[FAULTS]\nMODE=normal\n[device]\nMODE=flash\n"},
        {"[DEVICE]\r\nMODE=normal\r\nFAMILY=5C", "[DEVICE]\r\nMODE=flash\r\nFAMILY=5C"},
        {"[DEVICE]\nFAMILY=5C", "[DEVICE]\nFAMILY=5C\nMODE=flash\n"},
    };
    for (const auto& c : cases) {
        const std::string after = withDeviceMode(c.before, "flash");
        EXPECT_EQ(after, c.after) << c.before;
        std::string error;
        const auto setup = parseDeviceIni(after, error);
        ASSERT_TRUE(setup) << error;
        EXPECT_EQ(setup->device.mode, Mode::Flash) << c.before;
    }
}

struct SimStateTest : ::testing::Test {
    fs::path dir;
    VirtualEventLoop loop;

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("qv_sim_state_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    void write(const char* name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    std::string read(const char* name) {
        std::ifstream file(dir / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
};

TEST_F(SimStateTest, EmptyFolderGivesTheDefaultDevice) {
    SimulatedHub hub(loop);
    std::string error;
    ASSERT_TRUE(loadSimulation(dir.string(), hub, error)) << error;
    ASSERT_EQ(hub.deviceCount(), 1u);
    SimulatedDevice& device = hub.device();
    EXPECT_EQ(device.mode(), Mode::Normal);
    EXPECT_TRUE(device.present());
    const auto expected = defaultFirmwareFlash(Family::FF5C);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), device.chip().flash().begin()));
    EXPECT_EQ(device.chip().storedParameters()[0], 0xFF);
}

TEST_F(SimStateTest, SaveAndLoadRoundTrip) {
    write("device.ini", "; my device\n[DEVICE]\nFAMILY=4E\nCHIPID=3D 95 01\nPARAMSIZE=16\n[FAULTS]\nFAILNEXT=0\n");
    std::string shortFlash(0x4000, '\x11');
    write("flash.bin", shortFlash);
    write("eflash.bin", "\x80\x5C\x10");
    {
        SimulatedHub hub(loop);
        std::string error;
        ASSERT_TRUE(loadSimulation(dir.string(), hub, error)) << error;
        SimulatedDevice& device = hub.device();
        EXPECT_EQ(device.config().family, Family::FF4E);
        EXPECT_EQ(device.chip().identification(), (ChipId{0x3D, 0x95, 0x01}));
        EXPECT_EQ(device.chip().flash()[0x3FFF], 0x11);
        EXPECT_EQ(device.chip().flash()[0x4000], 0xFF) << "the rest of the flash is erased";
        EXPECT_EQ(device.chip().storedParameters()[1], 0x5C);
        EXPECT_EQ(device.chip().storedParameters()[3], 0xFF);
        EXPECT_EQ(device.chip().workBuffer()[0], 0x80) << "the firmware loads its work buffer";

        // Left in the loader with one page changed.
        const HidHandle h = hub.open(*hub.interfacePath(0));
        std::uint32_t code = 0;
        ASSERT_TRUE(hub.setFeature(h, report({0x5A, 0x09}), code));
        device.chip().erasePages(0x8000, 1);
        ASSERT_TRUE(saveSimulation(dir.string(), hub, error)) << error;
    }
    EXPECT_EQ(read("flash.bin").size(), 192u * 1024);
    EXPECT_EQ(read("eflash.bin"), std::string("\x80\x5C\x10", 3) + std::string(13, '\xFF'));
    EXPECT_EQ(read("device.ini"),
              "; my device\n[DEVICE]\nFAMILY=4E\nCHIPID=3D 95 01\nPARAMSIZE=16\nMODE=flash\n[FAULTS]\nFAILNEXT=0\n");

    SimulatedHub hub(loop);
    std::string error;
    ASSERT_TRUE(loadSimulation(dir.string(), hub, error)) << error;
    SimulatedDevice& device = hub.device();
    EXPECT_EQ(device.mode(), Mode::Flash);
    const HidHandle h = hub.open(*hub.interfacePath(0));
    EXPECT_EQ(hub.collectionCaps(h)->usagePage, 0xFF4E);
    EXPECT_EQ(hub.collectionCaps(h)->usage, 0xDB);
    EXPECT_EQ(device.chip().flash()[0x7FFF], 0xFF);
    EXPECT_EQ(device.chip().flash()[0x3000], 0x11);
}

// A device removed from the device tree by a program that then died stays
// removed for the next program, until a rescan brings it back.
TEST_F(SimStateTest, ARemovedDeviceStaysRemovedAcrossPrograms) {
    write("device.ini", "[DEVICE]\nFAMILY=5C\n[HOST]\nPAUSEATREMOVAL=2\nPAUSEMS=500\n");
    {
        SimulatedHub hub(loop);
        std::string error;
        ASSERT_TRUE(loadSimulation(dir.string(), hub, error)) << error;
        EXPECT_EQ(hub.hostEvents().atRemoval, 2u);
        hub.device().removeFromTree();
        ASSERT_TRUE(saveSimulation(dir.string(), hub, error)) << error;
    }
    EXPECT_NE(read("device.ini").find("REMOVED=1\n"), std::string::npos) << read("device.ini");
    {
        SimulatedHub hub(loop);
        std::string error;
        ASSERT_TRUE(loadSimulation(dir.string(), hub, error)) << error;
        EXPECT_FALSE(hub.interfacePath(0)) << "the device came back without a rescan";
        EXPECT_EQ(hub.restoreStranded(), 1u);
        EXPECT_TRUE(hub.interfacePath(0));
        ASSERT_TRUE(saveSimulation(dir.string(), hub, error)) << error;
    }
    EXPECT_NE(read("device.ini").find("REMOVED=0\n"), std::string::npos) << read("device.ini");
}

TEST_F(SimStateTest, AbsentDeviceAndSettingsReachTheHub) {
    write("device.ini", "[DEVICE]\nMODE=absent\nLATENCYMS=4\n[FAULTS]\nFAILNEXT=2\n");
    SimulatedHub hub(loop);
    std::string error;
    ASSERT_TRUE(loadSimulation(dir.string(), hub, error)) << error;
    EXPECT_FALSE(hub.interfacePath(0));
    EXPECT_TRUE(hub.device().unplugged());
    EXPECT_EQ(hub.latency(), 4u);
    EXPECT_EQ(hub.device().faults().failNextExchanges, 2u);
    ASSERT_TRUE(saveSimulation(dir.string(), hub, error));
    EXPECT_NE(read("device.ini").find("MODE=absent"), std::string::npos);
    hub.device().plugIn();
    EXPECT_TRUE(hub.interfacePath(0));
}

TEST_F(SimStateTest, RefusesWhatDoesNotFit) {
    struct Case {
        const char* file;
        std::string content;
    };
    const Case cases[] = {
        {"flash.bin", std::string(192 * 1024 + 1, '\0')},
        {"eflash.bin", std::string(129, '\0')},
        {"device.ini", "[DEVICE]\nFAMILY=99\n"},
    };
    for (const auto& c : cases) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        write(c.file, c.content);
        SimulatedHub hub(loop);
        std::string error;
        EXPECT_FALSE(loadSimulation(dir.string(), hub, error)) << c.file;
        EXPECT_FALSE(error.empty()) << c.file;
        EXPECT_EQ(hub.deviceCount(), 0u) << c.file;
    }
    SimulatedHub hub(loop);
    std::string error;
    EXPECT_FALSE(saveSimulation(dir.string(), hub, error)) << "no device to save";
    hub.addDevice();
    EXPECT_FALSE(saveSimulation((dir / "missing" / "folder").string(), hub, error));
    EXPECT_NE(error.find("flash.bin"), std::string::npos);
}

} // namespace
} // namespace qv::sim::testing
