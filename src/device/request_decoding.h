#pragma once
// The request table read in reverse: which request a sent report is, with
// its fields, and what the key fields of the answer to it are. Used where
// reports are shown to people (a recording's trace, a replay's divergence
// report); the updater itself only encodes.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "device/request_layout.h"

namespace qv {

struct DecodedRequest {
    const RequestLayout* layout = nullptr;
    std::uint8_t reportId = 0;
    std::uint32_t address = 0;
    std::uint16_t count = 0;
    std::span<const std::uint8_t> data{};  // inside the decoded report
};

// The command's name as the chip's documentation calls it ("EraseFlash").
std::string requestName(Request request);

// nullopt when no row of the table fits the report.
std::optional<DecodedRequest> decodeRequest(const FeatureReport& report);

// "WritePageBuffer offset=0x0039 count=57 data=ffff..." or, for a report no
// row fits, "unknown report id 0x00 byte 1 0x7e".
std::string describeRequest(const FeatureReport& report);

// The key fields of the answer to `request` ("sum=0x1f2e", "data=...").
std::string describeAnswer(const DecodedRequest& request, const FeatureReport& answer);

} // namespace qv
