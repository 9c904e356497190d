// The image checksum on hand-built bytes and on images from the maker. The
// expected regions and word positions are written out here as the file
// format defines them, so the rule table, the routine and the maker are each
// checked against the format rather than against one another.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "image_format/image_layout.h"
#include "platform/sim/image_maker.h"

namespace qv {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint16_t check(const Bytes& image, std::uint32_t start, std::uint32_t end, std::uint32_t high, bool negate) {
    return ImageChecksum(image, start, end, high, high + 1, negate);
}

// Region 0x00..0xFF of ones with the word at 0xFE/0xFF: 16 skipped bytes,
// 238 ones and the word counted as 2 x 0xFF give 0x2EC.
Bytes onesWithWord(std::uint16_t word) {
    Bytes image(0x100, 0x01);
    image[0xFE] = static_cast<std::uint8_t>(word >> 8);
    image[0xFF] = static_cast<std::uint8_t>(word & 0xFF);
    return image;
}

TEST(ImageChecksum, ComplementAndEqualRulesOnAHandBuiltRegion) {
    EXPECT_EQ(check(onesWithWord(0xFD14), 0, 0x100, 0xFE, false), 0);  // 0x2EC + 0xFD14 = 0x10000
    EXPECT_EQ(check(onesWithWord(0x02EC), 0, 0x100, 0xFE, true), 0);   // word equals the sum
    EXPECT_EQ(check(onesWithWord(0x02EC), 0, 0x100, 0xFE, false), 0x05D8);
    EXPECT_EQ(check(onesWithWord(0xFD14), 0, 0x100, 0xFE, true), 0x05D8);
    // Word stored low byte first is not accepted.
    EXPECT_NE(check(onesWithWord(0x14FD), 0, 0x100, 0xFE, false), 0);
}

TEST(ImageChecksum, SkippedBytesAndWordBytesDoNotCountWithTheirValues) {
    Bytes image = onesWithWord(0xFD14);
    for (std::size_t i = 0x80; i <= 0x8F; ++i) {
        image[i] = static_cast<std::uint8_t>(0x37 * i);
    }
    EXPECT_EQ(check(image, 0, 0x100, 0xFE, false), 0);
    image[0x7F] = 0x02;  // just before the skipped range
    EXPECT_EQ(check(image, 0, 0x100, 0xFE, false), 1);
    image[0x7F] = 0x01;
    image[0x90] = 0x00;  // just after it
    EXPECT_EQ(check(image, 0, 0x100, 0xFE, false), 0xFFFF);
}

TEST(ImageChecksum, VersionSlotCountsAsErasedWhateverItHolds) {
    auto image = sim::makeFirmwareImage({.kind = sim::ImageKind::Layout126K, .version = "FW 1.2"});
    ASSERT_EQ(image.size(), 0x1F800u);
    for (std::size_t i = 0x1F7E0; i <= 0x1F7EF; ++i) {
        EXPECT_EQ(image[i], 0xFF);
        image[i] = static_cast<std::uint8_t>(i);
    }
    EXPECT_EQ(check(image, 0x2000, 0x1F800, 0x1F7FE, false), 0);
    image[0x1F7DF] ^= 0x01;  // the byte before the slot counts
    EXPECT_NE(check(image, 0x2000, 0x1F800, 0x1F7FE, false), 0);
    image[0x1F7DF] ^= 0x01;
    image[0x1F7F0] ^= 0x01;  // and the byte after it
    EXPECT_NE(check(image, 0x2000, 0x1F800, 0x1F7FE, false), 0);
}

TEST(ImageChecksum, A128KiBFileIsCheckedOver126KiB) {
    auto image = sim::makeFirmwareImage({.kind = sim::ImageKind::Layout126K, .length = 0x20000});
    ASSERT_EQ(image.size(), 0x20000u);
    EXPECT_EQ(check(image, 0x2000, 0x1F800, 0x1F7FE, false), 0);
    for (std::size_t i = 0x1F800; i < 0x20000; i += 0x3F) {
        image[i] = static_cast<std::uint8_t>(~image[i]);
    }
    EXPECT_EQ(check(image, 0x2000, 0x1F800, 0x1F7FE, false), 0);
    image[0x2000] ^= 0x40;  // first byte of the region
    EXPECT_NE(check(image, 0x2000, 0x1F800, 0x1F7FE, false), 0);
}

TEST(ImageChecksum, SmallImageRegionDependsOnTheChipClass) {
    // Made for chip class 0: bytes 0x400..0x1FFF are outside the region.
    auto forClass0 = sim::makeFirmwareImage({.kind = sim::ImageKind::Small, .length = 0x8000});
    EXPECT_EQ(check(forClass0, 0x2000, 0x8000, 0x7FFE, true), 0);
    forClass0[0x400] ^= 0x01;
    forClass0[0x1FFF] ^= 0x80;
    EXPECT_EQ(check(forClass0, 0x2000, 0x8000, 0x7FFE, true), 0);

    // Made for a nonzero chip class: the same bytes count.
    auto forClass1 = sim::makeFirmwareImage({.kind = sim::ImageKind::Small, .length = 0x8000, .regionStart = 0x400});
    EXPECT_EQ(check(forClass1, 0x400, 0x8000, 0x7FFE, true), 0);
    forClass1[0x400] ^= 0x01;
    EXPECT_NE(check(forClass1, 0x400, 0x8000, 0x7FFE, true), 0);
}

TEST(ImageChecksum, The54KiBImageKeepsItsWordMidFileAndSumsToTheEnd) {
    auto image = sim::makeFirmwareImage({.kind = sim::ImageKind::Small, .length = 0xD800});
    ASSERT_EQ(image.size(), 0xD800u);
    EXPECT_EQ(check(image, 0x2000, 0xD800, 0x7FFE, true), 0);
    EXPECT_NE(check(image, 0x2000, 0xD800, 0xD7FE, true), 0);  // not at the file's end
    image[0xD7FF] ^= 0x01;
    EXPECT_NE(check(image, 0x2000, 0xD800, 0x7FFE, true), 0);
}

TEST(ImageChecksum, NeverReadsPastTheImage) {
    const auto full = sim::makeFirmwareImage({.kind = sim::ImageKind::Layout126K});
    // A region that runs past the end cannot be verified: never 0, whatever
    // the present bytes hold, and nothing beyond the end is read.
    for (const std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{0x2000}, std::size_t{0x1F7FF}}) {
        const Bytes truncated(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_NE(check(truncated, 0x2000, 0x1F800, 0x1F7FE, false), 0) << length;
        EXPECT_NE(check(truncated, 0x2000, 0x1F800, 0x1F7FE, true), 0) << length;
    }
    // An empty region reads nothing and sums to 0.
    EXPECT_EQ(check(Bytes{}, 0x2000, 0x2000, 0x1FFE, false), 0);
    EXPECT_EQ(check(Bytes(0x10, 0xAA), 0x2000, 0x400, 0x3FE, false), 0);
}

struct RuleCase {
    std::uint64_t length;
    std::optional<ChecksumRule> expected;
};

void expectRule(const std::optional<ChecksumRule>& actual, const std::optional<ChecksumRule>& expected,
                std::uint64_t length) {
    ASSERT_EQ(actual.has_value(), expected.has_value()) << std::hex << length;
    if (expected) {
        EXPECT_EQ(actual->start, expected->start) << std::hex << length;
        EXPECT_EQ(actual->end, expected->end) << std::hex << length;
        EXPECT_EQ(actual->highBytePosition, expected->highBytePosition) << std::hex << length;
        EXPECT_EQ(actual->lowBytePosition, expected->lowBytePosition) << std::hex << length;
        EXPECT_EQ(actual->negate, expected->negate) << std::hex << length;
    }
}

TEST(ImageRules, LargeLayoutsByLength) {
    const ChecksumRule k126{0x2000, 0x1F800, 0x1F7FE, 0x1F7FF, false};
    const ChecksumRule k190{0x2000, 0x2F800, 0x2F7FE, 0x2F7FF, false};
    const RuleCase cases[] = {
        {0x1F7FF, std::nullopt}, {0x1F800, k126}, {0x1FC00, k126}, {0x20000, k126},
        {0x20001, std::nullopt}, {0x2F7FF, std::nullopt}, {0x2F800, k190}, {0x30000, k190},
        {0x30001, std::nullopt}, {0x400, std::nullopt}, {0, std::nullopt},
    };
    for (const auto& c : cases) {
        expectRule(largeLayoutRule(c.length), c.expected, c.length);
    }
}

TEST(ImageRules, SizedImagesByTheConfiguredKiB) {
    struct SizedCase {
        std::uint64_t length;
        std::int32_t kib;
        std::optional<ChecksumRule> expected;
    };
    const SizedCase cases[] = {
        {0x10000, 64, ChecksumRule{0x2000, 0x10000, 0xFFFE, 0xFFFF, false}},
        {0x10000, 126, std::nullopt},
        {0x1F800, 126, ChecksumRule{0x2000, 0x1F800, 0x1F7FE, 0x1F7FF, false}},
        {0x2400, 9, ChecksumRule{0x2000, 0x2400, 0x23FE, 0x23FF, false}},
        // A region from 0x2000 cannot hold a word at or below 8 KiB.
        {0x2000, 8, std::nullopt},
        {0x400, 1, std::nullopt},
        {0, 0, std::nullopt},
        {0, -1, std::nullopt},
        // 4194368 x 1024 wraps to 0x10000 in 32 bits; it is no 64 KiB rule.
        {0x10000, 4194368, std::nullopt},
        {0x10000, std::numeric_limits<std::int32_t>::max(), std::nullopt},
    };
    for (const auto& c : cases) {
        expectRule(sizedImageRule(c.length, c.kib), c.expected, c.length);
    }
}

TEST(ImageRules, SmallImagesByLengthAndChipClass) {
    const std::uint64_t lengths[] = {0x7C00, 0xDC00, 0x8000, 0xD400, 0xD800, 0xE000, 0x1DC00, 0x1E000};
    for (const auto length : lengths) {
        const std::uint32_t high = (length == 0x7C00 || length == 0xDC00) ? 0x7BFE : 0x7FFE;
        const auto end = static_cast<std::uint32_t>(length);
        EXPECT_TRUE(isSmallImageLength(length));
        expectRule(smallImageRule(length, 0), ChecksumRule{0x2000, end, high, high + 1, true}, length);
        for (const int chipClass : {1, 2, 3}) {
            expectRule(smallImageRule(length, chipClass), ChecksumRule{0x400, end, high, high + 1, true}, length);
        }
    }
    for (const std::uint64_t other : {0x7800ull, 0x8400ull, 0x10000ull, 0x1F800ull, 0x400ull}) {
        EXPECT_FALSE(isSmallImageLength(other));
        expectRule(smallImageRule(other, 0), std::nullopt, other);
    }
}

// Every kind the maker makes passes the rule the format gives it, and a
// changed byte inside the region is caught.
TEST(ImageChecksum, MakerAndChecksumAgreeForEveryKind) {
    struct KindCase {
        sim::ImageSpec spec;
        ChecksumRule rule;
    };
    std::vector<KindCase> cases = {
        {{.kind = sim::ImageKind::Layout126K}, {0x2000, 0x1F800, 0x1F7FE, 0x1F7FF, false}},
        {{.kind = sim::ImageKind::Layout126K, .length = 0x1FC00}, {0x2000, 0x1F800, 0x1F7FE, 0x1F7FF, false}},
        {{.kind = sim::ImageKind::Layout126K, .length = 0x20000}, {0x2000, 0x1F800, 0x1F7FE, 0x1F7FF, false}},
        {{.kind = sim::ImageKind::Layout190K}, {0x2000, 0x2F800, 0x2F7FE, 0x2F7FF, false}},
        {{.kind = sim::ImageKind::Layout190K, .length = 0x30000}, {0x2000, 0x2F800, 0x2F7FE, 0x2F7FF, false}},
        {{.kind = sim::ImageKind::Sized, .kib = 9}, {0x2000, 0x2400, 0x23FE, 0x23FF, false}},
        {{.kind = sim::ImageKind::Sized, .kib = 32}, {0x2000, 0x8000, 0x7FFE, 0x7FFF, false}},
        {{.kind = sim::ImageKind::Sized, .kib = 64}, {0x2000, 0x10000, 0xFFFE, 0xFFFF, false}},
        {{.kind = sim::ImageKind::Sized, .kib = 127}, {0x2000, 0x1FC00, 0x1FBFE, 0x1FBFF, false}},
        {{.kind = sim::ImageKind::Sized, .kib = 200}, {0x2000, 0x32000, 0x31FFE, 0x31FFF, false}},
    };
    const std::size_t smallLengths[] = {0x7C00, 0xDC00, 0x8000, 0xD400, 0xD800, 0xE000, 0x1DC00, 0x1E000};
    for (const std::size_t length : smallLengths) {
        const std::uint32_t high = (length == 0x7C00 || length == 0xDC00) ? 0x7BFE : 0x7FFE;
        for (const std::uint32_t start : {0x2000u, 0x400u}) {
            cases.push_back({{.kind = sim::ImageKind::Small, .length = length, .regionStart = start},
                             {start, static_cast<std::uint32_t>(length), high, high + 1, true}});
        }
    }
    for (auto& c : cases) {
        c.spec.version = "V2.0.1";
        if (c.spec.kind != sim::ImageKind::Sized || c.spec.kib >= 32) {  // long enough for these
            c.spec.oemVersion = "OEM-2024-01";
            c.spec.blankPages = {20, 21};
        }
        auto image = sim::makeFirmwareImage(c.spec);
        const std::string name = "kind " + std::to_string(static_cast<int>(c.spec.kind)) + " length " +
                                 std::to_string(image.size());
        ASSERT_FALSE(image.empty()) << sim::imageSpecProblem(c.spec);
        EXPECT_EQ(ImageChecksum(image, c.rule), 0) << name;
        // The same rule under the other sense fails (sums are not 0 or 0x8000).
        ChecksumRule otherSense = c.rule;
        otherSense.negate = !otherSense.negate;
        EXPECT_NE(ImageChecksum(image, otherSense), 0) << name;
        for (const std::uint32_t at : {c.rule.start, (c.rule.start + c.rule.end) / 2, c.rule.end - 3, c.rule.lowBytePosition}) {
            image[at] = static_cast<std::uint8_t>(image[at] + 1);
            EXPECT_NE(ImageChecksum(image, c.rule), 0) << name << " byte " << at;
            image[at] = static_cast<std::uint8_t>(image[at] - 1);
        }
    }
}

} // namespace
} // namespace qv
