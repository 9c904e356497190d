// Feature-report exchanges with the chip: one 64-byte report each way, a
// configurable pause before every exchange, up to ten attempts with a line
// in the diagnostic pane for every failed one.
#include <algorithm>
#include <string>

#include "device/device_link.h"
#include "device/request_layout.h"
#include "platform/event_loop.h"

namespace qv {

namespace {

constexpr int kAttempts = 10;
constexpr std::uint32_t kRetryPauseMs = 100;

// The handle slot and the report id a request row names.
struct Route {
    unsigned slot;
    std::uint8_t reportId;
};

Route routeOf(const RequestLayout& layout, const LinkSettings& settings) {
    const unsigned slot = layout.slot == HandleSlot::Loader ? 0u : settings.mainSlot;
    switch (layout.reportId) {
    case ReportIdSource::MemoryProtocol: return {slot, kMemoryProtocolReportId};
    case ReportIdSource::Configured: return {slot, settings.reportId};
    case ReportIdSource::NoId: break;
    }
    return {slot, 0};
}

} // namespace

bool DeviceLink::FeatureTransaction(HidHandle handle, bool isSet, std::uint8_t reportId,
                                    std::span<std::uint8_t> payload, std::uint8_t length) {
    // The payload must hold `length` bytes and fit behind the report id; a
    // request that does not is refused before anything reaches the device.
    if (length > kMaxPayload || length > payload.size()) return false;

    safePoint();
    const std::int32_t delay = settings().allHidCommandDelayMs;
    if (delay > 0) {
        loop_.sleep(static_cast<std::uint32_t>(delay));
    }
    const auto payloadBytes = payload.first(length);
    ++(isSet ? exchangeCounts_.sets : exchangeCounts_.gets);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt != 0) safePoint();
        FeatureReport report{};
        report[0] = reportId;
        std::uint32_t errorCode = 0;
        bool ok = false;
        if (isSet) {
            std::copy(payloadBytes.begin(), payloadBytes.end(), report.begin() + 1);
            ok = bus_.setFeature(handle, report, errorCode);
            if (!ok) {
                diagnostic("failed HidD_SetFeature - " + std::to_string(errorCode));
                loop_.sleep(kRetryPauseMs);
            }
        } else {
            ok = bus_.getFeature(handle, report, errorCode);
            if (!ok) {
                diagnostic("failed HidD_GetFeature - " + std::to_string(errorCode));
                loop_.sleep(kRetryPauseMs);
            }
            std::copy_n(report.begin() + 1, length, payloadBytes.begin());
        }
        if (ok) return true;
        ++exchangeCounts_.failedAttempts;
    }
    return false;
}

void DeviceLink::WaitWithMessages(std::uint32_t milliseconds) {
    const std::uint32_t start = loop_.tickCount();
    for (;;) {
        const std::uint32_t elapsed = loop_.tickCount() - start;
        if (elapsed > milliseconds) return;
        safePoint();
        // Wait no longer than the remaining time, so that a loop that blocks
        // when nothing is pending (or a virtual clock) wakes up in time.
        loop_.processEvents(milliseconds - elapsed + 1);
    }
}

bool DeviceLink::sendRequest(const EncodedRequest& request) {
    const auto [slot, reportId] = routeOf(*request.layout, settings());
    // A Set only reads its payload; the copy keeps the request as it was sent.
    auto payload = request.payload;
    return FeatureTransaction(handleAt(slot), true, reportId, payload, request.setLength);
}

bool DeviceLink::fetchAnswer(EncodedRequest& request) {
    const auto [slot, reportId] = routeOf(*request.layout, settings());
    return FeatureTransaction(handleAt(slot), false, reportId, request.bytes(), request.answerLength);
}

} // namespace qv
