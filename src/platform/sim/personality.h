#pragma once
// What the chip does with one request, for either of its two programs: the
// running firmware and the boot loader. A request (a Set) yields a Reply:
// the answer the next Get on the interface returns, and whether the chip
// leaves for its other program.
//
// Answer bytes the host does not examine: every answer is zero apart from
// byte 0 (the report id of the Get, filled in by the bus), byte 1 (the
// opcode of the request it answers) and the command's own answer fields.
// Requests without an answer leave only the opcode. The handshake answer is
// the 15 echoed bytes, or zeros when the chip does not echo.
#include <cstdint>

#include "platform/hid_bus.h"
#include "platform/sim/chip_model.h"

namespace qv::sim {

enum class ReplyKind {
    Plain,           // no answer fields
    Handshake,
    MemoryRead,
    ParameterArea,
    PageBufferSum,
    FlashChunk,
    Refused,         // malformed or unknown request: ignored
};

enum class ModeChange { None, ToLoader, ToFirmware };

struct Reply {
    FeatureReport answer{};
    ReplyKind kind = ReplyKind::Plain;
    ModeChange modeChange = ModeChange::None;
};

// Memory reads, answered alike by both programs: bytes 2-4 and 5 repeat the
// address and the count, the data follow from byte 6. A count the answer
// cannot carry is refused (the answer repeats the address with count 0).
Reply answerMemoryRead(const Chip& chip, const FeatureReport& request);

// How the firmware answers the vendor handshake.
enum class HandshakeStyle {
    // The handshake toggles the vendor session: the string is echoed when it
    // opens the session and not echoed when it closes it (a fresh firmware
    // start has it closed). The updater's "repeat once" rule works with it.
    Toggle,
    // Every handshake on the right report id is echoed.
    AlwaysEcho,
};

struct FirmwareSettings {
    std::uint8_t handshakeReportId = 0x5A;
    HandshakeStyle handshakeStyle = HandshakeStyle::Toggle;
};

class FirmwarePersonality {
public:
    explicit FirmwarePersonality(FirmwareSettings settings = {}) : settings_(settings) {}
    Reply handle(Chip& chip, const FeatureReport& request);
    // The firmware starts afresh (after a re-enumeration or power-up).
    void restart() { sessionOpen_ = false; }
    bool sessionOpen() const { return sessionOpen_; }
    const FirmwareSettings& settings() const { return settings_; }

private:
    Reply handshake(const FeatureReport& request);

    FirmwareSettings settings_;
    bool sessionOpen_ = false;
};

// The boot loader keeps no state of its own apart from the chip's.
Reply loaderHandle(Chip& chip, const FeatureReport& request);

} // namespace qv::sim
