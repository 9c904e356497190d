// The boot loader: the page-buffer programming commands, the flash read,
// and the memory read used to identify the chip. It lives in the chip's boot
// ROM, so erasing the preload area does not remove it.
#include <algorithm>
#include <span>

#include "platform/sim/personality.h"
#include "platform/sim/wire_format.h"

namespace qv::sim {

namespace {

Reply writePageBuffer(Chip& chip, const FeatureReport& request) {
    Reply reply;
    const std::uint32_t offset = get16(request, field::kBufferOffset);
    const std::uint8_t count = request[field::kBufferCount];
    if (count == 0 || count > kMaxBufferData ||
        !chip.writePageBuffer(offset, std::span(request).subspan(field::kBufferData, count))) {
        reply.kind = ReplyKind::Refused;
    }
    return reply;
}

Reply programPage(Chip& chip, const FeatureReport& request) {
    Reply reply;
    const std::uint32_t address = get24(request, field::kAddress);
    const std::uint32_t length = get16(request, field::kPageCountOrLength);
    if (!chip.programFromPageBuffer(address, length)) {
        reply.kind = ReplyKind::Refused;
    }
    return reply;
}

Reply readFlash(const Chip& chip, const FeatureReport& request) {
    Reply reply;
    reply.kind = ReplyKind::FlashChunk;
    const std::uint32_t address = get24(request, field::kAddress);
    const std::uint8_t count = request[field::kMemoryCount];
    put24(reply.answer, field::kAddress, address);
    const auto flash = chip.flash();
    if (count > kMaxAnswerData || address > flash.size() || flash.size() - address < count) {
        return reply;  // count byte stays 0: refused
    }
    reply.answer[field::kMemoryCount] = count;
    std::copy_n(flash.begin() + address, count, reply.answer.begin() + field::kMemoryData);
    return reply;
}

} // namespace

Reply loaderHandle(Chip& chip, const FeatureReport& request) {
    const std::uint8_t opcode = request[field::kOpcode];
    Reply reply;
    switch (opcode) {
    case kOpClearPageBuffer:
        chip.clearPageBuffer();
        break;
    case kOpWritePageBuffer:
        reply = writePageBuffer(chip, request);
        break;
    case kOpErasePages:
        chip.erasePages(get24(request, field::kAddress), get16(request, field::kPageCountOrLength));
        break;
    case kOpProgramPage:
        reply = programPage(chip, request);
        break;
    case kOpStartFirmware:
        reply.modeChange = ModeChange::ToFirmware;
        break;
    case kOpPageBufferSum:
        reply.kind = ReplyKind::PageBufferSum;
        put16(reply.answer, field::kSum, chip.pageBufferSum());
        break;
    case kOpReadFlash:
        reply = readFlash(chip, request);
        break;
    case kOpReadData:
    case kOpReadSpecial:
        reply = answerMemoryRead(chip, request);
        break;
    default:
        reply.kind = ReplyKind::Refused;
        break;
    }
    reply.answer[field::kOpcode] = opcode;
    return reply;
}

} // namespace qv::sim
