#include "platform/sim/image_maker.h"

#include <algorithm>
#include <array>

namespace qv::sim {
namespace {

constexpr std::size_t kPage = 1024;
constexpr std::size_t kOneKiB = 0x400;
constexpr std::size_t kCodeAreaStart = 0x2000;
constexpr std::uint32_t kPreloadSeed = 0x5C80A11Eu;

// Marsaglia xorshift32: small, fast and the same on every platform.
class ContentGenerator {
public:
    explicit ContentGenerator(std::uint32_t seed) : state_(seed != 0 ? seed : 0x9E3779B9u) {}
    std::uint8_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<std::uint8_t>(state_ >> 24);
    }

private:
    std::uint32_t state_;
};

void fillPseudoRandom(std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to, std::uint32_t seed) {
    ContentGenerator generator(seed);
    for (std::size_t at = from; at < to && at < bytes.size(); ++at) {
        bytes[at] = generator.next();
    }
}

// A page of pseudo-random bytes is practically never all 0xFF; make sure.
void keepPagesNonBlank(std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to) {
    for (std::size_t page = from; page < to && page < bytes.size(); page += kPage) {
        const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(page);
        const auto last = bytes.begin() + static_cast<std::ptrdiff_t>(std::min(page + kPage, bytes.size()));
        if (std::all_of(first, last, [](std::uint8_t b) { return b == 0xFF; })) {
            *first = 0x00;
        }
    }
}

// The characters, their terminating zero, then the padding byte; no text
// is a zero field, as in the default preload area. A field that runs past
// the end of a short image is cut off there.
void putText(std::vector<std::uint8_t>& bytes, std::size_t offset, std::size_t width, const std::string& text,
             std::uint8_t padding) {
    if (text.empty()) {
        padding = 0;
    }
    for (std::size_t i = 0; i < width && offset + i < bytes.size(); ++i) {
        bytes[offset + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : i == text.size() ? 0 : padding;
    }
}

void putLittleEndian16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Where the checksum goes and which sense it has.
struct ChecksumPlacement {
    std::size_t begin;  // first summed byte
    std::size_t end;    // one past the last summed byte
    std::size_t wordAt; // high byte; the low byte follows
    bool wordEqualsSum; // equal rule; otherwise word + sum = 0
};

constexpr std::array<std::size_t, 8> kSmallLengths = {0x7C00, 0xDC00, 0x8000, 0xD400,
                                                     0xD800, 0xE000, 0x1DC00, 0x1E000};

bool isSmallLength(std::size_t length) {
    return std::find(kSmallLengths.begin(), kSmallLengths.end(), length) != kSmallLengths.end();
}

std::size_t lengthOf(const ImageSpec& spec) {
    if (spec.length != 0) {
        return spec.length;
    }
    switch (spec.kind) {
    case ImageKind::Layout126K: return 0x1F800;
    case ImageKind::Layout190K: return 0x2F800;
    case ImageKind::Sized: return std::size_t{spec.kib} * 1024;
    case ImageKind::Small: return 0;
    case ImageKind::CodePatch:
    case ImageKind::ParameterFile:
    case ImageKind::DirectWrite: return kOneKiB;
    }
    return 0;
}

bool isOneKiBKind(ImageKind kind) {
    return kind == ImageKind::CodePatch || kind == ImageKind::ParameterFile || kind == ImageKind::DirectWrite;
}

ChecksumPlacement placementOf(const ImageSpec& spec, std::size_t length) {
    switch (spec.kind) {
    case ImageKind::Layout126K: return {kCodeAreaStart, 0x1F800, 0x1F7FE, false};
    case ImageKind::Layout190K: return {kCodeAreaStart, 0x2F800, 0x2F7FE, false};
    case ImageKind::Sized: return {kCodeAreaStart, length, length - 2, false};
    default: break;
    }
    const bool wordBelow31KiB = length == 0x7C00 || length == 0xDC00;
    return {spec.regionStart, length, wordBelow31KiB ? std::size_t{0x7BFE} : std::size_t{0x7FFE}, true};
}

// The region sum as the device's checksum defines it, written as
// corrections to a plain byte sum: the bytes 0x80..0x8F do not count, and
// the two word bytes and the version slot count as erased (0xFF).
std::uint16_t regionSum(const std::vector<std::uint8_t>& bytes, const ChecksumPlacement& where) {
    std::uint32_t total = 0;
    for (std::size_t at = where.begin; at < where.end; ++at) {
        total += bytes[at];
    }
    const auto inRegion = [&](std::size_t at) { return at >= where.begin && at < where.end; };
    const auto countAsErased = [&](std::size_t at) {
        if (inRegion(at)) {
            total += 0xFFu - bytes[at];
        }
    };
    for (std::size_t at = 0x80; at < 0x90; ++at) {
        if (inRegion(at)) {
            total -= bytes[at];
        }
    }
    countAsErased(where.wordAt);
    countAsErased(where.wordAt + 1);
    for (std::size_t at = kVersionSlotOffset; at < kVersionSlotOffset + 16; ++at) {
        if (at != where.wordAt && at != where.wordAt + 1) {
            countAsErased(at);
        }
    }
    return static_cast<std::uint16_t>(total & 0xFFFF);
}

void putChecksumWord(std::vector<std::uint8_t>& bytes, const ChecksumPlacement& where) {
    const std::uint16_t sum = regionSum(bytes, where);
    const std::uint16_t word = where.wordEqualsSum ? sum : static_cast<std::uint16_t>(0x10000u - sum);
    bytes[where.wordAt] = static_cast<std::uint8_t>(word >> 8);
    bytes[where.wordAt + 1] = static_cast<std::uint8_t>(word & 0xFF);
}

std::vector<std::uint8_t> makeCodeImage(const ImageSpec& spec, std::size_t length) {
    std::vector<std::uint8_t> bytes(length, 0xFF);
    const auto preload = defaultPreloadArea();
    std::copy_n(preload.begin(), std::min(length, preload.size()), bytes.begin());
    fillPseudoRandom(bytes, kCodeAreaStart, length, spec.seed);
    keepPagesNonBlank(bytes, kCodeAreaStart, length);

    for (const std::size_t page : spec.blankPages) {
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(page * kPage), kPage, std::uint8_t{0xFF});
    }

    bytes[kIvtMarkerOffset] = spec.ivtMarker;
    for (const std::size_t at : {kClockOffsetFF6D, kClockOffsetFF5C}) {
        if (spec.clock == ClockSource::Internal) {
            bytes[at] = static_cast<std::uint8_t>(bytes[at] | kClockSelectBit);
        } else {
            bytes[at] = static_cast<std::uint8_t>(bytes[at] & ~kClockSelectBit);
        }
    }
    putText(bytes, kPreloadVersionOffset, 16, spec.preloadVersion, spec.fieldPadding);
    putText(bytes, kVersionOffset, 16, spec.version, spec.fieldPadding);
    putText(bytes, kOemVersionOffset, 32, spec.oemVersion, spec.fieldPadding);

    for (std::size_t at = kVersionSlotOffset; at < kVersionSlotOffset + 16 && at < length; ++at) {
        bytes[at] = 0xFF;
    }
    putChecksumWord(bytes, placementOf(spec, length));
    return bytes;
}

std::vector<std::uint8_t> makeOneKiBFile(const ImageSpec& spec) {
    std::vector<std::uint8_t> bytes(kOneKiB, 0xFF);
    if (spec.kind == ImageKind::ParameterFile) {
        const std::uint16_t size = spec.dataLength.value_or(0x80);
        bytes[0] = 0x80;
        bytes[1] = 0x5C;
        putLittleEndian16(bytes, 2, size);
        fillPseudoRandom(bytes, 4, std::min<std::size_t>(size, kOneKiB), spec.seed);
        return bytes;
    }
    const bool patch = spec.kind == ImageKind::CodePatch;
    const std::uint16_t count = spec.dataLength.value_or(patch ? 0x400 : 0x40);
    bytes[0] = 0x10;
    bytes[1] = 0x6D;
    putLittleEndian16(bytes, 2, count);
    putLittleEndian16(bytes, 4, spec.address.value_or(patch ? 0x1000 : 0x0800));
    fillPseudoRandom(bytes, 6, std::min<std::size_t>(count, kOneKiB), spec.seed);
    return bytes;
}

} // namespace

std::vector<std::uint8_t> defaultPreloadArea() {
    std::vector<std::uint8_t> bytes(kPreloadAreaSize);
    fillPseudoRandom(bytes, 0, kPreloadAreaSize, kPreloadSeed);
    keepPagesNonBlank(bytes, 0, kPreloadAreaSize);
    bytes[kIvtMarkerOffset] = kIvtMappingOn;
    bytes[kClockOffsetFF6D] = static_cast<std::uint8_t>(bytes[kClockOffsetFF6D] | kClockSelectBit);
    bytes[kClockOffsetFF5C] = static_cast<std::uint8_t>(bytes[kClockOffsetFF5C] | kClockSelectBit);
    std::fill_n(bytes.begin() + kPreloadVersionOffset, 16, std::uint8_t{0});
    std::fill_n(bytes.begin() + kVersionOffset, 16, std::uint8_t{0});
    return bytes;
}

std::string imageSpecProblem(const ImageSpec& spec) {
    const std::size_t length = lengthOf(spec);
    switch (spec.kind) {
    case ImageKind::Layout126K:
        if (length < 0x1F800 || length > 0x20000) {
            return "a 126 K layout image is 0x1F800 to 0x20000 bytes long";
        }
        break;
    case ImageKind::Layout190K:
        if (length < 0x2F800 || length > 0x30000) {
            return "a 190 K layout image is 0x2F800 to 0x30000 bytes long";
        }
        break;
    case ImageKind::Sized:
        // The checked region starts at 0x2000 and must hold the word.
        if (spec.kib < 9 || spec.kib > 4096) {
            return "a sized image is 9 to 4096 KiB long";
        }
        if (length != std::size_t{spec.kib} * 1024) {
            return "a sized image is exactly kib x 1024 bytes long";
        }
        break;
    case ImageKind::Small:
        if (!isSmallLength(length)) {
            return "a small image is 0x7C00, 0xDC00, 0x8000, 0xD400, 0xD800, 0xE000, 0x1DC00 or 0x1E000 bytes long";
        }
        if (spec.regionStart != 0x2000 && spec.regionStart != 0x400) {
            return "a small image's checked region starts at 0x2000 or 0x400";
        }
        break;
    case ImageKind::CodePatch:
    case ImageKind::ParameterFile:
    case ImageKind::DirectWrite:
        if (length != kOneKiB) {
            return "a code patch, parameter or direct-write file is 0x400 bytes long";
        }
        if (!spec.version.empty() || !spec.oemVersion.empty() || !spec.preloadVersion.empty() ||
            spec.fieldPadding != 0 || !spec.blankPages.empty()) {
            return "version texts, their padding and blank pages belong to code images only";
        }
        return {};
    }
    if (spec.version.size() > 16 || spec.preloadVersion.size() > 16) {
        return "the version and preload-code version texts hold at most 16 characters";
    }
    if (spec.oemVersion.size() > 32) {
        return "the OEM version text holds at most 32 characters";
    }
    if (!spec.oemVersion.empty() && length < kOemVersionOffset + spec.oemVersion.size()) {
        return "the image is too short for the OEM version text at 0x3100";
    }
    for (const std::size_t page : spec.blankPages) {
        if (page >= length / kPage) {
            return "a blank page lies beyond the end of the image";
        }
    }
    return {};
}

std::vector<std::uint8_t> makeFirmwareImage(const ImageSpec& spec) {
    if (!imageSpecProblem(spec).empty()) {
        return {};
    }
    if (isOneKiBKind(spec.kind)) {
        return makeOneKiBFile(spec);
    }
    return makeCodeImage(spec, lengthOf(spec));
}

} // namespace qv::sim
