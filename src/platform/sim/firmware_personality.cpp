// The running firmware: vendor handshake, flash-mode request, byte-wise
// memory access and the parameter-area command. Its version text is simply
// what its flash holds at 0x3100, read like any other memory.
#include <algorithm>
#include <array>

#include "platform/sim/personality.h"
#include "platform/sim/wire_format.h"

namespace qv::sim {

namespace {

constexpr std::array<std::uint8_t, 15> kVendorString = {'V', 'O', 'R', ' ', 'T', 'e', 'c', 'h',
                                                        '.', ' ', 'I', 'n', 'c', '.', 0};

bool isHandshake(const FeatureReport& request) {
    return std::equal(kVendorString.begin(), kVendorString.end(), request.begin() + field::kHandshake);
}

Reply memoryWrite(Chip& chip, const FeatureReport& request) {
    Reply reply;
    reply.answer[field::kOpcode] = request[field::kOpcode];
    const std::uint32_t address = get24(request, field::kAddress);
    const std::uint8_t count = request[field::kMemoryCount];
    if (count > kMaxAnswerData) {
        reply.kind = ReplyKind::Refused;
        return reply;
    }
    const bool special = request[field::kOpcode] == kOpWriteSpecial;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t at = (address + i) & 0xFFFFFF;
        const std::uint8_t value = request[field::kMemoryData + i];
        if (special) {
            chip.writeSpecial(at, value);
        } else {
            chip.writeData(at, value);
        }
    }
    return reply;
}

Reply parameterArea(Chip& chip, const FeatureReport& request) {
    Reply reply;
    reply.answer[field::kOpcode] = kOpParameterArea;
    const std::uint8_t sub = request[field::kSubCommand];
    if (sub > 1) {
        reply.kind = ReplyKind::Refused;
        return reply;
    }
    if (sub == 1) {
        chip.storeParameters();
    }
    const ParameterLayout& layout = chip.parameterLayout();
    reply.kind = ReplyKind::ParameterArea;
    reply.answer[field::kSubCommand] = sub;
    put24(reply.answer, field::kStoredCopy, layout.storedCopyAddress);
    put24(reply.answer, field::kWorkBuffer, layout.workBufferAddress);
    reply.answer[field::kAreaSize] = layout.size;
    return reply;
}

} // namespace

Reply FirmwarePersonality::handshake(const FeatureReport& request) {
    Reply reply;
    reply.kind = ReplyKind::Handshake;
    if (request[field::kReportId] != settings_.handshakeReportId) {
        return reply;  // not our vendor report: no echo
    }
    const bool echo = settings_.handshakeStyle == HandshakeStyle::AlwaysEcho || !sessionOpen_;
    sessionOpen_ = settings_.handshakeStyle == HandshakeStyle::AlwaysEcho || !sessionOpen_;
    if (echo) {
        std::copy(kVendorString.begin(), kVendorString.end(), reply.answer.begin() + field::kHandshake);
    }
    return reply;
}

Reply FirmwarePersonality::handle(Chip& chip, const FeatureReport& request) {
    if (isHandshake(request)) {
        return handshake(request);
    }
    switch (request[field::kOpcode]) {
    case kOpReadData:
    case kOpReadSpecial:
        return answerMemoryRead(chip, request);
    case kOpWriteData:
    case kOpWriteSpecial:
        return memoryWrite(chip, request);
    case kOpParameterArea:
        return parameterArea(chip, request);
    case kOpEnterLoader: {
        Reply reply;
        reply.answer[field::kOpcode] = kOpEnterLoader;
        reply.modeChange = ModeChange::ToLoader;
        return reply;
    }
    default: {
        Reply reply;
        reply.answer[field::kOpcode] = request[field::kOpcode];
        reply.kind = ReplyKind::Refused;
        return reply;
    }
    }
}

} // namespace qv::sim
