// Writing and reading whole flash regions through the loader: 1 KiB pages
// through the page buffer in 57-byte chunks, read-back in 56-byte chunks,
// with ProgressBar1 moving and window events processed once per page/chunk.
#include <algorithm>

#include "device/device_link.h"
#include "platform/event_loop.h"

namespace qv {

namespace {

constexpr std::size_t kWriteChunk = 57;
constexpr std::size_t kReadChunk = 56;

// A page is blank when all its bytes are 0xFF; bytes past the end of the
// image count as 0xFF.
bool pageIsBlank(std::span<const std::uint8_t> image, std::size_t pageStart) {
    if (pageStart >= image.size()) return true;
    const auto page = image.subspan(pageStart, std::min(kPageSize, image.size() - pageStart));
    return std::all_of(page.begin(), page.end(), [](std::uint8_t byte) { return byte == 0xFF; });
}

} // namespace

void DeviceLink::WriteFlash(std::uint32_t address, int length, std::span<const std::uint8_t> image) {
    if (length <= 0) return;
    const std::size_t pages = (static_cast<std::size_t>(length) + kPageSize - 1) / kPageSize;
    std::size_t remaining = static_cast<std::size_t>(length);
    for (std::size_t page = 0; page < pages; ++page, remaining -= std::min(remaining, kPageSize)) {
        progress(static_cast<int>((page + 1) * 100 / pages));
        loop_.processEvents(0);

        const std::size_t pageStart = page * kPageSize;
        if (pageIsBlank(image, pageStart)) continue;

        ClearPageBuffer();
        // Only bytes the image really holds are sent; the rest of the page
        // buffer stays 0xFF from the clear.
        const std::size_t available = image.size() - pageStart;
        const std::size_t pageBytes = std::min({remaining, kPageSize, available});
        for (std::size_t offset = 0; offset < pageBytes; offset += kWriteChunk) {
            const std::size_t count = std::min(kWriteChunk, pageBytes - offset);
            WritePageBuffer(static_cast<std::uint16_t>(offset), static_cast<std::uint8_t>(count),
                            image.data() + pageStart + offset);
        }
        if (VerifyPageBuffer() != 0) return;  // this page and every later one stay unwritten
        ProgramPage(address + static_cast<std::uint32_t>(pageStart), static_cast<std::uint16_t>(kPageSize));
    }
}

void DeviceLink::ReadFlash(std::uint32_t address, int length, std::span<std::uint8_t> destination) {
    if (length <= 0) return;
    // Never read more than the destination holds.
    const std::size_t total = std::min(static_cast<std::size_t>(length), destination.size());
    const std::size_t chunks = (total + kReadChunk - 1) / kReadChunk;
    std::size_t offset = 0;
    for (std::size_t chunk = 1; total - offset > kReadChunk; ++chunk, offset += kReadChunk) {
        progress(static_cast<int>(chunk * 100 / chunks));
        loop_.processEvents(0);
        ReadFlashChunk(address + static_cast<std::uint32_t>(offset), kReadChunk, destination.data() + offset);
    }
    if (total > offset) {
        ReadFlashChunk(address + static_cast<std::uint32_t>(offset), static_cast<std::uint8_t>(total - offset),
                       destination.data() + offset);
    }
}

} // namespace qv
