// Memory reads shared by the firmware and the loader.
#include "platform/sim/personality.h"
#include "platform/sim/wire_format.h"

namespace qv::sim {

Reply answerMemoryRead(const Chip& chip, const FeatureReport& request) {
    Reply reply;
    reply.kind = ReplyKind::MemoryRead;
    reply.answer[field::kOpcode] = request[field::kOpcode];
    const std::uint32_t address = get24(request, field::kAddress);
    const std::uint8_t count = request[field::kMemoryCount];
    put24(reply.answer, field::kAddress, address);
    if (count > kMaxAnswerData) {
        return reply;  // count byte stays 0: refused
    }
    reply.answer[field::kMemoryCount] = count;
    const bool special = request[field::kOpcode] == kOpReadSpecial;
    for (std::uint32_t i = 0; i < count; ++i) {
        reply.answer[field::kMemoryData + i] = chip.readAt((address + i) & 0xFFFFFF, special);
    }
    return reply;
}

} // namespace qv::sim
