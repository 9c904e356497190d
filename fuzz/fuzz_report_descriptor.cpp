// Report descriptors come from the device: any bytes must parse without
// overrunning, and a layout that parses must be self-consistent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/linux/hid_report_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const qv::ReportDescriptorLayout layout = qv::parseReportDescriptor(std::span<const std::uint8_t>(data, size));
    if (!layout.ok() && !layout.collections.empty()) std::abort();
    // Every top-level collection starts with a Collection item of at least
    // two bytes, and a report id is never 0 nor listed twice.
    if (layout.collections.size() > size / 2 + 1) std::abort();
    for (const auto& collection : layout.collections) {
        for (std::size_t i = 0; i < collection.reportIds.size(); ++i) {
            if (collection.reportIds[i] == 0) std::abort();
            for (std::size_t j = 0; j < i; ++j) {
                if (collection.reportIds[i] == collection.reportIds[j]) std::abort();
            }
        }
    }
    return 0;
}
