// The simulated chip's boot loader, driven with hand-built reports.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "sim_test_support.h"

namespace qv::sim::testing {
namespace {

struct SimLoaderTest : SimHubTest {
    void SetUp() override { start(Mode::Flash, {0x6D, 0x10, 0x03}); }

    // C1: page-buffer write of `count` bytes at `offset`.
    void writeBuffer(std::uint16_t offset, const std::vector<std::uint8_t>& data) {
        FeatureReport r = report({0x00, 0xC1, static_cast<std::uint8_t>(offset), static_cast<std::uint8_t>(offset >> 8),
                                  static_cast<std::uint8_t>(data.size())});
        std::copy(data.begin(), data.end(), r.begin() + 5);
        send(h, r);
    }

    void fillPage(const std::vector<std::uint8_t>& page) {
        send(h, report({0x00, 0xC0}));
        for (std::size_t at = 0; at < page.size(); at += 57) {
            const std::size_t n = std::min<std::size_t>(57, page.size() - at);
            writeBuffer(static_cast<std::uint16_t>(at), {page.begin() + at, page.begin() + at + n});
        }
    }

    std::uint16_t deviceSum() { return word(ask(h, report({0x00, 0xD0})), 2); }

    void erase(std::uint32_t address, std::uint16_t pages) {
        send(h, report({0x00, 0xC2, static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8),
                        static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(pages),
                        static_cast<std::uint8_t>(pages >> 8)}));
    }

    void program(std::uint32_t address) {
        send(h, report({0x00, 0xC3, static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8),
                        static_cast<std::uint8_t>(address >> 16), 0x00, 0x04}));
    }

    std::vector<std::uint8_t> readBack(std::uint32_t address, std::size_t length) {
        std::vector<std::uint8_t> out;
        while (out.size() < length) {
            const auto n = static_cast<std::uint8_t>(std::min<std::size_t>(56, length - out.size()));
            const std::uint32_t at = address + static_cast<std::uint32_t>(out.size());
            const FeatureReport answer =
                ask(h, report({0x00, 0xD1, static_cast<std::uint8_t>(at), static_cast<std::uint8_t>(at >> 8),
                               static_cast<std::uint8_t>(at >> 16), n}));
            EXPECT_EQ(answer[2] | (answer[3] << 8) | (answer[4] << 16), static_cast<int>(at));
            EXPECT_EQ(answer[5], n);
            out.insert(out.end(), answer.begin() + 6, answer.begin() + 6 + n);
        }
        return out;
    }

    static std::vector<std::uint8_t> pattern(std::uint8_t seed) {
        std::vector<std::uint8_t> page(1024);
        for (std::size_t i = 0; i < page.size(); ++i) {
            page[i] = static_cast<std::uint8_t>(i * 3 + seed);
        }
        return page;
    }
};

TEST_F(SimLoaderTest, ProgramsAPageThroughThePageBuffer) {
    const auto page = pattern(7);
    fillPage(page);
    const unsigned hostSum = std::accumulate(page.begin(), page.end(), 0u) & 0xFFFF;
    EXPECT_EQ(deviceSum(), hostSum);

    erase(0x2000, 2);
    EXPECT_EQ(readBack(0x2000, 2048), std::vector<std::uint8_t>(2048, 0xFF));
    program(0x2400);
    EXPECT_EQ(readBack(0x2400, 1024), page);
    EXPECT_EQ(readBack(0x2000, 1024), std::vector<std::uint8_t>(1024, 0xFF));
    EXPECT_EQ(device->refusedRequests(), 0u);
}

TEST_F(SimLoaderTest, ClearedBufferSumsErasedBytesAndPartialPagesKeepTheRest) {
    send(h, report({0x00, 0xC0}));
    EXPECT_EQ(deviceSum(), (0xFF * 1024) & 0xFFFF);
    writeBuffer(1000, {0x00, 0x01});
    EXPECT_EQ(deviceSum(), ((0xFF * 1022) + 1) & 0xFFFF);
    EXPECT_EQ(device->chip().pageBuffer()[999], 0xFF);
    EXPECT_EQ(device->chip().pageBuffer()[1001], 0x01);
}

TEST_F(SimLoaderTest, ProgrammingOnlyClearsBits) {
    erase(0x3000, 1);
    fillPage(std::vector<std::uint8_t>(1024, 0xF0));
    program(0x3000);
    fillPage(std::vector<std::uint8_t>(1024, 0x3C));
    program(0x3000);  // without an erase between
    EXPECT_EQ(device->chip().flash()[0x3000], 0x30);
    EXPECT_EQ(device->chip().flash()[0x33FF], 0x30);
}

TEST_F(SimLoaderTest, MalformedRequestsAreIgnored) {
    send(h, report({0x00, 0xC0}));
    writeBuffer(1000, std::vector<std::uint8_t>(25, 0x00));  // runs past the buffer end
    send(h, report({0x00, 0xC1, 0x00, 0x00, 60}));  // more than a report can carry
    EXPECT_EQ(device->refusedRequests(), 2u);
    EXPECT_EQ(deviceSum(), (0xFF * 1024) & 0xFFFF);

    // A flash read past the end answers with count 0.
    const FeatureReport answer = ask(h, report({0x00, 0xD1, 0xF0, 0xFF, 0x02, 56}));
    EXPECT_EQ(answer[5], 0);
    EXPECT_EQ(answer[2], 0xF0);
    // Erasing past the end stops at the flash end.
    erase(0x2FC00, 8);
    EXPECT_EQ(device->chip().flash()[0x2FFFF], 0xFF);
}

TEST_F(SimLoaderTest, ReadsIdentificationBytesLikeTheFirmware) {
    const FeatureReport answer = ask(h, report({0x00, 0x07, 0x00, 0x20, 0xF0, 3}));
    EXPECT_EQ(answer[0], 0x00);
    EXPECT_EQ(answer[2], 0x00);
    EXPECT_EQ(answer[3], 0x20);
    EXPECT_EQ(answer[4], 0xF0);
    EXPECT_EQ(answer[5], 3);
    EXPECT_EQ(answer[6], 0x6D);
    EXPECT_EQ(answer[7], 0x10);
    EXPECT_EQ(answer[8], 0x03);
}

TEST_F(SimLoaderTest, NonZeroReportIdsAndFirmwareCommandsAreNotTaken) {
    std::uint32_t code = 0;
    EXPECT_FALSE(hub.setFeature(h, report({0x5A, 0xC0}), code));
    EXPECT_EQ(code, error::kInvalidParameter);
    FeatureReport answer = report({0x5A});
    EXPECT_FALSE(hub.getFeature(h, answer, code));

    send(h, report({0x00, 0x09}));
    send(h, handshake(0x00));
    EXPECT_EQ(device->refusedRequests(), 2u);
    EXPECT_EQ(device->mode(), Mode::Flash);
    EXPECT_TRUE(hub.interfacePath(0));
}

TEST_F(SimLoaderTest, ExitStartsTheFirmwareAfterReenumeration) {
    send(h, report({0x00, 0xC4}));
    EXPECT_FALSE(hub.interfacePath(0));
    loop.advance(1500);
    const HidHandle normal = openCollection(0xFF5C, 0x80);
    ASSERT_NE(normal, kNoHandle);
    EXPECT_EQ(device->mode(), Mode::Normal);
    EXPECT_EQ(hub.attributes(normal)->productId, 0x5C50);
    EXPECT_EQ(ask(normal, handshake(0x5A))[1], 'V');
}

TEST_F(SimLoaderTest, ExitWithBlankFirmwareComesBackAsTheLoader) {
    erase(0x2000, 1);
    send(h, report({0x00, 0xC4}));
    loop.advance(1500);
    EXPECT_EQ(device->mode(), Mode::Flash);
    EXPECT_NE(openCollection(0xFF5C, 0xDB), kNoHandle);
}

} // namespace
} // namespace qv::sim::testing
