#include "platform/sim/chip_model.h"

#include <algorithm>
#include <numeric>

namespace qv::sim {

namespace {

bool inRange(std::uint32_t address, std::uint32_t base, std::size_t size) {
    return address >= base && address - base < size;
}

} // namespace

Chip::Chip(ChipId id, ParameterLayout layout)
    : flash_(kCodeFlashSize, kErasedByte),
      layout_(layout),
      workBuffer_(layout.size, kErasedByte),
      storedCopy_(layout.size, kErasedByte),
      id_(id) {
    pageBuffer_.fill(kErasedByte);
}

void Chip::loadFlash(std::span<const std::uint8_t> bytes, std::uint32_t address) {
    if (address >= flash_.size()) {
        return;
    }
    const std::size_t count = std::min(bytes.size(), flash_.size() - address);
    std::copy_n(bytes.begin(), count, flash_.begin() + address);
}

void Chip::eraseAllFlash() { std::fill(flash_.begin(), flash_.end(), kErasedByte); }

void Chip::erasePages(std::uint32_t address, std::uint32_t pages) {
    const std::size_t first = address / kFlashPageSize;
    const std::size_t total = flash_.size() / kFlashPageSize;
    const std::size_t end = std::min<std::size_t>(total, first + pages);
    for (std::size_t page = first; page < end; ++page) {
        std::fill_n(flash_.begin() + static_cast<std::ptrdiff_t>(page * kFlashPageSize), kFlashPageSize, kErasedByte);
    }
}

bool Chip::programFromPageBuffer(std::uint32_t address, std::uint32_t count) {
    if (count > pageBuffer_.size() || address > flash_.size() || flash_.size() - address < count) {
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        flash_[address + i] &= pageBuffer_[i];
    }
    return true;
}

bool Chip::firmwareIntact() const {
    const auto page = std::span(flash_).subspan(kFirmwareStart, kFlashPageSize);
    return std::any_of(page.begin(), page.end(), [](std::uint8_t b) { return b != kErasedByte; });
}

void Chip::clearPageBuffer() { pageBuffer_.fill(kErasedByte); }

bool Chip::writePageBuffer(std::uint32_t offset, std::span<const std::uint8_t> bytes) {
    if (offset > pageBuffer_.size() || pageBuffer_.size() - offset < bytes.size()) {
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), pageBuffer_.begin() + offset);
    return true;
}

std::uint16_t Chip::pageBufferSum() const {
    const unsigned sum = std::accumulate(pageBuffer_.begin(), pageBuffer_.end(), 0u);
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

std::uint8_t Chip::readData(std::uint32_t address) const {
    if (inRange(address, layout_.workBufferAddress, workBuffer_.size())) {
        return workBuffer_[address - layout_.workBufferAddress];
    }
    if (inRange(address, layout_.storedCopyAddress, storedCopy_.size())) {
        return storedCopy_[address - layout_.storedCopyAddress];
    }
    if (address < flash_.size()) {
        return flash_[address];
    }
    const auto it = scratch_.find(address);
    return it == scratch_.end() ? 0x00 : it->second;
}

void Chip::writeData(std::uint32_t address, std::uint8_t value) {
    if (inRange(address, layout_.workBufferAddress, workBuffer_.size())) {
        workBuffer_[address - layout_.workBufferAddress] = value;
        return;
    }
    if (inRange(address, layout_.storedCopyAddress, storedCopy_.size()) || address < flash_.size()) {
        return;  // flash and eFlash are not byte-writable
    }
    scratch_[address & 0xFFFFFF] = value;
}

std::uint8_t Chip::readSpecial(std::uint32_t address) const {
    if (inRange(address, kIdentificationAddress, id_.size())) {
        return id_[address - kIdentificationAddress];
    }
    const auto it = registers_.find(address);
    return it == registers_.end() ? 0x00 : it->second;
}

void Chip::writeSpecial(std::uint32_t address, std::uint8_t value) {
    if (inRange(address, kIdentificationAddress, id_.size())) {
        return;  // identification bytes are read only
    }
    registers_[address & 0xFFFFFF] = value;
}

std::uint8_t Chip::readAt(std::uint32_t address, bool specialSpace) const {
    return specialSpace ? readSpecial(address) : readData(address);
}

void Chip::loadStoredParameters(std::span<const std::uint8_t> bytes) {
    std::fill(storedCopy_.begin(), storedCopy_.end(), kErasedByte);
    std::copy_n(bytes.begin(), std::min(bytes.size(), storedCopy_.size()), storedCopy_.begin());
}

void Chip::storeParameters() { storedCopy_ = workBuffer_; }

void Chip::powerUp() {
    pageBuffer_.fill(kErasedByte);
    scratch_.clear();
    registers_.clear();
    workBuffer_ = storedCopy_;
}

} // namespace qv::sim
