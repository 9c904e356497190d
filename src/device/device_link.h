#pragma once
// The device link: finds the sensor hub's HID collections and keeps their
// handles (DeviceHandleTable), exchanges 64-byte feature reports with
// bounded retries (FeatureTransaction), and speaks the chip's commands: the
// vendor handshake and flash-mode request to the running firmware, the
// loader's page-buffer programming commands, and the memory and
// parameter-area commands.
//
// Diagnostic lines go to the diagnostic sink; WriteFlash and ReadFlash
// report their progress and process pending window events once per
// page/chunk.
#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>

#include "device/link_settings.h"
#include "platform/hid_bus.h"

namespace qv {

class EventLoop;
struct EncodedRequest;
enum class Request : std::uint8_t;

inline constexpr std::size_t kHandleSlots = 256;
inline constexpr std::size_t kPageSize = 1024;

// Vendor-defined usage pages of the chip's top-level collection.
inline constexpr std::uint16_t kPageFF5C = 0xFF5C;
inline constexpr std::uint16_t kPageFF7A = 0xFF7A;
inline constexpr std::uint16_t kPageFF6D = 0xFF6D;
inline constexpr std::uint16_t kPageFF4E = 0xFF4E;

// Feature-report exchanges since the link was made: every FeatureTransaction
// counts once as a Set or a Get, and every failed try among them counts as a
// failed attempt.
struct ExchangeCounts {
    std::uint64_t sets = 0;
    std::uint64_t gets = 0;
    std::uint64_t failedAttempts = 0;
};

// The collection a search put into slot 0, as it described itself.
struct FoundDevice {
    HidCollectionCaps collection;
    std::optional<HidAttributes> attributes;
};

// Answer of the parameter-area query.
struct ParameterArea {
    std::uint32_t storedCopyAddress = 0;  // eFlash copy
    std::uint32_t workBufferAddress = 0;
    std::uint8_t size = 0;
};

class DeviceLink {
public:
    DeviceLink(HidBus& bus, EventLoop& loop, LinkSettingsSource settings, LinkSinks sinks,
               std::ostream& standardOutput);
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // --- Discovery ---------------------------------------------------------
    std::optional<std::string> GetHidInterfacePath(unsigned index);
    bool MatchHidCollection(HidHandle handle, std::uint16_t usagePage, std::uint16_t usage);
    bool DetectFF7ADevice();
    bool DetectFF6DDevice();
    bool DetectFF4EDevice();
    // Fills DeviceHandleTable from slot 0; logs "Find %d VOR SensorHub.".
    void OpenMatchingDevices(std::uint16_t usagePage, std::uint16_t usage);
    // Closes every open handle and empties all 256 slots.
    void CloseAllHandles();
    HidHandle handleAt(unsigned slot) const;
    std::uint8_t FoundDeviceCount() const { return foundDeviceCount_; }
    void setFoundDeviceCount(std::uint8_t count) { foundDeviceCount_ = count; }
    // The device of the last search that found one; kept when later searches
    // find nothing, so that an ending can still say which device it was.
    const std::optional<FoundDevice>& lastFoundDevice() const { return lastFoundDevice_; }

    // --- Transport ---------------------------------------------------------
    // One exchange: payload bytes are report bytes 1..length. Up to ten
    // attempts; true when one succeeded.
    bool FeatureTransaction(HidHandle handle, bool isSet, std::uint8_t reportId, std::span<std::uint8_t> payload,
                            std::uint8_t length);
    const ExchangeCounts& exchangeCounts() const { return exchangeCounts_; }
    // Waits while processing pending window events; returns as soon as more
    // than `milliseconds` have passed.
    void WaitWithMessages(std::uint32_t milliseconds);

    // --- Running-firmware and loader commands -------------------------------
    bool VendorHandshake(bool wantEcho);
    void RequestFlashMode();
    bool ClearPageBuffer();
    void WritePageBuffer(std::uint16_t offset, std::uint8_t count, const std::uint8_t* data);
    void EraseFlash(std::uint32_t address, std::uint16_t pages);
    void ProgramPage(std::uint32_t address, std::uint16_t byteCount);
    bool ExitFlashMode();
    int VerifyPageBuffer();  // host sum minus device sum; 0 = equal
    void ReadFlashChunk(std::uint32_t address, std::uint8_t count, std::uint8_t* destination);
    // Programs `length` bytes of `image` from `address` page by page; pages
    // that are all 0xFF are skipped; a page-buffer sum mismatch stops it.
    void WriteFlash(std::uint32_t address, int length, std::span<const std::uint8_t> image);
    // Reads `length` bytes in 56-byte chunks; destination must hold length bytes.
    void ReadFlash(std::uint32_t address, int length, std::span<std::uint8_t> destination);
    const std::array<std::uint8_t, kPageSize>& PageBufferMirror() const { return pageBufferMirror_; }

    // --- Memory and parameter-area commands ---------------------------------
    bool ReadMemory(std::uint32_t address, std::uint8_t length, std::span<std::uint8_t> destination);
    bool ReadMemoryByte(std::uint32_t address, std::uint8_t& destination);
    bool ReadBootMemory(std::uint32_t address, std::array<std::uint8_t, 3>& destination);
    bool WriteMemoryByte(std::uint32_t address, std::uint8_t value);
    ParameterArea QueryParameterArea(std::uint8_t subCommand);
    // route 1: through the normal-mode device, 2: through the loader; 0..3.
    int ReadChipClass(int route);
    // The class of the last chip-id read that got an answer.
    std::optional<int> lastChipClass() const { return lastChipClass_; }

private:
    // One request of the layout table: Set on the row's slot with the row's
    // report id, and Get its answer into the same buffer.
    bool sendRequest(const EncodedRequest& request);
    bool fetchAnswer(EncodedRequest& request);
    // One read try with the echo test; the destination receives `count` bytes.
    bool readTry(Request request, std::uint32_t address, std::uint8_t count, std::uint32_t opcodeAddress,
                 std::span<std::uint8_t> destination);
    // Tries until one succeeds or the failure budget is spent.
    bool readWithRetries(Request request, std::uint32_t address, std::span<std::uint8_t> destination);
    bool detectCollection(std::span<const HidCollectionCaps> pairs);
    LinkSettings settings() const { return settings_(); }
    void diagnostic(const std::string& line) const;
    void safePoint() const;
    void progress(int percent) const;

    HidBus& bus_;
    EventLoop& loop_;
    LinkSettingsSource settings_;
    LinkSinks sinks_;
    std::ostream& standardOutput_;
    std::array<HidHandle, kHandleSlots> deviceHandleTable_{};
    std::uint8_t foundDeviceCount_ = 0;
    std::array<std::uint8_t, kPageSize> pageBufferMirror_{};
    ExchangeCounts exchangeCounts_;
    std::optional<FoundDevice> lastMatch_;  // what the last MatchHidCollection accepted
    std::optional<FoundDevice> lastFoundDevice_;
    std::optional<int> lastChipClass_;
};

} // namespace qv
