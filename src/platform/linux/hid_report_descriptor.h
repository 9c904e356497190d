#pragma once
// The top-level collections of a HID report descriptor: what the HID class
// driver of another system reports as a collection's capabilities (usage page
// and usage) and which report ids its reports carry. Only the items that
// decide these are interpreted; every other item is stepped over by its size.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace qv {

struct HidTopLevelCollection {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    // Report ids of the Input, Output and Feature items inside the
    // collection, in order of first use; empty when its reports are not
    // numbered (report id 0 on the wire).
    std::vector<std::uint8_t> reportIds;
};

enum class ReportDescriptorError {
    None,
    TruncatedItem,          // an item runs past the end of the descriptor
    EndWithoutCollection,   // End Collection with no open collection
    UnclosedCollection,     // the descriptor ends inside a collection
    PopWithoutPush,
    PushTooDeep,
    ReportIdZero,           // Report ID 0 is reserved
};

struct ReportDescriptorLayout {
    ReportDescriptorError error = ReportDescriptorError::None;
    std::vector<HidTopLevelCollection> collections;  // empty on error
    bool ok() const { return error == ReportDescriptorError::None; }
};

// Nesting of Push items accepted before the descriptor counts as malformed.
inline constexpr std::size_t kMaxGlobalStackDepth = 32;

ReportDescriptorLayout parseReportDescriptor(std::span<const std::uint8_t> descriptor);

std::string_view describe(ReportDescriptorError error);

} // namespace qv
