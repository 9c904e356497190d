#pragma once
// Port: the HID class services the device link needs. One implementation per
// platform (hidraw, Win32 HID) plus the simulated sensor hub.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace qv {

// Opaque handle of an opened HID interface; kNoHandle is an empty slot.
using HidHandle = std::intptr_t;
inline constexpr HidHandle kNoHandle = 0;

// Byte 0 is the report id, bytes 1..63 the payload.
inline constexpr std::size_t kFeatureReportSize = 64;
using FeatureReport = std::array<std::uint8_t, kFeatureReportSize>;

// Usage page and usage of the interface's top-level collection.
struct HidCollectionCaps {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
};

struct HidAttributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
};

class HidBus {
public:
    virtual ~HidBus() = default;

    // Device path of the HID interface with this 0-based index among the
    // interfaces present right now; nullopt when there is none.
    virtual std::optional<std::string> interfacePath(unsigned index) = 0;

    // Opens the path for class queries and feature reports; kNoHandle when
    // the interface cannot be opened.
    virtual HidHandle open(const std::string& path) = 0;
    virtual void close(HidHandle handle) = 0;

    // nullopt when the preparsed data or the capabilities cannot be read.
    virtual std::optional<HidCollectionCaps> collectionCaps(HidHandle handle) = 0;
    virtual std::optional<HidAttributes> attributes(HidHandle handle) = 0;

    // One 64-byte feature report each way. On failure errorCode receives the
    // platform's error number for that call.
    virtual bool setFeature(HidHandle handle, const FeatureReport& report, std::uint32_t& errorCode) = 0;
    virtual bool getFeature(HidHandle handle, FeatureReport& report, std::uint32_t& errorCode) = 0;
};

} // namespace qv
