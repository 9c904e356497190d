// The firmware image file's layout: its checksum rules and fixed text
// fields. Pure functions over bytes, shared by the updater and the simulated
// chip's image maker.
#include "image_format/image_layout.h"

#include <algorithm>
#include <array>
#include <limits>

namespace qv {
namespace {

constexpr std::uint32_t kCodeAreaStart = 0x2000;
constexpr std::uint32_t kSkippedFrom = 0x80;
constexpr std::uint32_t kSkippedTo = 0x8F;
constexpr std::uint32_t kVersionSlotFirst = static_cast<std::uint32_t>(kVersionSlotOffset);
constexpr std::uint32_t kVersionSlotLast = kVersionSlotFirst + 0x0F;
// Returned for a region that the image does not hold completely.
constexpr std::uint16_t kRegionPastImageEnd = 0xFFFF;

constexpr std::array<std::uint64_t, 8> kSmallImageLengths = {0x8000, 0xD800, 0xE000, 0x7C00,
                                                            0xDC00, 0x1E000, 0xD400, 0x1DC00};

ChecksumRule complementRuleUpTo(std::uint32_t end) { return {kCodeAreaStart, end, end - 2, end - 1, false}; }

} // namespace

std::optional<ChecksumRule> largeLayoutRule(std::uint64_t length) {
    if (length >= 0x1F800 && length <= 0x20000) {
        return complementRuleUpTo(0x1F800);
    }
    if (length >= 0x2F800 && length <= 0x30000) {
        return complementRuleUpTo(0x2F800);
    }
    return std::nullopt;
}

std::optional<ChecksumRule> sizedImageRule(std::uint64_t length, std::int32_t sizedKib) {
    // A region that starts at 0x2000 holds its word only beyond 8 KiB; the
    // product is formed in 64 bits so that no large setting wraps around.
    if (sizedKib <= 8) {
        return std::nullopt;
    }
    const std::uint64_t sizedLength = static_cast<std::uint64_t>(sizedKib) * 1024;
    if (length != sizedLength || sizedLength > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return complementRuleUpTo(static_cast<std::uint32_t>(sizedLength));
}

bool isSmallImageLength(std::uint64_t length) {
    return std::find(kSmallImageLengths.begin(), kSmallImageLengths.end(), length) != kSmallImageLengths.end();
}

std::optional<ChecksumRule> smallImageRule(std::uint64_t length, int chipClass) {
    if (!isSmallImageLength(length)) {
        return std::nullopt;
    }
    const bool wordAt31KiB = length == 0x7C00 || length == 0xDC00;
    const std::uint32_t high = wordAt31KiB ? 0x7BFE : 0x7FFE;
    const std::uint32_t start = chipClass != 0 ? 0x400 : kCodeAreaStart;
    return ChecksumRule{start, static_cast<std::uint32_t>(length), high, high + 1, true};
}

std::uint16_t ImageChecksum(std::span<const std::uint8_t> image, std::uint32_t start, std::uint32_t end,
                            std::uint32_t highBytePosition, std::uint32_t lowBytePosition, bool negate) {
    if (start < end && end > image.size()) {
        return kRegionPastImageEnd;
    }
    std::uint16_t sum = 0;
    std::uint16_t stored = 0;
    for (std::uint32_t i = start; i < end; ++i) {
        if (i >= kSkippedFrom && i <= kSkippedTo) {
            continue;
        }
        if (i == highBytePosition) {
            sum = static_cast<std::uint16_t>(sum + 0xFF);
            stored = static_cast<std::uint16_t>(stored + image[i] * 256);
        } else if (i == lowBytePosition) {
            sum = static_cast<std::uint16_t>(sum + 0xFF);
            stored = static_cast<std::uint16_t>(stored + image[i]);
        } else if (i >= kVersionSlotFirst && i <= kVersionSlotLast) {
            sum = static_cast<std::uint16_t>(sum + 0xFF);
        } else {
            sum = static_cast<std::uint16_t>(sum + image[i]);
        }
    }
    if (negate) {
        stored = static_cast<std::uint16_t>(0x10000u - stored);
    }
    return static_cast<std::uint16_t>(sum + stored);
}

std::uint16_t ImageChecksum(std::span<const std::uint8_t> image, const ChecksumRule& rule) {
    return ImageChecksum(image, rule.start, rule.end, rule.highBytePosition, rule.lowBytePosition, rule.negate);
}

std::string fieldText(std::span<const std::uint8_t> image, std::size_t offset, std::size_t width) {
    std::string text;
    if (offset >= image.size()) {
        return text;
    }
    const auto field = image.subspan(offset, std::min(width, image.size() - offset));
    for (const std::uint8_t byte : field) {
        if (byte == 0) {
            break;
        }
        text.push_back(static_cast<char>(byte));
    }
    return text;
}

} // namespace qv
