// The running firmware's handshake and flash-mode request, and the boot
// loader's page-buffer commands. Every request is encoded from the layout
// table; this file adds what each command does around its exchanges.
#include <algorithm>
#include <array>
#include <cstdio>
#include <numeric>
#include <ostream>
#include <string>

#include "device/device_link.h"
#include "device/request_layout.h"
#include "platform/event_loop.h"

namespace qv {

namespace {

// The handshake text with its terminating zero; a running device that knows
// the host echoes it back.
constexpr std::array<std::uint8_t, 15> kVendorString = {'V', 'O', 'R', ' ', 'T', 'e', 'c', 'h',
                                                        '.', ' ', 'I', 'n', 'c', '.', 0};
constexpr std::uint32_t kHandshakePauseMs = 100;
constexpr std::uint32_t kFlashOperationPauseMs = 5;

// Largest buffer write: a report carries 61 payload bytes at most.
constexpr std::uint8_t kMaxPageBufferChunk = 57;

} // namespace

bool DeviceLink::VendorHandshake(bool wantEcho) {
    if (handleAt(settings().mainSlot) == kNoHandle) return false;
    diagnostic("VORReportID=" + std::to_string(settings().reportId));

    const auto request = encodeRequest(Request::VendorHandshake, {.data = kVendorString});
    if (!request) return false;
    // One pair: Set the string, then fetch the device's answer into a zeroed
    // buffer, with a pause after each. A Get that fails counts as no echo.
    const auto echoes = [&] {
        sendRequest(*request);
        loop_.sleep(kHandshakePauseMs);
        EncodedRequest answer = *request;
        answer.payload.fill(0);
        const bool answered = fetchAnswer(answer);
        loop_.sleep(kHandshakePauseMs);
        return answered && std::equal(kVendorString.begin(), kVendorString.end(), answer.payload.begin());
    };
    // A device in the other echo state gets the pair once more; then a last
    // pause lets it settle: 300 ms in all, 500 ms with the repeat.
    bool echo = echoes();
    if (echo != wantEcho) echo = echoes();
    loop_.sleep(kHandshakePauseMs);
    return echo == wantEcho;
}

void DeviceLink::RequestFlashMode() {
    if (const auto request = encodeRequest(Request::RequestFlashMode, {})) sendRequest(*request);
}

bool DeviceLink::ClearPageBuffer() {
    pageBufferMirror_.fill(0xFF);
    const auto request = encodeRequest(Request::ClearPageBuffer, {});
    return request && sendRequest(*request);
}

void DeviceLink::WritePageBuffer(std::uint16_t offset, std::uint8_t count, const std::uint8_t* data) {
    // The chunk must lie inside the 1 KiB page buffer and fit one report.
    if (count > kMaxPageBufferChunk || std::size_t{offset} + count > kPageSize || (data == nullptr && count > 0)) {
        return;
    }
    const std::span<const std::uint8_t> bytes(data, count);
    const auto request = encodeRequest(Request::WritePageBuffer, {.address = offset, .count = count, .data = bytes});
    if (!request) return;
    std::copy(bytes.begin(), bytes.end(), pageBufferMirror_.begin() + offset);
    sendRequest(*request);
    const std::int32_t delay = settings().writeFlashDataDelayMs;
    if (delay > 0) loop_.sleep(static_cast<std::uint32_t>(delay));
}

void DeviceLink::EraseFlash(std::uint32_t address, std::uint16_t pages) {
    if (const auto request = encodeRequest(Request::EraseFlash, {.address = address, .count = pages})) {
        sendRequest(*request);
        loop_.sleep(kFlashOperationPauseMs);
    }
}

void DeviceLink::ProgramPage(std::uint32_t address, std::uint16_t byteCount) {
    if (const auto request = encodeRequest(Request::ProgramPage, {.address = address, .count = byteCount})) {
        sendRequest(*request);
        loop_.sleep(kFlashOperationPauseMs);
    }
}

bool DeviceLink::ExitFlashMode() {
    const auto request = encodeRequest(Request::ExitFlashMode, {});
    return request && sendRequest(*request);
}

int DeviceLink::VerifyPageBuffer() {
    auto request = encodeRequest(Request::VerifyPageBuffer, {});
    if (!request) return 0;
    sendRequest(*request);
    const unsigned hostSum =
        std::accumulate(pageBufferMirror_.begin(), pageBufferMirror_.end(), 0u) & 0xFFFFu;
    // The answer lands in the request's own buffer; a failed Get leaves
    // bytes that do not come from the device, and the sums then differ.
    fetchAnswer(*request);
    const unsigned deviceSum = readPageBufferSum(request->payload);
    const int difference = static_cast<int>(hostSum) - static_cast<int>(deviceSum);
    if (difference != 0) {
        char text[96];
        std::snprintf(text, sizeof text, "Checksum0: %d(%Xh)\nChecksum1: %d(%Xh)\n", hostSum, hostSum, deviceSum,
                      deviceSum);
        standardOutput_ << text;
        standardOutput_.flush();
    }
    return difference;
}

void DeviceLink::ReadFlashChunk(std::uint32_t address, std::uint8_t count, std::uint8_t* destination) {
    auto request = encodeRequest(Request::ReadFlashChunk, {.address = address, .count = count});
    if (!request || destination == nullptr) return;
    sendRequest(*request);
    fetchAnswer(*request);
    const auto data = std::span(request->payload).subspan(request->answerDataOffset(), count);
    std::copy(data.begin(), data.end(), destination);
}

} // namespace qv
