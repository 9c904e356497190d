#pragma once
// A device tree for unit tests: a fixed list of present devices, the removals
// asked for, and scripted failures.
#include <set>
#include <string>
#include <vector>

#include "platform/device_manager.h"

namespace qv::test {

// A raw hardware-id property from its entries: each zero-terminated, then
// the empty string that ends the list.
inline std::string hardwareIdProperty(std::initializer_list<std::string> entries) {
    std::string raw;
    for (const auto& entry : entries) raw += entry + '\0';
    return raw + '\0';
}

class ScriptedDeviceManager : public DeviceManager {
public:
    PresentDeviceList list{true, {}, false};
    std::set<std::uint64_t> refusedRemovals;
    std::vector<std::uint64_t> removed;
    int enumerations = 0;
    RescanStatus rescanStatus{true, true, true};
    int rescans = 0;

    void addDevice(std::string property, std::uint64_t node) {
        list.devices.push_back({PresentDevice::IdStatus::Ok, std::move(property), node});
    }

    PresentDeviceList presentDevices() override {
        ++enumerations;
        return list;
    }
    bool removeDevice(std::uint64_t node) override {
        if (refusedRemovals.contains(node)) return false;
        removed.push_back(node);
        return true;
    }
    RescanStatus rescan() override {
        ++rescans;
        return rescanStatus;
    }
};

} // namespace qv::test
