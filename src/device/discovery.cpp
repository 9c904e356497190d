// Finding the sensor hub's HID collections by usage page and usage among the
// present HID interfaces, optionally narrowed by the USB product id.
#include <array>
#include <cstdio>
#include <string>

#include "device/device_link.h"

namespace qv {

namespace {

// The collections of the running firmware that the product-id filter applies to.
constexpr std::array<HidCollectionCaps, 3> kMainDevicePairs = {{
    {kPageFF5C, 0x80},
    {kPageFF7A, 0x95},
    {kPageFF6D, 0x10},
}};

constexpr std::array<HidCollectionCaps, 1> kFF7APairs = {{{kPageFF7A, 0x95}}};
constexpr std::array<HidCollectionCaps, 2> kFF6DPairs = {{{kPageFF6D, 0x10}, {kPageFF6D, 0xDB}}};
constexpr std::array<HidCollectionCaps, 2> kFF4EPairs = {{{kPageFF4E, 0x12}, {kPageFF4E, 0xDB}}};

bool isMainDevicePair(std::uint16_t usagePage, std::uint16_t usage) {
    for (const auto& pair : kMainDevicePairs) {
        if (pair.usagePage == usagePage && pair.usage == usage) return true;
    }
    return false;
}

std::string hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
    return text;
}

} // namespace

std::optional<std::string> DeviceLink::GetHidInterfacePath(unsigned index) { return bus_.interfacePath(index); }

bool DeviceLink::MatchHidCollection(HidHandle handle, std::uint16_t usagePage, std::uint16_t usage) {
    const auto caps = bus_.collectionCaps(handle);
    if (!caps || caps->usagePage != usagePage || caps->usage != usage) return false;
    diagnostic(hex4(caps->usagePage) + " , " + hex4(caps->usage));

    const auto attributes = bus_.attributes(handle);
    if (attributes) {
        diagnostic(hex4(attributes->vendorId) + "  " + hex4(attributes->productId) + "  " +
                   hex4(attributes->versionNumber));
    }
    lastMatch_ = FoundDevice{*caps, attributes};
    const std::int32_t targetProductId = settings().mainTargetProductId;
    if (targetProductId == 0 || !isMainDevicePair(usagePage, usage)) return true;
    if (attributes && attributes->productId == targetProductId) {
        diagnostic("Found the device with MainTargetPID");
        return true;
    }
    lastMatch_.reset();
    return false;
}

bool DeviceLink::detectCollection(std::span<const HidCollectionCaps> pairs) {
    const unsigned limit = settings().scanLimit;
    for (unsigned index = 0; index < limit; ++index) {
        const auto path = GetHidInterfacePath(index);
        if (!path) continue;
        const HidHandle handle = bus_.open(*path);
        if (handle == kNoHandle) continue;
        bool matched = false;
        for (const auto& pair : pairs) {
            if (MatchHidCollection(handle, pair.usagePage, pair.usage)) {
                matched = true;
                break;
            }
        }
        bus_.close(handle);
        if (matched) return true;
    }
    return false;
}

bool DeviceLink::DetectFF7ADevice() { return detectCollection(kFF7APairs); }

// IGNORE6D10 hides the family from the start-up choice only; the scan (and
// its log lines) happens all the same, and searches still open the device.
bool DeviceLink::DetectFF6DDevice() { return detectCollection(kFF6DPairs) && !settings().hideFF6DFamily; }

bool DeviceLink::DetectFF4EDevice() { return detectCollection(kFF4EPairs); }

void DeviceLink::OpenMatchingDevices(std::uint16_t usagePage, std::uint16_t usage) {
    // The count is kept wide for the log line; the table holds 256 handles at
    // most, and the search stops opening interfaces once it is full.
    unsigned found = 0;
    const unsigned limit = settings().scanLimit;
    for (unsigned index = 0; index < limit && found < kHandleSlots; ++index) {
        const auto path = GetHidInterfacePath(index);
        if (!path) continue;
        HidHandle& slot = deviceHandleTable_[found];
        if (slot != kNoHandle) {
            // The caller empties the table before a search; a handle left in a
            // slot about to be reused is closed rather than lost.
            bus_.close(slot);
        }
        slot = bus_.open(*path);
        if (slot == kNoHandle) continue;
        if (MatchHidCollection(slot, usagePage, usage)) {
            if (found == 0) lastFoundDevice_ = lastMatch_;
            ++found;
        } else {
            bus_.close(slot);
            slot = kNoHandle;
        }
    }
    // Eight bits as the callers expect; a full table reads 255, still "found".
    foundDeviceCount_ = static_cast<std::uint8_t>(found < 255 ? found : 255);
    diagnostic("Find " + std::to_string(found) + " VOR SensorHub.");
}

} // namespace qv
