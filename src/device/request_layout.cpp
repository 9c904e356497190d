#include "device/request_layout.h"

#include <algorithm>

namespace qv {

namespace {

using enum ReportIdSource;
using enum HandleSlot;

constexpr std::optional<std::uint8_t> kNoOpcode = std::nullopt;

// Request layouts of the running firmware, the boot loader and the memory
// protocol. One row per request; the commands never build bytes by hand.
//
//  request                       opcode  0xF0-space  report id       slot     addr count rsvd maxCount maxData
//                                                                                            pads  answer +count echo
constexpr RequestLayout kLayouts[] = {
    {Request::VendorHandshake,    kNoOpcode, 0x00, Configured,     Running, 0, 0, 0, 0,      15, false, 15, false, false},
    {Request::RequestFlashMode,   0x09,      0x09, Configured,     Running, 0, 0, 1, 0,      0,  false, 0,  false, false},
    {Request::ClearPageBuffer,    0xC0,      0xC0, NoId,           Loader,  0, 0, 0, 0,      0,  false, 0,  false, false},
    {Request::WritePageBuffer,    0xC1,      0xC1, NoId,           Loader,  2, 1, 0, 57,     57, false, 0,  false, false},
    {Request::EraseFlash,         0xC2,      0xC2, NoId,           Loader,  3, 2, 0, 0xFFFF, 0,  false, 0,  false, false},
    {Request::ProgramPage,        0xC3,      0xC3, NoId,           Loader,  3, 2, 0, 0xFFFF, 0,  false, 0,  false, false},
    {Request::ExitFlashMode,      0xC4,      0xC4, NoId,           Loader,  0, 0, 0, 0,      0,  false, 0,  false, false},
    {Request::VerifyPageBuffer,   0xD0,      0xD0, NoId,           Loader,  0, 0, 0, 0,      0,  false, 3,  false, false},
    {Request::ReadFlashChunk,     0xD1,      0xD1, NoId,           Loader,  3, 1, 0, 56,     0,  true,  5,  true,  false},
    {Request::ReadMemory,         0x05,      0x07, Configured,     Running, 3, 1, 0, 10,     0,  false, 5,  true,  true},
    {Request::ReadMemoryByte,     0x05,      0x07, MemoryProtocol, Running, 3, 1, 0, 1,      0,  false, 5,  true,  true},
    {Request::ReadBootMemory,     0x05,      0x07, NoId,           Loader,  3, 1, 0, 3,      0,  false, 5,  true,  true},
    {Request::WriteMemoryByte,    0x06,      0x08, MemoryProtocol, Running, 3, 1, 0, 1,      1,  false, 0,  false, false},
    {Request::QueryParameterArea, 0x02,      0x02, MemoryProtocol, Running, 0, 0, 0, 0,      1,  false, 9,  false, false},
};

constexpr bool tableFollowsEnum() {
    for (std::size_t i = 0; i < std::size(kLayouts); ++i) {
        if (static_cast<std::size_t>(kLayouts[i].request) != i) return false;
    }
    return true;
}
static_assert(tableFollowsEnum(), "one row per request, in the order of the Request enum");

constexpr bool inF0Space(std::uint32_t address) { return ((address >> 16) & 0xFF) == 0xF0; }

std::size_t fieldBytes(const RequestLayout& layout) {
    return (layout.opcode ? 1u : 0u) + layout.addressBytes + layout.countBytes;
}

void putLittleEndian(std::span<std::uint8_t> out, std::uint32_t value) {
    for (auto& byte : out) {
        byte = static_cast<std::uint8_t>(value & 0xFF);
        value >>= 8;
    }
}

} // namespace

const RequestLayout& layoutOf(Request request) { return kLayouts[static_cast<std::size_t>(request)]; }

std::size_t EncodedRequest::answerDataOffset() const { return layout ? fieldBytes(*layout) : 0; }

std::optional<EncodedRequest> encodeRequest(Request request, const RequestFields& fields) {
    const RequestLayout& layout = layoutOf(request);
    if (fields.count > layout.maxCount || fields.data.size() > layout.maxDataBytes) return std::nullopt;
    if (layout.countBytes > 0 && layout.maxDataBytes > 0 && fields.data.size() != fields.count) return std::nullopt;

    const std::size_t padding = layout.setPadsCount ? fields.count : 0;
    const std::size_t setLength = fieldBytes(layout) + layout.reservedBytes + fields.data.size() + padding;
    const std::size_t answerLength = layout.answerBytes + (layout.answerAddsCount ? fields.count : 0u);
    if (setLength > kMaxPayload || answerLength > kMaxPayload) return std::nullopt;

    EncodedRequest encoded;
    encoded.layout = &layout;
    auto out = std::span<std::uint8_t>(encoded.payload);
    std::size_t at = 0;
    if (layout.opcode) {
        out[at++] = inF0Space(fields.opcodeAddress.value_or(fields.address)) ? layout.opcodeF0Space : *layout.opcode;
    }
    putLittleEndian(out.subspan(at, layout.addressBytes), fields.address);
    at += layout.addressBytes;
    putLittleEndian(out.subspan(at, layout.countBytes), fields.count);
    at += layout.countBytes + layout.reservedBytes;
    std::copy(fields.data.begin(), fields.data.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
    encoded.setLength = static_cast<std::uint8_t>(setLength);
    encoded.answerLength = static_cast<std::uint8_t>(answerLength);
    return encoded;
}

ParameterAreaAnswer readParameterAreaAnswer(std::span<const std::uint8_t, kMaxPayload> payload) {
    const auto address = [&](std::size_t at) {
        return payload[at] | (std::uint32_t{payload[at + 1]} << 8) | (std::uint32_t{payload[at + 2]} << 16);
    };
    return {address(2), address(5), payload[8]};
}

std::uint16_t readPageBufferSum(std::span<const std::uint8_t, kMaxPayload> payload) {
    return static_cast<std::uint16_t>(payload[1] | payload[2] << 8);
}

bool answerEchoesRequest(const EncodedRequest& sent, std::span<const std::uint8_t> answer) {
    if (sent.layout == nullptr) return false;
    const std::size_t first = sent.layout->opcode ? 1 : 0;
    const std::size_t end = sent.answerDataOffset();
    if (answer.size() < end) return false;
    return std::equal(sent.payload.begin() + static_cast<std::ptrdiff_t>(first),
                      sent.payload.begin() + static_cast<std::ptrdiff_t>(end),
                      answer.begin() + static_cast<std::ptrdiff_t>(first));
}

} // namespace qv
