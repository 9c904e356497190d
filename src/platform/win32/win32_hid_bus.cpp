#include "platform/win32/win32_hid_bus.h"

#include <cstddef>

#include <windows.h>
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

namespace qv {

namespace {

HANDLE toWindows(HidHandle handle) { return reinterpret_cast<HANDLE>(handle); }

// The interface detail record carries its fixed part's size in cbSize: the
// DWORD plus the first path character, padded as the setup API packs its
// records (1 byte on 32-bit builds, 8 on 64-bit builds).
constexpr DWORD kDetailFixedSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
static_assert(kDetailFixedSize == (sizeof(void*) == 8 ? 8 : 5));

// Device-information set of the present HID interfaces, destroyed on scope exit.
class HidInterfaceSet {
public:
    explicit HidInterfaceSet(const GUID& hidGuid)
        : set_(SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {}
    ~HidInterfaceSet() {
        if (valid()) SetupDiDestroyDeviceInfoList(set_);
    }
    HidInterfaceSet(const HidInterfaceSet&) = delete;
    HidInterfaceSet& operator=(const HidInterfaceSet&) = delete;

    bool valid() const { return set_ != INVALID_HANDLE_VALUE; }
    HDEVINFO get() const { return set_; }

private:
    HDEVINFO set_;
};

// A LocalAlloc block, freed on scope exit.
class LocalBlock {
public:
    explicit LocalBlock(SIZE_T size) : block_(LocalAlloc(LPTR, size)) {}
    ~LocalBlock() {
        if (block_ != nullptr) LocalFree(block_);
    }
    LocalBlock(const LocalBlock&) = delete;
    LocalBlock& operator=(const LocalBlock&) = delete;

    void* get() const { return block_; }

private:
    HLOCAL block_;
};

// Preparsed data of an open HID handle, freed on scope exit.
class PreparsedData {
public:
    explicit PreparsedData(HANDLE device) {
        if (!HidD_GetPreparsedData(device, &data_)) data_ = nullptr;
    }
    ~PreparsedData() {
        if (data_ != nullptr) HidD_FreePreparsedData(data_);
    }
    PreparsedData(const PreparsedData&) = delete;
    PreparsedData& operator=(const PreparsedData&) = delete;

    PHIDP_PREPARSED_DATA get() const { return data_; }

private:
    PHIDP_PREPARSED_DATA data_ = nullptr;
};

} // namespace

std::optional<std::string> Win32HidBus::interfacePath(unsigned index) {
    // A fresh set per index: each index sees the interfaces present right now.
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    HidInterfaceSet set(hidGuid);
    if (!set.valid()) return std::nullopt;

    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof(interfaceData);
    if (!SetupDiEnumDeviceInterfaces(set.get(), nullptr, &hidGuid, index, &interfaceData)) return std::nullopt;

    // The first call only reports the size the detail record needs.
    DWORD requiredSize = 0;
    SetupDiGetDeviceInterfaceDetailA(set.get(), &interfaceData, nullptr, 0, &requiredSize, nullptr);
    constexpr DWORD kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    if (requiredSize <= kPathOffset) return std::nullopt;

    LocalBlock block(requiredSize);
    if (block.get() == nullptr) return std::nullopt;
    auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.get());
    detail->cbSize = kDetailFixedSize;
    if (!SetupDiGetDeviceInterfaceDetailA(set.get(), &interfaceData, detail, requiredSize, nullptr, nullptr)) {
        return std::nullopt;
    }
    // The path ends at its terminating zero, or at the end of the block when
    // the system left none.
    const char* path = detail->DevicePath;
    const std::size_t room = requiredSize - kPathOffset;
    std::size_t length = 0;
    while (length < room && path[length] != '\0') ++length;
    return std::string(path, length);
}

HidHandle Win32HidBus::open(const std::string& path) {
    // No read or write access: the handle serves class queries and feature
    // reports only, which also works while another program holds the device.
    HANDLE device = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return kNoHandle;
    return reinterpret_cast<HidHandle>(device);
}

void Win32HidBus::close(HidHandle handle) {
    if (handle != kNoHandle) CloseHandle(toWindows(handle));
}

std::optional<HidCollectionCaps> Win32HidBus::collectionCaps(HidHandle handle) {
    PreparsedData preparsed(toWindows(handle));
    if (preparsed.get() == nullptr) return std::nullopt;
    HIDP_CAPS caps{};
    if (HidP_GetCaps(preparsed.get(), &caps) != HIDP_STATUS_SUCCESS) return std::nullopt;
    return HidCollectionCaps{caps.UsagePage, caps.Usage};
}

std::optional<HidAttributes> Win32HidBus::attributes(HidHandle handle) {
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof(attributes);
    if (!HidD_GetAttributes(toWindows(handle), &attributes)) return std::nullopt;
    return HidAttributes{attributes.VendorID, attributes.ProductID, attributes.VersionNumber};
}

bool Win32HidBus::setFeature(HidHandle handle, const FeatureReport& report, std::uint32_t& errorCode) {
    // The class driver takes a writable buffer; it gets its own copy.
    FeatureReport buffer = report;
    if (HidD_SetFeature(toWindows(handle), buffer.data(), static_cast<ULONG>(buffer.size()))) return true;
    errorCode = GetLastError();
    return false;
}

bool Win32HidBus::getFeature(HidHandle handle, FeatureReport& report, std::uint32_t& errorCode) {
    if (HidD_GetFeature(toWindows(handle), report.data(), static_cast<ULONG>(report.size()))) return true;
    errorCode = GetLastError();
    return false;
}

} // namespace qv
