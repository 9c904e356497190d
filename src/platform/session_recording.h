#pragma once
// A recording of one run's device traffic: one JSON object per line (JSON
// Lines), each with "t" (milliseconds since the program started, from the
// event loop's clock) and "op". The ops are the calls of the two device
// ports (HidBus, DeviceManager) plus the run's start and end:
//
//   start        version, platform, arguments, ini (TAVO.ini as it was)
//   enumerate    index, path (null: no interface with that index)
//   open         path, ok, handle, and what the opened interface is:
//                usagePage, usage (null: unreadable), vendorId, productId,
//                version (null: attributes unreadable)
//   close        path, handle
//   set, get     path, report (64 bytes as 128 lower-case hex characters,
//                report id first; for get the answer), ok, error
//   hardwareIds  opened, enumerationFailed, devices [{status, ids|idsHex, node}]
//   remove       node, ok
//   rescan       connected, rootLocated, reenumerated
//   end          resultCode, exitCode
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/device_manager.h"
#include "platform/hid_bus.h"

namespace qv {

enum class RecordedOp { Start, Enumerate, Open, Close, Set, Get, HardwareIds, Remove, Rescan, End };

std::string_view opName(RecordedOp op);

struct RecordedEvent {
    std::uint32_t t = 0;
    RecordedOp op = RecordedOp::Start;

    // start
    std::string version;
    std::string platform;
    std::vector<std::string> arguments;
    std::string ini;
    // enumerate: index and path; open, close, set, get: path
    unsigned index = 0;
    std::optional<std::string> path;
    // open, close
    HidHandle handle = kNoHandle;
    std::optional<HidCollectionCaps> caps;
    std::optional<HidAttributes> attributes;
    // open, set, get, remove
    bool ok = false;
    // set, get
    FeatureReport report{};
    std::uint32_t error = 0;
    // hardwareIds
    PresentDeviceList devices;
    // remove
    std::uint64_t node = 0;
    // rescan
    RescanStatus rescan;
    // end
    int resultCode = 0;
    int exitCode = 0;
};

// The event as one line of the recording, without its line end.
std::string recordingLine(const RecordedEvent& event);

// The line of a Set or Get, written without building a JSON document: the
// hot path of a recording (thousands per update). `quotedPath` is the path
// as a JSON string, quotes included (see quotedJsonText).
void appendExchangeLine(std::string& out, std::uint32_t t, bool isSet, const std::string& quotedPath,
                        const FeatureReport& report, bool ok, std::uint32_t error);
// The path's JSON field text: ""/dev/hidraw3"" (or the hex form's key and value).
std::string pathField(const std::string& path);

// 128 lower-case hex characters, report id first.
std::string reportHex(const FeatureReport& report);

// Reads a recording line by line with bounded memory: lines longer than
// kMaxRecordingLine, a file larger than kMaxRecordingBytes, a line that is
// not a complete JSON object, an unknown op, a field of the wrong type, a
// report that is not 128 hex characters, a time before the previous line's,
// and a recording that does not begin with "start" are errors naming the line.
inline constexpr std::size_t kMaxRecordingLine = 1u << 20;
inline constexpr std::uint64_t kMaxRecordingBytes = 512ull << 20;

class RecordingReader {
public:
    explicit RecordingReader(std::istream& in, std::uint64_t maxBytes = kMaxRecordingBytes)
        : in_(in), maxBytes_(maxBytes) {}

    // The next event; nullopt at the end of the recording or on an error
    // (then error() says what and where).
    std::optional<RecordedEvent> next();
    const std::string& error() const { return error_; }
    std::uint64_t lineNumber() const { return line_; }

private:
    bool readLine(std::string& line);

    std::istream& in_;
    std::string error_;
    std::uint64_t line_ = 0;
    std::uint64_t maxBytes_;
    std::uint64_t bytes_ = 0;
    std::uint32_t lastTime_ = 0;
    bool sawStart_ = false;
};

// Parses one line (no line end); nullopt with the reason in `error`.
std::optional<RecordedEvent> parseRecordingLine(std::string_view line, std::string& error);

// Reads the whole recording once; empty when it is sound, else the first
// problem ("line 12: ...").
std::string checkRecording(std::istream& in);

} // namespace qv
