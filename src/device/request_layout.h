#pragma once
// The wire layout of every request the device link sends, as one table, and
// the single encoder that turns a table row plus its arguments into report
// payload bytes. Payload byte k is report byte k + 1; byte 0 of the report is
// the report id, chosen by the row's report-id source.
//
// A request reads, in order: the opcode (when the row has one), a
// little-endian address field, a little-endian count field, reserved bytes
// sent as 0, then the data bytes. Everything after that within the report is 0.
#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/hid_bus.h"

namespace qv {

// Longest payload a feature report can carry after its report-id byte.
inline constexpr std::size_t kMaxPayload = kFeatureReportSize - 1;

// Report id of the memory-access protocol of the running firmware.
inline constexpr std::uint8_t kMemoryProtocolReportId = 0x5A;

enum class ReportIdSource : std::uint8_t {
    NoId,            // 0: the boot loader's reports carry no id
    MemoryProtocol,  // 0x5A
    Configured,      // the REPORTID option
};

enum class HandleSlot : std::uint8_t {
    Loader,   // slot 0: the flash-mode (loader) device
    Running,  // slot MAININDEX: the running-firmware device
};

enum class Request : std::uint8_t {
    VendorHandshake,
    RequestFlashMode,
    ClearPageBuffer,
    WritePageBuffer,
    EraseFlash,
    ProgramPage,
    ExitFlashMode,
    VerifyPageBuffer,
    ReadFlashChunk,
    ReadMemory,
    ReadMemoryByte,
    ReadBootMemory,
    WriteMemoryByte,
    QueryParameterArea,
};

struct RequestLayout {
    Request request;
    std::optional<std::uint8_t> opcode;  // none: the data alone is the request
    std::uint8_t opcodeF0Space;          // opcode when address bits 16-23 are 0xF0
    ReportIdSource reportId;
    HandleSlot slot;
    std::uint8_t addressBytes;   // 0, 2 (page-buffer offset) or 3 (24-bit address)
    std::uint8_t countBytes;     // 0, 1 or 2
    std::uint8_t reservedBytes;  // bytes with no defined value, sent as 0
    std::uint16_t maxCount;      // largest value the count field may carry
    std::uint8_t maxDataBytes;   // data after the fixed fields; with a count
                                 // field, the count is the number of data bytes
    bool setPadsCount;           // the Set carries `count` zero bytes after the fields
    // Answer fetched with a Get into the same buffer: 0 = no answer; the Get
    // length is answerBytes, plus the count when answerAddsCount.
    std::uint8_t answerBytes;
    bool answerAddsCount;
    // The answer repeats the address and count fields, and the host checks them.
    bool answerEchoesAddressAndCount;
};

// The arguments of one request.
struct RequestFields {
    std::uint32_t address = 0;
    std::uint16_t count = 0;
    std::span<const std::uint8_t> data{};
    // The address that picks the opcode of a 0xF0-space pair; the request's
    // own address when unset. A multi-chunk memory read keeps the opcode its
    // starting address chose.
    std::optional<std::uint32_t> opcodeAddress{};
};

// A request ready for the transport: payload bytes, Set length and the
// length of the answer to fetch into the same buffer (0 = none).
struct EncodedRequest {
    const RequestLayout* layout = nullptr;
    std::array<std::uint8_t, kMaxPayload> payload{};
    std::uint8_t setLength = 0;
    std::uint8_t answerLength = 0;

    std::span<std::uint8_t> bytes() { return payload; }
    // Where the data of an answer begins: right after the echoed fields.
    std::size_t answerDataOffset() const;
};

const RequestLayout& layoutOf(Request request);

// nullopt when the fields do not fit the row (too much data, or a request or
// answer longer than a report can carry); nothing is sent then.
std::optional<EncodedRequest> encodeRequest(Request request, const RequestFields& fields);

// Answer fields beyond the echoed fields and the data, read from an
// answer's payload (report bytes 1..63) by the commands and by the decoder.
struct ParameterAreaAnswer {
    std::uint32_t storedCopyAddress = 0;  // payload bytes 2-4
    std::uint32_t workBufferAddress = 0;  // payload bytes 5-7
    std::uint8_t size = 0;                // payload byte 8
};
ParameterAreaAnswer readParameterAreaAnswer(std::span<const std::uint8_t, kMaxPayload> payload);
// The device's 16-bit sum of its page buffer: payload bytes 1-2.
std::uint16_t readPageBufferSum(std::span<const std::uint8_t, kMaxPayload> payload);

// Whether an answer repeats the request's address and count fields.
bool answerEchoesRequest(const EncodedRequest& sent, std::span<const std::uint8_t> answer);

} // namespace qv
