#include <gtest/gtest.h>

#include "platform/linux/hid_report_descriptor.h"
#include "test_report_descriptors.h"

namespace qv {
namespace {

using test::kBootKeyboard;
using test::kHubNumbered;
using test::kHubUnnumbered;
using test::kThreeCollections;

struct Expected {
    std::uint16_t usagePage;
    std::uint16_t usage;
    std::vector<std::uint8_t> reportIds;
};

void expectCollections(const std::vector<std::uint8_t>& descriptor, const std::vector<Expected>& expected) {
    const ReportDescriptorLayout layout = parseReportDescriptor(descriptor);
    ASSERT_TRUE(layout.ok()) << describe(layout.error);
    ASSERT_EQ(layout.collections.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("collection " + std::to_string(i));
        EXPECT_EQ(layout.collections[i].usagePage, expected[i].usagePage);
        EXPECT_EQ(layout.collections[i].usage, expected[i].usage);
        EXPECT_EQ(layout.collections[i].reportIds, expected[i].reportIds);
    }
}

TEST(ReportDescriptor, RealDevicesGiveTheirTopLevelCollections) {
    expectCollections(kHubUnnumbered, {{0xFF5C, 0x80, {}}});
    expectCollections(kHubNumbered, {{0xFF5C, 0x80, {0x5A, 0x5B}}});
    expectCollections(kBootKeyboard, {{0x0001, 0x0006, {}}});
    // The nested physical collection is not a top-level collection.
    expectCollections(kThreeCollections, {{0x0001, 0x0006, {1}}, {0x000C, 0x0001, {2}}, {0x0001, 0x0080, {3}}});
}

TEST(ReportDescriptor, UsageResolution) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> descriptor;
        std::uint16_t usagePage;
        std::uint16_t usage;
    };
    const std::vector<Case> cases = {
        {"extended usage carries its own page", {0x05, 0x01, 0x0B, 0x80, 0x00, 0x5C, 0xFF, 0xA1, 0x01, 0xC0}, 0xFF5C, 0x80},
        {"usage page after the usage applies to it", {0x09, 0x80, 0x06, 0x5C, 0xFF, 0xA1, 0x01, 0xC0}, 0xFF5C, 0x80},
        {"a usage already on the last page keeps earlier ones", {0x05, 0x01, 0x09, 0x02, 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0xC0}, 0x0001, 0x02},
        {"several usages: the first names the collection", {0x06, 0x5C, 0xFF, 0x09, 0xDB, 0x09, 0xD0, 0xA1, 0x01, 0xC0}, 0xFF5C, 0xDB},
        {"no usage: usage 0 on the current page", {0x06, 0x6D, 0xFF, 0xA1, 0x01, 0xC0}, 0xFF6D, 0x00},
        {"pop restores the pushed usage page", {0x06, 0x4E, 0xFF, 0xA4, 0x05, 0x01, 0xB4, 0x09, 0x12, 0xA1, 0x01, 0xC0}, 0xFF4E, 0x12},
        {"four-byte usage page: its low half", {0x07, 0x7A, 0xFF, 0x00, 0x00, 0x09, 0x95, 0xA1, 0x01, 0xC0}, 0xFF7A, 0x95},
        {"long items are stepped over", {0x06, 0x5C, 0xFF, 0xFE, 0x03, 0x10, 0xA1, 0x01, 0xC0, 0x09, 0x80, 0xA1, 0x01, 0xC0}, 0xFF5C, 0x80},
        {"usages do not outlive their main item", {0x06, 0x5C, 0xFF, 0x09, 0x80, 0xB1, 0x02, 0xA1, 0x01, 0xC0}, 0xFF5C, 0x00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ReportDescriptorLayout layout = parseReportDescriptor(c.descriptor);
        ASSERT_TRUE(layout.ok()) << describe(layout.error);
        ASSERT_EQ(layout.collections.size(), 1u);
        EXPECT_EQ(layout.collections[0].usagePage, c.usagePage);
        EXPECT_EQ(layout.collections[0].usage, c.usage);
    }
}

TEST(ReportDescriptor, ReportIdsFollowPushAndPopAndCarryAcrossCollections) {
    // Report id 7 is pushed, 8 used inside, popped back to 7 for the second
    // feature; the next collection inherits 7 as global state.
    const std::vector<std::uint8_t> descriptor = {
        0x06, 0x5C, 0xFF, 0x09, 0x80, 0xA1, 0x01, 0x85, 0x07, 0xA4, 0x85, 0x08, 0xB1, 0x02, 0xB4, 0xB1, 0x02, 0xC0,
        0x09, 0xDB, 0xA1, 0x01, 0x81, 0x02, 0xC0,
    };
    expectCollections(descriptor, {{0xFF5C, 0x80, {8, 7}}, {0xFF5C, 0xDB, {7}}});
}

TEST(ReportDescriptor, MalformedDescriptorsAreRefused) {
    struct Case {
        std::vector<std::uint8_t> descriptor;
        ReportDescriptorError error;
    };
    std::vector<std::uint8_t> deepPush(kMaxGlobalStackDepth + 1, 0xA4);
    const std::vector<Case> cases = {
        {test::kBroken, ReportDescriptorError::TruncatedItem},
        {{0x0B, 0x80, 0x00, 0x5C}, ReportDescriptorError::TruncatedItem},
        {{0xFE, 0x05, 0x10, 0x01, 0x02}, ReportDescriptorError::TruncatedItem},
        {{0xFE, 0x00}, ReportDescriptorError::TruncatedItem},
        {{0xC0}, ReportDescriptorError::EndWithoutCollection},
        {{0xA1, 0x01, 0xC0, 0xC0}, ReportDescriptorError::EndWithoutCollection},
        {{0x06, 0x5C, 0xFF, 0x09, 0x80, 0xA1, 0x01, 0xA1, 0x00, 0xC0}, ReportDescriptorError::UnclosedCollection},
        {{0xB4}, ReportDescriptorError::PopWithoutPush},
        {deepPush, ReportDescriptorError::PushTooDeep},
        {{0xA1, 0x01, 0x85, 0x00, 0xC0}, ReportDescriptorError::ReportIdZero},
    };
    for (const Case& c : cases) {
        const ReportDescriptorLayout layout = parseReportDescriptor(c.descriptor);
        EXPECT_EQ(layout.error, c.error) << describe(layout.error) << " instead of " << describe(c.error);
        EXPECT_TRUE(layout.collections.empty());
    }
}

TEST(ReportDescriptor, EmptyDescriptorHasNoCollections) {
    const ReportDescriptorLayout layout = parseReportDescriptor({});
    EXPECT_TRUE(layout.ok());
    EXPECT_TRUE(layout.collections.empty());
}

TEST(ReportDescriptor, MaximumNestingOfPushIsAccepted) {
    std::vector<std::uint8_t> descriptor(kMaxGlobalStackDepth, 0xA4);
    descriptor.insert(descriptor.end(), kMaxGlobalStackDepth, 0xB4);
    EXPECT_TRUE(parseReportDescriptor(descriptor).ok());
}

} // namespace
} // namespace qv
