#include <gtest/gtest.h>

#include <numeric>

#include "core/fakes/device_link_fixture.h"

namespace qv::test {
namespace {

using ::testing::ElementsAre;

constexpr std::uint8_t kClear = 0xC0, kWrite = 0xC1, kProgram = 0xC3, kVerify = 0xD0, kReadChunk = 0xD1;

class FlashTransferTest : public DeviceLinkTest {
protected:
    void SetUp() override {
        openLoader();
        bus.answer = [this](const FeatureReport& lastSet) { return answerFor(lastSet); };
    }

    // The device's side, scripted from what it was sent: the page-buffer sum
    // is replayed from the buffer writes since the last clear (optionally
    // spoiled on one verify), and chunk reads answer the byte pattern
    // (address + i) & 0xFF after five header bytes.
    FeatureReport answerFor(const FeatureReport& lastSet) {
        FeatureReport answer{};
        if (lastSet[1] == kVerify) {
            const auto buffer = deviceBuffer();
            unsigned sum = std::accumulate(buffer.begin(), buffer.end(), 0u) & 0xFFFF;
            if (++verifies == spoiledVerify) sum ^= 0x0101;
            answer[2] = static_cast<std::uint8_t>(sum);
            answer[3] = static_cast<std::uint8_t>(sum >> 8);
        } else if (lastSet[1] == kReadChunk) {
            const std::uint32_t address = lastSet[2] | lastSet[3] << 8 | lastSet[4] << 16;
            for (unsigned i = 0; i < lastSet[5]; ++i) answer[6 + i] = static_cast<std::uint8_t>(address + i);
        }
        return answer;
    }

    std::array<std::uint8_t, kPageSize> deviceBuffer() const {
        std::array<std::uint8_t, kPageSize> buffer{};
        buffer.fill(0xFF);
        for (const auto& e : bus.exchanges) {
            if (!e.isSet || !e.ok) continue;
            if (e.opcode() == kClear) buffer.fill(0xFF);
            if (e.opcode() == kWrite) {
                const unsigned offset = e.report[2] | e.report[3] << 8;
                std::copy_n(e.report.begin() + 5, e.report[4], buffer.begin() + offset);
            }
        }
        return buffer;
    }

    std::vector<RecordedExchange> setsWith(std::uint8_t opcode) const {
        std::vector<RecordedExchange> out;
        for (const auto& e : bus.sets()) {
            if (e.opcode() == opcode) out.push_back(e);
        }
        return out;
    }

    static std::uint32_t addressOf(const RecordedExchange& e) {
        return e.report[2] | e.report[3] << 8 | e.report[4] << 16;
    }

    int verifies = 0;
    int spoiledVerify = 0;
};

std::vector<std::uint8_t> patternImage(std::size_t size) {
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return image;
}

TEST_F(FlashTransferTest, WritesPagesIn57ByteChunksAndProgramsWholePages) {
    const auto image = patternImage(1500);
    link.WriteFlash(0x2000, 1500, image);

    const auto writes = setsWith(kWrite);
    ASSERT_EQ(writes.size(), 18u + 9u);
    std::vector<unsigned> offsets, counts;
    for (const auto& w : writes) {
        offsets.push_back(w.report[2] | w.report[3] << 8);
        counts.push_back(w.report[4]);
    }
    std::vector<unsigned> wantOffsets, wantCounts;
    for (unsigned i = 0; i < 18; ++i) wantOffsets.push_back(i * 57), wantCounts.push_back(i < 17 ? 57 : 55);
    for (unsigned i = 0; i < 9; ++i) wantOffsets.push_back(i * 57), wantCounts.push_back(i < 8 ? 57 : 20);
    EXPECT_EQ(offsets, wantOffsets);
    EXPECT_EQ(counts, wantCounts);
    // The data of each chunk is the image's, from the right place.
    EXPECT_TRUE(std::equal(writes[18].report.begin() + 5, writes[18].report.begin() + 5 + 57, image.begin() + 1024));

    const auto programs = setsWith(kProgram);
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_TRUE(reportIs(programs[0].report, {0, kProgram, 0x00, 0x20, 0x00, 0x00, 0x04}));
    EXPECT_TRUE(reportIs(programs[1].report, {0, kProgram, 0x00, 0x24, 0x00, 0x00, 0x04}));

    // Page 1: 476 image bytes, the rest of the buffer still 0xFF from the clear.
    const auto& mirror = link.PageBufferMirror();
    EXPECT_TRUE(std::equal(mirror.begin(), mirror.begin() + 476, image.begin() + 1024));
    EXPECT_TRUE(std::all_of(mirror.begin() + 476, mirror.end(), [](auto b) { return b == 0xFF; }));
    EXPECT_EQ(bus.exchanges.size(), 2u * 22u - 9u) << "22 exchanges per full page, 9 fewer buffer writes on page 1";
    EXPECT_EQ(window.progress, 100);
    EXPECT_TRUE(standardOutput.str().empty());
}

TEST_F(FlashTransferTest, BlankPagesCostNoTraffic) {
    std::vector<std::uint8_t> image(3 * kPageSize, 0xFF);
    link.WriteFlash(0x2000, static_cast<int>(kPageSize), image);
    EXPECT_TRUE(bus.exchanges.empty());
    EXPECT_EQ(window.progress, 100);

    image[5] = 0x00;                 // page 0
    image[2 * kPageSize + 9] = 0x00;  // page 2; page 1 stays blank
    link.WriteFlash(0x2000, static_cast<int>(image.size()), image);
    const auto programs = setsWith(kProgram);
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(addressOf(programs[0]), 0x2000u);
    EXPECT_EQ(addressOf(programs[1]), 0x2800u);
    EXPECT_EQ(bus.exchanges.size(), 2u * 22u);
}

TEST_F(FlashTransferTest, ChecksumMismatchStopsTheWriteBeforeProgrammingThatPage) {
    const auto image = patternImage(8 * kPageSize);
    spoiledVerify = 4;  // page 3 of 0..7
    link.WriteFlash(0x2000, static_cast<int>(image.size()), image);

    const auto programs = setsWith(kProgram);
    ASSERT_EQ(programs.size(), 3u);
    EXPECT_EQ(addressOf(programs[2]), 0x2800u);
    EXPECT_EQ(setsWith(kClear).size(), 4u) << "no later page is touched";
    EXPECT_EQ(bus.sets().back().opcode(), kVerify);
    EXPECT_NE(standardOutput.str().find("Checksum0: "), std::string::npos);
    EXPECT_NE(standardOutput.str().find("\nChecksum1: "), std::string::npos);
    EXPECT_EQ(window.progress, 50);
}

TEST_F(FlashTransferTest, ImageShorterThanTheLengthSendsOnlyItsOwnBytes) {
    const auto image = patternImage(100);
    link.WriteFlash(0x2000, 3000, image);
    const auto writes = setsWith(kWrite);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].report[4], 100 - 57);
    EXPECT_EQ(setsWith(kProgram).size(), 1u) << "pages past the image are blank";
}

struct ReadCase {
    int length;
    std::vector<unsigned> chunkCounts;
    std::vector<int> progressSeen;
};

TEST_F(FlashTransferTest, ReadsIn56ByteChunksWithProgressBeforeAllButTheLast) {
    const ReadCase cases[] = {
        {56, {56}, {}},
        {57, {56, 1}, {50}},
        {1024, {56, 56, 56, 56, 56, 56, 56, 56, 56, 56, 56, 56, 56, 56, 56, 56, 56, 56, 16},
         {5, 10, 15, 21, 26, 31, 36, 42, 47, 52, 57, 63, 68, 73, 78, 84, 89, 94}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        bus.exchanges.clear();
        window.progress = -1;
        // The bar as each chunk is answered: moved before every chunk but the last.
        std::vector<int> progressSeen;
        bus.answer = [&](const FeatureReport& lastSet) {
            progressSeen.push_back(window.progress);
            return answerFor(lastSet);
        };
        std::vector<std::uint8_t> destination(c.length + 4, 0xEE);
        link.ReadFlash(0x2000, c.length, destination);

        const auto chunks = setsWith(kReadChunk);
        std::vector<unsigned> counts;
        for (const auto& e : chunks) counts.push_back(e.report[5]);
        EXPECT_EQ(counts, c.chunkCounts);
        EXPECT_EQ(bus.exchanges.size(), 2 * c.chunkCounts.size()) << "a request and an answer per chunk";
        for (int i = 0; i < c.length; ++i) {
            ASSERT_EQ(destination[i], static_cast<std::uint8_t>(0x2000 + i)) << "byte " << i;
        }
        EXPECT_THAT(std::vector<std::uint8_t>(destination.end() - 4, destination.end()), ElementsAre(0xEE, 0xEE, 0xEE, 0xEE));
        auto wantSeen = c.progressSeen;
        wantSeen.push_back(wantSeen.empty() ? -1 : wantSeen.back());
        EXPECT_EQ(progressSeen, wantSeen);
    }
}

TEST_F(FlashTransferTest, ReadNeverWritesPastTheDestination) {
    std::vector<std::uint8_t> destination(60, 0xEE);
    link.ReadFlash(0x2000, 1024, std::span(destination).first(57));
    EXPECT_EQ(setsWith(kReadChunk).size(), 2u);
    EXPECT_EQ(destination[57], 0xEE);
}

} // namespace
} // namespace qv::test
