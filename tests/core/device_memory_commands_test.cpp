#include <gtest/gtest.h>

#include <cstring>

#include "core/fakes/device_link_fixture.h"

namespace qv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// The device's answer to a memory read: the request's address and count
// repeated, then `count` bytes of the given memory contents.
FeatureReport memoryAnswer(const FeatureReport& request, const std::function<std::uint8_t(std::uint32_t)>& byteAt) {
    FeatureReport answer{};
    answer[1] = 0x99;  // not examined
    std::copy_n(request.begin() + 2, 4, answer.begin() + 2);
    const std::uint32_t address = request[2] | request[3] << 8 | request[4] << 16;
    for (unsigned i = 0; i < request[5] && 6 + i < answer.size(); ++i) answer[6 + i] = byteAt(address + i);
    return answer;
}

std::uint8_t lowByteOfAddress(std::uint32_t address) { return static_cast<std::uint8_t>(address); }

class MemoryCommandsTest : public DeviceLinkTest {
protected:
    void answerFromMemory() {
        bus.answer = [](const FeatureReport& request) { return memoryAnswer(request, lowByteOfAddress); };
    }
};

TEST_F(MemoryCommandsTest, ReadMemoryReadsTenByteChunksWithTheConfiguredReportId) {
    openRunningFirmware();
    options.REPORTID = 0x33;
    const char version[] = "TALVIK FW 1.02.0003 2023-05-01 X";  // 32 characters
    bus.answer = [&](const FeatureReport& request) {
        return memoryAnswer(request, [&](std::uint32_t a) { return static_cast<std::uint8_t>(version[a - 0x3100]); });
    };
    std::array<std::uint8_t, 32> text{};
    ASSERT_TRUE(link.ReadMemory(0x3100, 32, text));
    EXPECT_EQ(std::memcmp(text.data(), version, 32), 0);

    const auto sets = bus.sets();
    ASSERT_EQ(sets.size(), 4u);
    EXPECT_TRUE(reportIs(sets[0].report, {0x33, 0x05, 0x00, 0x31, 0x00, 10}));
    EXPECT_TRUE(reportIs(sets[1].report, {0x33, 0x05, 0x0A, 0x31, 0x00, 10}));
    EXPECT_TRUE(reportIs(sets[2].report, {0x33, 0x05, 0x14, 0x31, 0x00, 10}));
    EXPECT_TRUE(reportIs(sets[3].report, {0x33, 0x05, 0x1E, 0x31, 0x00, 2}));
    for (const auto& get : bus.gets()) EXPECT_EQ(get.reportId(), 0x33);
    EXPECT_EQ(bus.exchanges.size(), 8u);
}

TEST_F(MemoryCommandsTest, TheStartingAddressAloneChoosesTheOpcode) {
    openRunningFirmware();
    answerFromMemory();
    std::array<std::uint8_t, 14> bytes{};
    ASSERT_TRUE(link.ReadMemory(0xEFFFFE, 4, bytes));
    ASSERT_TRUE(link.ReadMemory(0xEFFFFA, 14, bytes));  // second chunk starts at 0xF00004
    ASSERT_TRUE(link.ReadMemory(0xF02000, 3, bytes));
    std::vector<std::uint8_t> opcodes;
    for (const auto& set : bus.sets()) opcodes.push_back(set.opcode());
    EXPECT_THAT(opcodes, ElementsAre(0x05, 0x05, 0x05, 0x07));
    EXPECT_TRUE(reportIs(bus.sets()[2].report, {0x5A, 0x05, 0x04, 0x00, 0xF0, 4}));
}

struct EchoCase {
    const char* what;
    std::size_t spoiledByte;  // answer report byte that differs from the request
};

TEST_F(MemoryCommandsTest, AnAnswerThatDoesNotRepeatTheRequestIsRetried) {
    openRunningFirmware();
    const EchoCase cases[] = {{"address low", 2}, {"address middle", 3}, {"address high", 4}, {"count", 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bus.exchanges.clear();
        int answers = 0;
        bus.answer = [&](const FeatureReport& request) {
            auto answer = memoryAnswer(request, lowByteOfAddress);
            if (answers++ == 0) answer[c.spoiledByte] ^= 0x01;
            return answer;
        };
        std::uint8_t value = 0;
        ASSERT_TRUE(link.ReadMemoryByte(0x1234, value));
        EXPECT_EQ(value, 0x34);
        EXPECT_EQ(bus.sets().size(), 2u);
        for (const auto& set : bus.sets()) EXPECT_TRUE(reportIs(set.report, {0x5A, 0x05, 0x34, 0x12, 0x00, 1}));
    }
    EXPECT_TRUE(memo2().empty());
}

TEST_F(MemoryCommandsTest, ReadsGiveUpAfterTheHundredAndFirstFailedTry) {
    openRunningFirmware();
    bus.answer = [](const FeatureReport&) { return FeatureReport{}; };  // never echoes
    std::array<std::uint8_t, 12> bytes{};
    EXPECT_FALSE(link.ReadMemory(0x3100, 12, bytes));
    EXPECT_EQ(bus.sets().size(), 101u);

    bus.exchanges.clear();
    std::uint8_t value = 0;
    EXPECT_FALSE(link.ReadMemoryByte(0x3100, value));
    EXPECT_EQ(bus.sets().size(), 101u);
}

TEST_F(MemoryCommandsTest, ReadMemoryKeepsOneFailureBudgetForTheWholeRead) {
    openRunningFirmware();
    // Each chunk is answered wrongly 60 times before the right answer: the
    // second chunk runs out of the budget the first one used.
    int wrong = 0;
    bus.answer = [&](const FeatureReport& request) {
        auto answer = memoryAnswer(request, lowByteOfAddress);
        if (wrong++ % 61 != 60) answer[5] ^= 0xFF;
        return answer;
    };
    std::array<std::uint8_t, 20> bytes{};
    EXPECT_FALSE(link.ReadMemory(0x3100, 20, bytes));
    EXPECT_EQ(bus.sets().size(), 61u + 41u) << "61 tries for chunk 1, then 41 failed ones: 101 failures";
}

TEST_F(MemoryCommandsTest, AnEmptySlotEndsReadsWithoutMinutesOfRetries) {
    std::array<std::uint8_t, 3> bytes{};
    EXPECT_FALSE(link.ReadMemory(0x3100, 3, bytes));
    EXPECT_TRUE(bus.exchanges.empty());
    EXPECT_TRUE(memo2().empty());

    std::uint8_t value = 0;
    EXPECT_FALSE(link.ReadMemoryByte(0x3100, value));
    EXPECT_EQ(memo2(), std::vector<std::string>(10, "failed HidD_SetFeature - 6"));
    EXPECT_EQ(loop.sleptMilliseconds(), 1000u);

    window.memo2.clear();
    EXPECT_FALSE(link.ReadBootMemory(0xF02000, bytes));
    EXPECT_EQ(memo2(), std::vector<std::string>(10, "failed HidD_SetFeature - 6"));
}

TEST_F(MemoryCommandsTest, APresentDeviceThatStopsAnsweringStillGetsTheFullBudget) {
    openLoader();
    bus.deadHandles.insert(link.handleAt(0));
    std::array<std::uint8_t, 3> bytes{};
    EXPECT_FALSE(link.ReadBootMemory(0xF02000, bytes));
    EXPECT_EQ(bus.sets().size(), 101u * 10u);
}

TEST_F(MemoryCommandsTest, BootMemoryReadGoesToTheLoaderWithoutReportId) {
    openLoader();
    answerFromMemory();
    std::array<std::uint8_t, 3> bytes{};
    ASSERT_TRUE(link.ReadBootMemory(0xF02000, bytes));
    EXPECT_THAT(bytes, ElementsAre(0x00, 0x01, 0x02));
    EXPECT_TRUE(reportIs(bus.sets()[0].report, {0x00, 0x07, 0x00, 0x20, 0xF0, 3}));
    EXPECT_EQ(bus.gets()[0].reportId(), 0);
}

TEST_F(MemoryCommandsTest, DestinationsTooSmallAreRefusedBeforeAnyTraffic) {
    openRunningFirmware();
    answerFromMemory();
    std::array<std::uint8_t, 4> bytes{};
    EXPECT_FALSE(link.ReadMemory(0x3100, 5, bytes));
    EXPECT_TRUE(bus.exchanges.empty());
}

TEST_F(MemoryCommandsTest, ParameterAreaQueryDecodesTheAnswer) {
    openRunningFirmware();
    bus.answers = {answerWithPayload({0xAA, 0xBB, 0x00, 0x48, 0xF0, 0x80, 0x12, 0x00, 0xC8})};
    const ParameterArea area = link.QueryParameterArea(1);
    EXPECT_EQ(area.storedCopyAddress, 0xF04800u);
    EXPECT_EQ(area.workBufferAddress, 0x001280u);
    EXPECT_EQ(area.size, 0xC8);
    ASSERT_EQ(bus.exchanges.size(), 2u);
    EXPECT_TRUE(reportIs(bus.exchanges[0].report, {0x5A, 0x02, 0x01}));
    EXPECT_EQ(bus.exchanges[1].reportId(), 0x5A);
    EXPECT_EQ(loop.sleptMilliseconds(), 200u);
}

struct ChipClassCase {
    std::array<std::uint8_t, 3> id;
    int chipClass;
};

TEST_F(MemoryCommandsTest, ChipClassFromTheIdentificationBytes) {
    openLoader();  // slot 0 = slot MAININDEX: both routes reach it
    const ChipClassCase cases[] = {
        {{0x6D, 0x1A, 0x02}, 0}, {{0x6D, 0x10, 0x03}, 1}, {{0x6D, 0x1F, 0xFF}, 1}, {{0x6D, 0x20, 0x03}, 0},
        {{0x3B, 0x7F, 0x00}, 2}, {{0x3B, 0x60, 0x00}, 0}, {{0x3D, 0x95, 0x42}, 3}, {{0x3D, 0x70, 0x00}, 0},
        {{0x00, 0x00, 0x00}, 0},
    };
    for (const auto& c : cases) {
        for (int route : {1, 2}) {
            SCOPED_TRACE(::testing::Message() << "id " << int{c.id[0]} << "," << int{c.id[1]} << "," << int{c.id[2]}
                                              << " route " << route);
            bus.answer = [&](const FeatureReport& request) {
                return memoryAnswer(request, [&](std::uint32_t a) { return c.id[a - 0xF02000]; });
            };
            bus.exchanges.clear();
            EXPECT_EQ(link.ReadChipClass(route), c.chipClass);
            ASSERT_FALSE(bus.sets().empty());
            EXPECT_TRUE(reportIs(bus.sets()[0].report, {route == 1 ? options.REPORTID : std::uint8_t{0}, 0x07, 0x00,
                                                        0x20, 0xF0, 3}));
        }
    }
}

TEST_F(MemoryCommandsTest, ChipClassIsZeroWithoutARouteOrAnAnswer) {
    openLoader();
    EXPECT_EQ(link.ReadChipClass(0), 0);
    EXPECT_TRUE(bus.exchanges.empty());
    bus.answer = [](const FeatureReport&) { return FeatureReport{}; };
    EXPECT_EQ(link.ReadChipClass(1), 0);
}

} // namespace
} // namespace qv::test
