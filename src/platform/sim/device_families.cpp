#include "platform/sim/device_families.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

namespace qv::sim {

namespace {

constexpr std::array<FamilyTraits, 4> kFamilies = {{
    {Family::FF5C, "5C", 0xFF5C, 0x80, 0xFF5C, kLoaderUsageDB, 0x5C50, 0x5CDB},
    {Family::FF7A, "7A", 0xFF7A, 0x95, 0xFF5C, kLoaderUsageDB, 0x7A95, 0x5CDB},
    {Family::FF6D, "6D", 0xFF6D, 0x10, 0xFF6D, kLoaderUsageDB, 0x6D10, 0x6DDB},
    {Family::FF4E, "4E", 0xFF4E, 0x12, 0xFF4E, kLoaderUsageDB, 0x4E12, 0x4EDB},
}};

std::string hex4(std::uint16_t value) {
    char text[5];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
    return text;
}

} // namespace

const FamilyTraits& familyTraits(Family family) {
    for (const auto& traits : kFamilies) {
        if (traits.family == family) {
            return traits;
        }
    }
    return kFamilies[0];
}

std::optional<Family> familyFromName(std::string_view name) {
    for (const auto& traits : kFamilies) {
        const std::string_view known = traits.name;
        if (name.size() == known.size() &&
            std::equal(name.begin(), name.end(), known.begin(), [](char a, char b) {
                return std::toupper(static_cast<unsigned char>(a)) == b;
            })) {
            return traits.family;
        }
    }
    return std::nullopt;
}

std::string usbHardwareId(std::uint16_t vendorId, std::uint16_t productId) {
    return "USB\\VID_" + hex4(vendorId) + "&PID_" + hex4(productId);
}

std::string usbHardwareIds(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t revision) {
    const std::string id = usbHardwareId(vendorId, productId);
    std::string list = id + "&REV_" + hex4(revision);
    list.push_back('\0');
    list += id;
    list.push_back('\0');
    list.push_back('\0');
    return list;
}

} // namespace qv::sim
