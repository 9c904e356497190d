// The image maker: the fields it places, its determinism and the specs it
// refuses. Checksums are covered in image_checksum_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "image_format/image_layout.h"
#include "platform/sim/image_maker.h"

namespace qv::sim {
namespace {

bool pageIsBlank(const std::vector<std::uint8_t>& bytes, std::size_t page) {
    const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(page * 1024);
    return std::all_of(first, first + 1024, [](std::uint8_t b) { return b == 0xFF; });
}

TEST(ImageMaker, DefaultPreloadAreaIsFixedAndCarriesTheMarkers) {
    const auto preload = defaultPreloadArea();
    ASSERT_EQ(preload.size(), 0x2000u);
    EXPECT_EQ(preload, defaultPreloadArea());
    EXPECT_EQ(preload[0x23], 0x3A);
    EXPECT_EQ(preload[0x47] & 0x10, 0x10);  // internal clock
    EXPECT_EQ(preload[0x87] & 0x10, 0x10);
    for (std::size_t page = 0; page < 8; ++page) {
        EXPECT_FALSE(pageIsBlank(preload, page)) << page;
    }
    // Not a constant fill: the IVT area holds varied bytes.
    EXPECT_GT(std::count_if(preload.begin() + 4, preload.begin() + 0x800, [&](std::uint8_t b) { return b != preload[4]; }),
              1000);
}

TEST(ImageMaker, CodeImagesStartWithThePreloadAreaAndCarryTheFields) {
    const auto image = makeFirmwareImage({.kind = ImageKind::Layout126K,
                                          .version = "FW-1.2.3",
                                          .oemVersion = "OEM 7.7",
                                          .preloadVersion = "PL 0.9"});
    ASSERT_EQ(image.size(), 0x1F800u);
    const auto preload = defaultPreloadArea();
    for (std::size_t at = 0; at < 0x2000; ++at) {
        const bool field = (at >= 0x50 && at < 0x60) || (at >= 0x90 && at < 0xA0);
        if (!field) {
            ASSERT_EQ(image[at], preload[at]) << at;
        }
    }
    EXPECT_EQ(fieldText(image, 0x90, 16), "FW-1.2.3");
    EXPECT_EQ(fieldText(image, 0x3100, 32), "OEM 7.7");
    EXPECT_EQ(fieldText(image, 0x50, 16), "PL 0.9");
    EXPECT_TRUE(std::all_of(image.begin() + 0x1F7E0, image.begin() + 0x1F7F0, [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(image, makeFirmwareImage({.kind = ImageKind::Layout126K,
                                        .version = "FW-1.2.3",
                                        .oemVersion = "OEM 7.7",
                                        .preloadVersion = "PL 0.9"}));
}

TEST(ImageMaker, FullWidthTextsHaveNoTerminator) {
    const auto image = makeFirmwareImage({.kind = ImageKind::Small,
                                          .length = 0x8000,
                                          .version = "0123456789ABCDEF",
                                          .oemVersion = "0123456789abcdef0123456789ABCDEF"});
    EXPECT_EQ(image[0x9F], 'F');
    EXPECT_EQ(image[0x311F], 'F');
    EXPECT_EQ(fieldText(image, 0x90, 16), "0123456789ABCDEF");
    EXPECT_EQ(fieldText(image, 0x3100, 32), "0123456789abcdef0123456789ABCDEF");
}

TEST(ImageMaker, FieldPaddingFollowsEachTerminator) {
    const auto image = makeFirmwareImage({.kind = ImageKind::Layout126K,
                                          .version = "FW 1",
                                          .oemVersion = "0123456789abcdef0123456789ABCDEF",
                                          .fieldPadding = 0xFF});
    const std::vector<std::uint8_t> version(image.begin() + 0x90, image.begin() + 0xA0);
    std::vector<std::uint8_t> expected = {'F', 'W', ' ', '1', 0x00};
    expected.resize(16, 0xFF);
    EXPECT_EQ(version, expected);
    // No text: a zero field, as the default preload area has it.
    EXPECT_EQ(std::vector<std::uint8_t>(image.begin() + 0x50, image.begin() + 0x60), std::vector<std::uint8_t>(16, 0));
    EXPECT_EQ(fieldText(image, 0x3100, 32), "0123456789abcdef0123456789ABCDEF");  // full: no terminator
    EXPECT_EQ(image[0x3120], makeFirmwareImage({.kind = ImageKind::Layout126K})[0x3120]);
    EXPECT_EQ(ImageChecksum(image, 0x2000, 0x1F800, 0x1F7FE, 0x1F7FF, false), 0);
    EXPECT_NE(imageSpecProblem({.kind = ImageKind::CodePatch, .fieldPadding = 0xFF}), "");
}

TEST(ImageMaker, ClockMarkerSeedAndBlankPages) {
    const auto external = makeFirmwareImage({.kind = ImageKind::Layout190K,
                                             .clock = ClockSource::External,
                                             .ivtMarker = 0x3C,
                                             .blankPages = {9, 100, 189}});
    ASSERT_EQ(external.size(), 0x2F800u);
    EXPECT_EQ(external[0x47] & 0x10, 0);
    EXPECT_EQ(external[0x87] & 0x10, 0);
    EXPECT_EQ(external[0x23], 0x3C);
    EXPECT_TRUE(pageIsBlank(external, 9));
    EXPECT_TRUE(pageIsBlank(external, 100));
    EXPECT_FALSE(pageIsBlank(external, 189));  // holds the checksum word
    EXPECT_FALSE(pageIsBlank(external, 10));
    const auto otherSeed = makeFirmwareImage({.kind = ImageKind::Layout190K, .seed = 2});
    const auto firstSeed = makeFirmwareImage({.kind = ImageKind::Layout190K});
    EXPECT_NE(otherSeed, firstSeed);
    EXPECT_TRUE(std::equal(otherSeed.begin(), otherSeed.begin() + 0x2000, firstSeed.begin()));
}

TEST(ImageMaker, AnImageShorterThanTheOemFieldKeepsItsLength) {
    const auto image = makeFirmwareImage({.kind = ImageKind::Sized, .kib = 9, .version = "V9"});
    ASSERT_EQ(image.size(), 0x2400u);
    EXPECT_EQ(fieldText(image, 0x90, 16), "V9");
    EXPECT_EQ(ImageChecksum(image, 0x2000, 0x2400, 0x23FE, 0x23FF, false), 0);
}

TEST(ImageMaker, OneKiBFiles) {
    const auto patch = makeFirmwareImage({.kind = ImageKind::CodePatch});
    ASSERT_EQ(patch.size(), 0x400u);
    EXPECT_EQ(std::vector<std::uint8_t>(patch.begin(), patch.begin() + 6),
              (std::vector<std::uint8_t>{0x10, 0x6D, 0x00, 0x04, 0x00, 0x10}));

    const auto shortPatch = makeFirmwareImage({.kind = ImageKind::CodePatch, .dataLength = 0x20, .address = 0x1234});
    EXPECT_EQ(std::vector<std::uint8_t>(shortPatch.begin(), shortPatch.begin() + 6),
              (std::vector<std::uint8_t>{0x10, 0x6D, 0x20, 0x00, 0x34, 0x12}));
    EXPECT_TRUE(std::all_of(shortPatch.begin() + 0x20, shortPatch.end(), [](std::uint8_t b) { return b == 0xFF; }));

    const auto parameters = makeFirmwareImage({.kind = ImageKind::ParameterFile});
    EXPECT_EQ(std::vector<std::uint8_t>(parameters.begin(), parameters.begin() + 4),
              (std::vector<std::uint8_t>{0x80, 0x5C, 0x80, 0x00}));
    const auto oversize = makeFirmwareImage({.kind = ImageKind::ParameterFile, .dataLength = 0x180});
    EXPECT_EQ(oversize[2], 0x80);
    EXPECT_EQ(oversize[3], 0x01);

    const auto direct = makeFirmwareImage({.kind = ImageKind::DirectWrite});
    EXPECT_EQ(std::vector<std::uint8_t>(direct.begin(), direct.begin() + 6),
              (std::vector<std::uint8_t>{0x10, 0x6D, 0x40, 0x00, 0x00, 0x08}));
}

TEST(ImageMaker, RefusesWhatCannotBeMade) {
    const ImageSpec refused[] = {
        {.kind = ImageKind::Layout126K, .length = 0x1F7FF},
        {.kind = ImageKind::Layout126K, .length = 0x20001},
        {.kind = ImageKind::Layout190K, .length = 0x20000},
        {.kind = ImageKind::Sized, .kib = 8},
        {.kind = ImageKind::Sized, .length = 0x8001, .kib = 32},
        {.kind = ImageKind::Small},
        {.kind = ImageKind::Small, .length = 0x9000},
        {.kind = ImageKind::Small, .length = 0x8000, .regionStart = 0x800},
        {.kind = ImageKind::Layout126K, .version = "seventeen chars.."},
        {.kind = ImageKind::Layout126K, .oemVersion = std::string(33, 'x')},
        {.kind = ImageKind::Layout126K, .preloadVersion = std::string(17, 'x')},
        {.kind = ImageKind::Layout126K, .blankPages = {126}},
        {.kind = ImageKind::CodePatch, .length = 0x800},
        {.kind = ImageKind::ParameterFile, .version = "x"},
        {.kind = ImageKind::Sized, .kib = 12, .oemVersion = "OEM"},  // ends before 0x3100
    };
    for (const auto& spec : refused) {
        EXPECT_FALSE(imageSpecProblem(spec).empty()) << static_cast<int>(spec.kind) << " " << spec.length;
        EXPECT_TRUE(makeFirmwareImage(spec).empty());
    }
}

} // namespace
} // namespace qv::sim
