// The memory-access protocol: reads with an echo test and a failure budget,
// single-byte writes, the parameter-area query and the chip identification.
#include <algorithm>
#include <array>

#include "device/device_link.h"
#include "device/request_layout.h"
#include "platform/event_loop.h"

namespace qv {

namespace {

constexpr std::uint8_t kReadMemoryChunk = 10;
// Failed tries a read tolerates; the next failure ends it.
constexpr unsigned kToleratedReadFailures = 100;
constexpr std::uint32_t kParameterQueryPauseMs = 200;

// Where the three identification bytes of the chip lie.
constexpr std::uint32_t kChipIdAddress = 0xF02000;

struct ChipClassRow {
    std::uint8_t b0;
    std::uint8_t b1HighNibble;
    std::uint8_t minB2;
    int chipClass;
};
constexpr ChipClassRow kChipClasses[] = {
    {0x6D, 0x10, 3, 1},
    {0x3B, 0x70, 0, 2},
    {0x3D, 0x90, 0, 3},
};

} // namespace

bool DeviceLink::readTry(Request request, std::uint32_t address, std::uint8_t count, std::uint32_t opcodeAddress,
                         std::span<std::uint8_t> destination) {
    const auto sent = encodeRequest(request, {.address = address, .count = count, .opcodeAddress = opcodeAddress});
    if (!sent || destination.size() < count) return false;
    if (!sendRequest(*sent)) return false;
    EncodedRequest answer = *sent;
    if (!fetchAnswer(answer)) return false;
    if (!answerEchoesRequest(*sent, answer.payload)) return false;
    const auto data = std::span(answer.payload).subspan(answer.answerDataOffset(), count);
    std::copy(data.begin(), data.end(), destination.begin());
    return true;
}

bool DeviceLink::ReadMemory(std::uint32_t address, std::uint8_t length, std::span<std::uint8_t> destination) {
    if (destination.size() < length) return false;
    // The opcode pair is chosen once, by the starting address.
    const std::uint32_t opcodeAddress = address;
    unsigned failures = 0;
    for (std::uint8_t done = 0; done < length;) {
        const auto chunk = static_cast<std::uint8_t>(std::min<unsigned>(kReadMemoryChunk, length - done));
        for (;;) {
            if (handleAt(settings().mainSlot) == kNoHandle || failures > kToleratedReadFailures) return false;
            if (readTry(Request::ReadMemory, address, chunk, opcodeAddress, destination.subspan(done, chunk))) break;
            ++failures;
        }
        done = static_cast<std::uint8_t>(done + chunk);
        address += chunk;
    }
    return true;
}

bool DeviceLink::readWithRetries(Request request, std::uint32_t address, std::span<std::uint8_t> destination) {
    const unsigned slot = layoutOf(request).slot == HandleSlot::Loader ? 0u : settings().mainSlot;
    const auto count = static_cast<std::uint8_t>(destination.size());
    for (unsigned failures = 0; failures <= kToleratedReadFailures; ++failures) {
        if (readTry(request, address, count, address, destination)) return true;
        // An empty slot cannot start answering: one exchange's ten failure
        // lines say enough, instead of minutes of retries.
        if (handleAt(slot) == kNoHandle) return false;
    }
    return false;
}

bool DeviceLink::ReadMemoryByte(std::uint32_t address, std::uint8_t& destination) {
    return readWithRetries(Request::ReadMemoryByte, address, std::span(&destination, 1));
}

bool DeviceLink::ReadBootMemory(std::uint32_t address, std::array<std::uint8_t, 3>& destination) {
    return readWithRetries(Request::ReadBootMemory, address, destination);
}

bool DeviceLink::WriteMemoryByte(std::uint32_t address, std::uint8_t value) {
    const std::array<std::uint8_t, 1> data{value};
    const auto request = encodeRequest(Request::WriteMemoryByte, {.address = address, .count = 1, .data = data});
    return request && sendRequest(*request);
}

ParameterArea DeviceLink::QueryParameterArea(std::uint8_t subCommand) {
    const std::array<std::uint8_t, 1> data{subCommand};
    auto request = encodeRequest(Request::QueryParameterArea, {.data = data});
    if (!request) return {};
    sendRequest(*request);
    fetchAnswer(*request);
    loop_.sleep(kParameterQueryPauseMs);
    const ParameterAreaAnswer answer = readParameterAreaAnswer(request->payload);
    return {answer.storedCopyAddress, answer.workBufferAddress, answer.size};
}

int DeviceLink::ReadChipClass(int route) {
    std::array<std::uint8_t, 3> id{};
    bool read = false;
    if (route == 1) read = ReadMemory(kChipIdAddress, static_cast<std::uint8_t>(id.size()), id);
    if (route == 2) read = ReadBootMemory(kChipIdAddress, id);
    if (!read) return 0;
    lastChipClass_ = 0;
    for (const auto& row : kChipClasses) {
        if (id[0] == row.b0 && (id[1] & 0xF0) == row.b1HighNibble && id[2] >= row.minB2) {
            lastChipClass_ = row.chipClass;
            break;
        }
    }
    return *lastChipClass_;
}

} // namespace qv
