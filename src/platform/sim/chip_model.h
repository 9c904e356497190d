#pragma once
// The sensor-hub chip as the simulated hub models it: 192 KiB of code flash
// in 1 KiB pages, the loader's 1 KiB page buffer, the parameter work buffer
// (RAM) with its stored copy in eFlash, the identification bytes of the
// 0xF0 space and a scratch RAM for every other data address.
//
// Two address spaces are reachable through the memory commands:
// - the data space (opcodes 0x05 read / 0x06 write): code flash at
//   0x000000-0x02FFFF (read only), the parameter work buffer (read/write),
//   the eFlash copy (read only; stored by the parameter command), anything
//   else is scratch RAM that reads 0x00 until written;
// - the 0xF0 space (opcodes 0x07 / 0x08, addresses 0xF00000-0xF0FFFF):
//   registers that read 0x00 until written, with the three identification
//   bytes at 0xF02000-0xF02002 (read only).
// Flash programming only clears bits (the page buffer is ANDed into the
// flash, as NOR flash behaves), so a page must be erased before it can take
// arbitrary new content.
#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

namespace qv::sim {

inline constexpr std::size_t kCodeFlashSize = 192 * 1024;
inline constexpr std::size_t kFlashPageSize = 1024;
inline constexpr std::uint8_t kErasedByte = 0xFF;
inline constexpr std::uint32_t kSpecialSpaceBase = 0xF00000;
inline constexpr std::uint32_t kIdentificationAddress = 0xF02000;
// Where the running firmware begins; the boot code starts the firmware only
// when this page is not blank.
inline constexpr std::uint32_t kFirmwareStart = 0x2000;

using ChipId = std::array<std::uint8_t, 3>;

// Where the parameter area lives; size is at most 255 (one answer byte).
struct ParameterLayout {
    std::uint32_t workBufferAddress = 0x060000;
    std::uint32_t storedCopyAddress = 0x040000;
    std::uint8_t size = 128;
};

class Chip {
public:
    explicit Chip(ChipId id = {0, 0, 0}, ParameterLayout layout = {});

    // --- Code flash -------------------------------------------------------
    std::span<const std::uint8_t> flash() const { return flash_; }
    // Writes bytes straight into flash (no erase needed): for setting up a
    // device's content. Bytes beyond the flash end are dropped.
    void loadFlash(std::span<const std::uint8_t> bytes, std::uint32_t address = 0);
    void eraseAllFlash();
    // Erases `pages` 1 KiB pages starting with the page holding `address`;
    // pages past the flash end are ignored.
    void erasePages(std::uint32_t address, std::uint32_t pages);
    // ANDs the first `count` page-buffer bytes into flash at `address`;
    // false (nothing written) when count exceeds the page buffer or the
    // range leaves the flash.
    bool programFromPageBuffer(std::uint32_t address, std::uint32_t count);
    bool firmwareIntact() const;

    // --- Page buffer ------------------------------------------------------
    void clearPageBuffer();
    // False (nothing written) when the range leaves the page buffer.
    bool writePageBuffer(std::uint32_t offset, std::span<const std::uint8_t> bytes);
    std::uint16_t pageBufferSum() const;
    std::span<const std::uint8_t> pageBuffer() const { return pageBuffer_; }

    // --- Memory commands --------------------------------------------------
    std::uint8_t readData(std::uint32_t address) const;
    void writeData(std::uint32_t address, std::uint8_t value);
    std::uint8_t readSpecial(std::uint32_t address) const;
    void writeSpecial(std::uint32_t address, std::uint8_t value);
    // Dispatches on bits 16-23 as the two opcode pairs do.
    std::uint8_t readAt(std::uint32_t address, bool specialSpace) const;

    // --- Parameter area ---------------------------------------------------
    const ParameterLayout& parameterLayout() const { return layout_; }
    std::span<const std::uint8_t> workBuffer() const { return workBuffer_; }
    std::span<const std::uint8_t> storedParameters() const { return storedCopy_; }
    // Replaces the eFlash copy (padded with 0xFF / cut to the size).
    void loadStoredParameters(std::span<const std::uint8_t> bytes);
    // The firmware's "store" command: work buffer -> eFlash copy.
    void storeParameters();

    const ChipId& identification() const { return id_; }
    void setIdentification(const ChipId& id) { id_ = id; }

    // Power-up: RAM (page buffer, scratch, registers) is lost; the firmware
    // loads the work buffer from the eFlash copy.
    void powerUp();

private:
    std::vector<std::uint8_t> flash_;
    std::array<std::uint8_t, kFlashPageSize> pageBuffer_{};
    ParameterLayout layout_;
    std::vector<std::uint8_t> workBuffer_;
    std::vector<std::uint8_t> storedCopy_;
    std::map<std::uint32_t, std::uint8_t> scratch_;
    std::map<std::uint32_t, std::uint8_t> registers_;
    ChipId id_;
};

} // namespace qv::sim
