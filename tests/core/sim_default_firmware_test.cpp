// The flash a simulated device starts with: images the image tool makes with
// its default options must pass the updater's checks against it.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/sim/default_firmware.h"
#include "platform/sim/image_maker.h"
#include "sim_test_support.h"

namespace qv::sim::testing {
namespace {

TEST(SimDefaultFirmware, MatchesTheImageToolsPreloadArea) {
    // The clock and interrupt-vector checks apply to the FF5C and FF7A families.
    for (const Family family : {Family::FF5C, Family::FF7A}) {
        const auto flash = defaultFirmwareFlash(family);
        for (const auto kind : {ImageKind::Layout126K, ImageKind::Layout190K}) {
            ImageSpec spec;
            spec.kind = kind;
            const auto image = makeFirmwareImage(spec);
            ASSERT_FALSE(image.empty());
            for (std::size_t i = 4; i < 0x800; ++i) {
                const bool skipped = i == 0x1D || i == 0x1E || i == 0x1F || i == 0x87 || i == 0x8D ||
                                     (i >= 0x90 && i < 0xA0);
                if (!skipped) {
                    ASSERT_EQ(image[i], flash[i]) << familyTraits(family).name << " offset " << i;
                }
            }
            EXPECT_EQ(image[0x87] & 0x10, flash[0x87] & 0x10);
        }
    }
    for (const Family family : {Family::FF5C, Family::FF7A, Family::FF6D, Family::FF4E}) {
        const auto flash = defaultFirmwareFlash(family);
        ASSERT_EQ(flash.size(), 192u * 1024);
        EXPECT_NE(flash[0x47] & 0x10, 0) << "internal clock";
        std::vector<std::uint8_t> firstFirmwarePage(flash.begin() + 0x2000, flash.begin() + 0x2400);
        EXPECT_NE(firstFirmwarePage, std::vector<std::uint8_t>(1024, 0xFF)) << "the firmware is intact";
    }
}

TEST_F(SimHubTest, DefaultFirmwareReportsItsVersions) {
    hub.addDevice();
    const HidHandle h = openCollection(0xFF5C, 0x80);
    const FeatureReport oem = ask(h, report({0x5A, 0x05, 0x00, 0x31, 0x00, 10}));
    EXPECT_EQ(std::strncmp(reinterpret_cast<const char*>(oem.data() + 6), "OEM V1.00", 10), 0);
    const FeatureReport slot = ask(h, report({0x5A, 0x05, 0xE0, 0xF7, 0x01, 6}));
    EXPECT_EQ(std::strncmp(reinterpret_cast<const char*>(slot.data() + 6), "V1.00", 6), 0);
    const FeatureReport preload = ask(h, report({0x5A, 0x05, 0x90, 0x00, 0x00, 10}));
    EXPECT_EQ(std::strncmp(reinterpret_cast<const char*>(preload.data() + 6), "PRELOAD 1.", 10), 0);
}

TEST(SimDefaultFirmware, WholeFlashFamiliesKeepTheirVersionAtTheOemField) {
    const auto flash = defaultFirmwareFlash(Family::FF4E);
    EXPECT_EQ(std::strcmp(reinterpret_cast<const char*>(flash.data() + 0x3100), "V1.00"), 0);
    EXPECT_EQ(std::strcmp(reinterpret_cast<const char*>(flash.data() + 0x50), "PRELOAD 1.00"), 0);
}

} // namespace
} // namespace qv::sim::testing
