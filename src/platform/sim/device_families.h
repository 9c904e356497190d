#pragma once
// The four collection families of the sensor hub: the usage page and usages
// of the chip's top-level collection in each mode, and the USB product ids
// it enumerates with. The FF7A family has no loader collection of its own:
// its loader shows up as the FF5C family's.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv::sim {

enum class Family { FF5C, FF7A, FF6D, FF4E };

inline constexpr std::uint16_t kVendorId = 0x1C7A;

// Loader usages an FF5C-family loader (and so an FF7A-family one) may show.
inline constexpr std::uint16_t kLoaderUsageDB = 0xDB;
inline constexpr std::uint16_t kLoaderUsageD0 = 0xD0;
inline constexpr std::uint16_t kLoaderUsageDD = 0xDD;

struct FamilyTraits {
    Family family;
    const char* name;               // "5C", "7A", "6D", "4E"
    std::uint16_t usagePage;        // normal-mode collection
    std::uint16_t normalUsage;
    std::uint16_t loaderUsagePage;  // flash-mode collection
    std::uint16_t loaderUsage;
    std::uint16_t normalProductId;
    std::uint16_t loaderProductId;
};

const FamilyTraits& familyTraits(Family family);
// "5C", "7A", "6D", "4E" in any letter case.
std::optional<Family> familyFromName(std::string_view name);

// "USB\VID_1C7A&PID_5C50&REV_0102\0USB\VID_1C7A&PID_5C50\0\0": the raw
// hardware-id list of a USB device, most specific first.
std::string usbHardwareIds(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t revision);
// "USB\VID_1C7A&PID_5C50"
std::string usbHardwareId(std::uint16_t vendorId, std::uint16_t productId);

} // namespace qv::sim
