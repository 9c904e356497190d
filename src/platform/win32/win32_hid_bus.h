#pragma once
// The HID class services of Windows: the list of present HID interfaces from
// the setup API, handles from CreateFileA, the top-level collection from the
// HID parser, and 64-byte feature reports through the HID class driver.
#include "platform/hid_bus.h"

namespace qv {

class Win32HidBus : public HidBus {
public:
    std::optional<std::string> interfacePath(unsigned index) override;
    HidHandle open(const std::string& path) override;
    void close(HidHandle handle) override;
    std::optional<HidCollectionCaps> collectionCaps(HidHandle handle) override;
    std::optional<HidAttributes> attributes(HidHandle handle) override;
    bool setFeature(HidHandle handle, const FeatureReport& report, std::uint32_t& errorCode) override;
    bool getFeature(HidHandle handle, FeatureReport& report, std::uint32_t& errorCode) override;
};

} // namespace qv
