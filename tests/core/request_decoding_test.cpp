// The request table read in reverse: every request the device link encodes
// decodes back to its own name and fields, and the answers' key fields.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/request_decoding.h"

namespace {

using namespace qv;

FeatureReport reportOf(Request request, const RequestFields& fields, std::uint8_t reportId) {
    const auto encoded = encodeRequest(request, fields);
    EXPECT_TRUE(encoded);
    FeatureReport report{};
    report[0] = reportId;
    std::copy(encoded->payload.begin(), encoded->payload.end(), report.begin() + 1);
    return report;
}

TEST(RequestDecoding, EveryEncodedRequestDecodesToItself) {
    const std::vector<std::uint8_t> chunk(57, 0xA5);
    const std::vector<std::uint8_t> handshake = {'V', 'O', 'R', ' ', 'T', 'e', 'c', 'h', '.', ' ',
                                                 'I', 'n', 'c', '.', 0};
    const std::vector<std::uint8_t> one = {0x42};
    const struct {
        Request request;
        RequestFields fields;
        std::uint8_t reportId;
        const char* text;
    } cases[] = {
        {Request::VendorHandshake, {.data = handshake}, 0x5A, "VendorHandshake id=0x5A \"VOR Tech. Inc.\""},
        {Request::RequestFlashMode, {}, 0x11, "RequestFlashMode id=0x11"},
        {Request::ClearPageBuffer, {}, 0, "ClearPageBuffer"},
        {Request::WritePageBuffer, {.address = 0x39, .count = 57, .data = chunk}, 0,
         "WritePageBuffer offset=0x0039 count=57 data=a5a5a5a5a5a5a5a5..."},
        {Request::EraseFlash, {.address = 0x2000, .count = 118}, 0, "EraseFlash address=0x002000 page=8 pages=118"},
        {Request::ProgramPage, {.address = 0x2400, .count = 1024}, 0, "ProgramPage address=0x002400 page=9 count=1024"},
        {Request::ExitFlashMode, {}, 0, "ExitFlashMode"},
        {Request::VerifyPageBuffer, {}, 0, "VerifyPageBuffer"},
        {Request::ReadFlashChunk, {.address = 0x1F7C8, .count = 56}, 0,
         "ReadFlashChunk address=0x01F7C8 page=125 count=56"},
        {Request::ReadMemory, {.address = 0x3100, .count = 10}, 0x5A, "ReadMemory id=0x5A address=0x003100 count=10"},
        {Request::ReadMemoryByte, {.address = 0xF02001, .count = 1}, 0x5A,
         "ReadMemoryByte address=0xF02001 count=1"},
        {Request::ReadBootMemory, {.address = 0xF02000, .count = 3}, 0, "ReadBootMemory address=0xF02000 count=3"},
        {Request::WriteMemoryByte, {.address = 0x060010, .count = 1, .data = one}, 0x5A,
         "WriteMemoryByte address=0x060010 count=1 value=0x42"},
        {Request::QueryParameterArea, {.data = one}, 0x5A,
         "QueryParameterArea sub=66"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(requestName(c.request));
        const FeatureReport report = reportOf(c.request, c.fields, c.reportId);
        const auto decoded = decodeRequest(report);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->layout->request, c.request);
        EXPECT_EQ(describeRequest(report), c.text);
    }
}

TEST(RequestDecoding, ReportsNoRowFitsAreNamedAsUnknown) {
    FeatureReport report{};
    report[1] = 0x7E;
    EXPECT_FALSE(decodeRequest(report));
    EXPECT_EQ(describeRequest(report), "unknown report (id 0x00, byte 1 0x7E)");
    report[1] = 0xC1;  // a page-buffer write whose count is larger than the table allows
    report[4] = 58;
    EXPECT_FALSE(decodeRequest(report));
}

TEST(RequestDecoding, AnswersShowTheirKeyFields) {
    FeatureReport answer{};
    const auto verify = decodeRequest(reportOf(Request::VerifyPageBuffer, {}, 0));
    answer[2] = 0x4D;
    answer[3] = 0x6D;
    EXPECT_EQ(describeAnswer(*verify, answer), "sum=0x6D4D");

    const auto read = decodeRequest(reportOf(Request::ReadMemory, {.address = 0x3100, .count = 10}, 0x5A));
    answer = {};
    const std::string text = "OEM V1.00";
    answer[2] = 0x00;
    answer[3] = 0x31;
    answer[5] = 10;
    std::copy(text.begin(), text.end(), answer.begin() + 6);
    EXPECT_EQ(describeAnswer(*read, answer), "data=4f454d2056312e30... \"OEM V1.00\"");
    answer[3] = 0x32;
    EXPECT_EQ(describeAnswer(*read, answer).substr(0, 40), "wrong echo (address 0x003200 count 10) d");

    const auto query = decodeRequest(reportOf(Request::QueryParameterArea, {.data = std::vector<std::uint8_t>{0}}, 0x5A));
    answer = {};
    answer[5] = 0x04;  // stored copy 0x040000
    answer[8] = 0x06;  // work buffer 0x060000
    answer[9] = 128;
    EXPECT_EQ(describeAnswer(*query, answer), "stored=0x040000 work=0x060000 size=128");
}

} // namespace
