#include "platform/sim/fault_plan.h"

#include "platform/sim/wire_format.h"

namespace qv::sim {

namespace {

// True once, when a running countdown reaches its mark.
bool countDown(unsigned& remaining) {
    if (remaining == 0) {
        return false;
    }
    return --remaining == 0;
}

// True while a "next n" budget lasts.
bool useUp(unsigned& budget) {
    if (budget == 0) {
        return false;
    }
    --budget;
    return true;
}

bool chance(double probability, std::mt19937& random) {
    if (probability <= 0.0) {
        return false;
    }
    return std::uniform_real_distribution<double>(0.0, 1.0)(random) < probability;
}

void flipOneDataBit(Reply& reply, std::mt19937& random) {
    const unsigned count = reply.answer[field::kMemoryCount];
    if (count == 0) {
        return;
    }
    const unsigned byte = std::uniform_int_distribution<unsigned>(0, count - 1)(random);
    const unsigned bit = std::uniform_int_distribution<unsigned>(0, 7)(random);
    reply.answer[field::kMemoryData + byte] ^= static_cast<std::uint8_t>(1u << bit);
}

} // namespace

ExchangeFault takeExchangeFault(FaultPlan& plan, std::mt19937& random) {
    // Both countdowns advance on every exchange, whichever fires first.
    const bool powerLoss = countDown(plan.powerLossAtExchange);
    const bool disconnect = countDown(plan.disconnectAtExchange);
    if (powerLoss) {
        return ExchangeFault::PowerLoss;
    }
    if (disconnect) {
        return ExchangeFault::Disconnect;
    }
    if (useUp(plan.failNextExchanges) || chance(plan.failProbability, random)) {
        return ExchangeFault::Fail;
    }
    return ExchangeFault::None;
}

void spoilReply(FaultPlan& plan, Reply& reply, std::mt19937& random) {
    switch (reply.kind) {
    case ReplyKind::Handshake:
        if (plan.noHandshakeEcho) {
            reply.answer.fill(0);
        }
        break;
    case ReplyKind::MemoryRead:
        if (useUp(plan.wrongAddressEchoes)) {
            reply.answer[field::kAddress] ^= 0x01;
        }
        break;
    case ReplyKind::PageBufferSum:
        if (countDown(plan.wrongSumOnPage)) {
            put16(reply.answer, field::kSum, (get16(reply.answer, field::kSum) + 1) & 0xFFFF);
        }
        break;
    case ReplyKind::FlashChunk: {
        const bool flip = useUp(plan.readBackBitFlips);
        if (flip || chance(plan.readBackFlipProbability, random)) {
            flipOneDataBit(reply, random);
        }
        break;
    }
    default:
        break;
    }
    if (plan.refuseModeSwitch) {
        reply.modeChange = ModeChange::None;
    }
}

} // namespace qv::sim
