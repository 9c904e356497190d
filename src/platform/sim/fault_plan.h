#pragma once
// Faults a simulated device produces on demand. Every field is plain data a
// test or benchmark sets; counts are countdowns ("the n-th exchange from
// now", 0 = off) and are used up as the device meets them.
#include <cstdint>
#include <random>

#include "platform/sim/personality.h"

namespace qv::sim {

struct FaultPlan {
    // --- Exchanges (Set or Get on the device's interface) --------------------
    unsigned failNextExchanges = 0;     // the next n exchanges fail (error 31)
    double failProbability = 0.0;       // each exchange fails with this probability
    unsigned disconnectAtExchange = 0;  // the n-th exchange fails and the device is unplugged
    unsigned powerLossAtExchange = 0;   // the n-th exchange fails and the chip loses power
    std::uint32_t powerOffMs = 1000;    // how long the power stays off

    // --- Answers ------------------------------------------------------------
    unsigned wrongAddressEchoes = 0;    // the next n memory-read answers repeat a wrong address
    bool noHandshakeEcho = false;       // the firmware never echoes the handshake
    unsigned wrongSumOnPage = 0;        // the n-th page-buffer sum from now is wrong (n-th page written)
    unsigned readBackBitFlips = 0;      // the next n flash read-back chunks carry one flipped bit
    double readBackFlipProbability = 0.0;  // each flash read-back chunk carries one with this probability

    // --- Mode switches --------------------------------------------------------
    bool refuseModeSwitch = false;      // the flash-mode request and the loader exit are ignored
    std::uint32_t extraReenumerationMs = 0;  // a slow re-enumeration: added to the device's delay
    bool flickerReenumeration = false;  // appears, vanishes for flickerMs, appears again
    std::uint32_t flickerMs = 300;
};

// What an exchange runs into before the request reaches the chip.
enum class ExchangeFault { None, Fail, Disconnect, PowerLoss };

// Counts the exchange against the plan and says which fault, if any, hits it.
ExchangeFault takeExchangeFault(FaultPlan& plan, std::mt19937& random);

// Spoils an answer as the plan asks (and counts the fault used up).
void spoilReply(FaultPlan& plan, Reply& reply, std::mt19937& random);

} // namespace qv::sim
