// The recording format: every op written and read back, and the damaged
// recordings a replay or qv-trace must refuse with the line that is wrong.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/session_recording.h"

namespace {

using namespace qv;

const std::string kStart =
    R"({"t":0,"op":"start","version":"2.7.6.1","platform":"linux","arguments":["/S"],"ini":""})";
const std::string kReport(128, '0');

std::string readAll(const std::string& text, std::uint64_t maxBytes = kMaxRecordingBytes) {
    std::istringstream in(text);
    RecordingReader reader(in, maxBytes);
    while (reader.next()) {
    }
    return reader.error();
}

TEST(SessionRecording, EveryOpReadsBackAsItWasWritten) {
    std::vector<RecordedEvent> events(10);
    events[0].op = RecordedOp::Start;
    events[0].version = "2.7.6.1";
    events[0].arguments = {"/S", "--record=x"};
    events[0].ini = "[MAIN]\r\nHWID=USB\\VID_1C7A&PID_5C50\r\n; \xE9t\xE9\r\n";  // not ASCII: kept as hex
    events[1].op = RecordedOp::Enumerate;
    events[1].index = 3;
    events[2].op = RecordedOp::Open;
    events[2].path = "/dev/hidraw3";
    events[2].ok = true;
    events[2].handle = 17;
    events[2].caps = HidCollectionCaps{0xFF5C, 0x80};
    events[3].op = RecordedOp::Set;
    events[3].path = "/dev/hidraw3";
    events[3].report[0] = 0x5A;
    events[3].report[63] = 0xFE;
    events[4].op = RecordedOp::Get;
    events[4].ok = false;
    events[4].error = 31;
    events[5].op = RecordedOp::HardwareIds;
    events[5].devices.opened = true;
    events[5].devices.devices.push_back({PresentDevice::IdStatus::Ok, std::string("USB\\VID_1C7A&PID_5C50\0\0", 23), 4});
    events[6].op = RecordedOp::Remove;
    events[6].node = 4;
    events[6].ok = true;
    events[7].op = RecordedOp::Rescan;
    events[7].rescan = {true, false, true};
    events[8].op = RecordedOp::Close;
    events[8].path = "/dev/hidraw3";
    events[8].handle = 17;
    events[9].op = RecordedOp::End;
    events[9].resultCode = 16;
    events[9].exitCode = 16;
    std::string text;
    for (std::size_t i = 0; i < events.size(); ++i) {
        events[i].t = static_cast<std::uint32_t>(i * 10);
        text += recordingLine(events[i]) + "\n";
    }
    std::istringstream in(text);
    RecordingReader reader(in);
    for (const auto& written : events) {
        const auto read = reader.next();
        ASSERT_TRUE(read) << reader.error();
        EXPECT_EQ(recordingLine(*read), recordingLine(written));
    }
    EXPECT_FALSE(reader.next());
    EXPECT_EQ(reader.error(), "");
}

TEST(SessionRecording, AReportIsHexReportIdFirst) {
    FeatureReport report{};
    report[0] = 0x5A;
    report[1] = 0xC1;
    EXPECT_EQ(reportHex(report).substr(0, 6), "5ac100");
    EXPECT_EQ(reportHex(report).size(), 128u);
}

TEST(SessionRecording, DamagedRecordingsNameTheirLine) {
    const std::string set = R"({"t":5,"op":"set","path":"p","report":")" + kReport + R"(","ok":true,"error":0})";
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {"", "the recording is empty: it has no \"start\" line"},
        {set + "\n", "line 1: the recording does not begin with \"start\""},
        {kStart + "\n" + set.substr(0, 40) + "\n", "line 2: not a complete JSON object"},
        {kStart + "\n" + set.substr(0, 40), "line 2: not a complete JSON object"},
        {kStart + "\n{\"t\":1,\"op\":\"teleport\"}\n", "line 2: unknown op \"teleport\""},
        {kStart + "\n{\"t\":1}\n", "line 2: \"op\" is missing"},
        {kStart + "\n" + R"({"t":5,"op":"set","path":"p","report":"00ff","ok":true,"error":0})" + "\n",
         "line 2: \"report\" must be 128 hex characters"},
        {kStart + "\n" + R"({"t":5,"op":"get","path":"p","report":")" + std::string(127, '0') + "x" +
             R"(","ok":true,"error":0})" + "\n",
         "line 2: \"report\" must be 128 hex characters"},
        {kStart + "\n" + set + "\n" + R"({"t":4,"op":"rescan","connected":true,"rootLocated":true,"reenumerated":true})",
         "line 3: time goes backwards (4 ms after 5 ms)"},
        {kStart + "\n" + R"({"t":-1,"op":"end","resultCode":0,"exitCode":0})", "line 2: \"t\" must be a number from 0"},
        {kStart + "\n" + R"({"t":1,"op":"end","resultCode":"0","exitCode":0})",
         "line 2: \"resultCode\" must be a number from 0"},
        {kStart + "\n" + R"({"t":1,"op":"open","path":"p","ok":true,"handle":0})",
         "line 2: an open that succeeded needs a handle"},
        {kStart + "\n" + kStart + "\n", "line 2: a second \"start\""},
        {kStart + "\n[1,2]\n", "line 2: not a complete JSON object"},
    };
    for (const auto& c : cases) {
        const std::string error = readAll(c.text);
        EXPECT_EQ(error.substr(0, c.error.size()), c.error) << c.text;
    }
}

TEST(SessionRecording, SizeAndLineLengthAreBounded) {
    EXPECT_EQ(readAll(kStart + "\n" + std::string(kMaxRecordingLine + 10, ' ') + "\n"),
              "line 2: longer than " + std::to_string(kMaxRecordingLine) + " characters");
    std::string many = kStart + "\n";
    for (int i = 0; i < 100; ++i) many += R"({"t":1,"op":"rescan","connected":true,"rootLocated":true,"reenumerated":true})" "\n";
    EXPECT_EQ(readAll(many, 1000), "the recording is larger than 1000 bytes");
    EXPECT_EQ(readAll(many), "");
}

} // namespace
