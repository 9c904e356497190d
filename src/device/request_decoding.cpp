#include "device/request_decoding.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace qv {

namespace {

constexpr std::array<std::string_view, 14> kNames = {
    "VendorHandshake", "RequestFlashMode", "ClearPageBuffer", "WritePageBuffer", "EraseFlash",
    "ProgramPage",     "ExitFlashMode",    "VerifyPageBuffer", "ReadFlashChunk", "ReadMemory",
    "ReadMemoryByte",  "ReadBootMemory",   "WriteMemoryByte",  "QueryParameterArea"};

constexpr std::size_t kRequestCount = kNames.size();
static_assert(static_cast<std::size_t>(Request::QueryParameterArea) + 1 == kRequestCount,
              "one name per request");

std::string hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::uint32_t littleEndian(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = bytes.size(); i-- > 0;) value = value << 8 | bytes[i];
    return value;
}

bool reportIdFits(const RequestLayout& layout, std::uint8_t reportId) {
    switch (layout.reportId) {
    case ReportIdSource::NoId: return reportId == 0;
    case ReportIdSource::MemoryProtocol: return reportId == kMemoryProtocolReportId;
    case ReportIdSource::Configured: return reportId != 0;
    }
    return false;
}

std::size_t fieldBytes(const RequestLayout& layout) {
    return (layout.opcode ? 1u : 0u) + layout.addressBytes + layout.countBytes;
}

std::string dataText(std::span<const std::uint8_t> data, std::size_t shown = 8) {
    std::string text;
    for (std::size_t i = 0; i < data.size() && i < shown; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        text += byte;
    }
    if (data.size() > shown) text += "...";
    return text;
}

std::string printable(std::span<const std::uint8_t> data) {
    std::string text;
    for (const auto byte : data) {
        if (byte == 0) break;
        text += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
    }
    return text;
}

// Decodes the report against one row; nullopt when it does not fit.
std::optional<DecodedRequest> decodeAs(const RequestLayout& layout, const FeatureReport& report) {
    const std::uint8_t reportId = report[0];
    if (!reportIdFits(layout, reportId)) return std::nullopt;
    const auto payload = std::span<const std::uint8_t>(report).subspan(1);
    std::size_t at = 0;
    if (layout.opcode) {
        if (payload[0] != *layout.opcode && payload[0] != layout.opcodeF0Space) return std::nullopt;
        at = 1;
    }
    DecodedRequest decoded;
    decoded.layout = &layout;
    decoded.reportId = reportId;
    decoded.address = littleEndian(payload.subspan(at, layout.addressBytes));
    at += layout.addressBytes;
    decoded.count = static_cast<std::uint16_t>(littleEndian(payload.subspan(at, layout.countBytes)));
    at += layout.countBytes + layout.reservedBytes;
    if (decoded.count > layout.maxCount) return std::nullopt;
    std::size_t dataBytes = layout.maxDataBytes;
    if (layout.countBytes > 0 && layout.maxDataBytes > 0) dataBytes = decoded.count;
    if (at + dataBytes > payload.size()) return std::nullopt;
    decoded.data = payload.subspan(at, dataBytes);
    if (!layout.opcode) {
        // A request without an opcode is known by its data alone: the
        // handshake's text is the only one, and it is what the updater sends.
        static constexpr std::string_view kHandshake = "VOR Tech. Inc.";
        if (printable(decoded.data) != kHandshake) return std::nullopt;
    }
    return decoded;
}

} // namespace

std::string requestName(Request request) { return std::string(kNames[static_cast<std::size_t>(request)]); }

std::optional<DecodedRequest> decodeRequest(const FeatureReport& report) {
    // The table read from the bottom up within each opcode: where rows share
    // an opcode (the three memory reads), the one with the narrowest count
    // that fits is the most specific answer.
    std::optional<DecodedRequest> best;
    for (std::size_t i = 0; i < kRequestCount; ++i) {
        const RequestLayout& layout = layoutOf(static_cast<Request>(i));
        auto decoded = decodeAs(layout, report);
        if (!decoded) continue;
        if (!best || layout.maxCount < best->layout->maxCount) best = decoded;
    }
    return best;
}

std::string describeRequest(const FeatureReport& report) {
    const auto decoded = decodeRequest(report);
    if (!decoded) {
        return "unknown report (id " + hex(report[0], 2) + ", byte 1 " + hex(report[1], 2) + ")";
    }
    const RequestLayout& layout = *decoded->layout;
    std::string text = requestName(layout.request);
    if (layout.reportId == ReportIdSource::Configured) text += " id=" + hex(decoded->reportId, 2);
    if (layout.addressBytes == 2) text += " offset=" + hex(decoded->address, 4);
    if (layout.addressBytes == 3) {
        text += " address=" + hex(decoded->address, 6);
        if (layout.slot == HandleSlot::Loader && layout.request != Request::ReadBootMemory) {
            text += " page=" + std::to_string(decoded->address / 1024);
        }
    }
    if (layout.countBytes > 0) {
        text += (layout.request == Request::EraseFlash ? " pages=" : " count=") + std::to_string(decoded->count);
    }
    if (!decoded->data.empty()) {
        switch (layout.request) {
        case Request::VendorHandshake: text += " \"" + printable(decoded->data) + "\""; break;
        case Request::WriteMemoryByte: text += " value=" + hex(decoded->data[0], 2); break;
        case Request::QueryParameterArea: text += " sub=" + std::to_string(decoded->data[0]); break;
        default: text += " data=" + dataText(decoded->data); break;
        }
    }
    return text;
}

std::string describeAnswer(const DecodedRequest& request, const FeatureReport& answer) {
    const RequestLayout& layout = *request.layout;
    const auto payload = std::span<const std::uint8_t>(answer).subspan(1);
    switch (layout.request) {
    case Request::VendorHandshake: {
        const bool echo = std::equal(request.data.begin(), request.data.end(), payload.begin());
        return echo ? "echo" : "no echo";
    }
    case Request::VerifyPageBuffer: return "sum=" + hex(readPageBufferSum(payload.first<kMaxPayload>()), 4);
    case Request::QueryParameterArea: {
        const ParameterAreaAnswer area = readParameterAreaAnswer(payload.first<kMaxPayload>());
        return "stored=" + hex(area.storedCopyAddress, 6) + " work=" + hex(area.workBufferAddress, 6) +
               " size=" + std::to_string(area.size);
    }
    default: break;
    }
    if (layout.answerBytes == 0) return {};
    const std::size_t dataAt = fieldBytes(layout);
    const std::size_t dataBytes = layout.answerAddsCount ? request.count : 0;
    std::string text;
    if (layout.answerEchoesAddressAndCount) {
        const std::size_t at = layout.opcode ? 1 : 0;
        const std::uint32_t address = littleEndian(payload.subspan(at, layout.addressBytes));
        const std::uint32_t count = littleEndian(payload.subspan(at + layout.addressBytes, layout.countBytes));
        if (address != request.address || count != request.count) {
            text += "wrong echo (address " + hex(address, 6) + " count " + std::to_string(count) + ") ";
        }
    }
    if (dataAt + dataBytes <= payload.size()) {
        text += "data=" + dataText(payload.subspan(dataAt, dataBytes));
        if (layout.request != Request::ReadFlashChunk) {
            const std::string shown = printable(payload.subspan(dataAt, dataBytes));
            if (shown.size() >= 3) text += " \"" + shown + "\"";
        }
    }
    return text;
}

} // namespace qv
