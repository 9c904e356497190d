// Arbitrary files through the image checks: every checksum rule that applies
// to the length, the checksum with arbitrary region and word positions, the
// fixed text fields, ShowImageVersion and the start-up check. Nothing may
// read outside the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <span>
#include <vector>

#include "../tests/core/support/sim_session.h"
#include "programming/image_file.h"

namespace {

std::uint32_t readWord(const std::uint8_t* data, std::size_t size, std::size_t at) {
    std::uint32_t value = 0;
    if (at + 4 <= size) {
        std::memcpy(&value, data + at, 4);
    }
    return value;
}

// Short inputs reach the long layouts too: the first byte may pick one of
// the accepted lengths, which is then filled with the input repeated.
constexpr std::size_t kChosenLengths[] = {0x400,  0x7C00,  0x8000,  0xD400,  0xD800,  0xDC00,  0xE000,
                                          0x10000, 0x1DC00, 0x1E000, 0x1F800, 0x1FC00, 0x20000, 0x2F800,
                                          0x30000, 0x1F7FF, 0x20001, 0x2400};

// The loaded-image steps: the version line and the start-up check with no
// device to open (no device traffic): before any search (-1) or after one
// that found nothing (0).
void checkLoadedImage(qv::Session& session, const std::uint8_t* data, std::size_t size,
                      std::initializer_list<int> modeStates) {
    session.options.NORESULTLOG = 1;
    session.ImageBuffer.assign(data, data + size);
    session.FF6DPresent = (size & 4) != 0;
    session.window.memo1.clear();
    qv::ShowImageVersion(session);
    session.FF6DPresent = false;
    session.options.SPECIALLYBINSIZEFOR5C80 = (size & 2) != 0 ? static_cast<std::int32_t>(size / 1024) : 126;
    for (const int modeState : modeStates) {
        session.DeviceModeState = modeState;
        session.window.memo1.clear();
        (void)qv::StartupImageCheck(session);
    }
}

void checkImage(qv::testing::SimSession& fuzz, const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> image(data, size);

    // The rules the updater applies to this length.
    if (const auto rule = qv::largeLayoutRule(size)) {
        (void)qv::ImageChecksum(image, *rule);
    }
    const auto kib = static_cast<std::int32_t>(size / 1024);
    for (const std::int32_t sized : {kib, std::int32_t{126}, static_cast<std::int32_t>(readWord(data, size, 12))}) {
        if (const auto rule = qv::sizedImageRule(size, sized)) {
            (void)qv::ImageChecksum(image, *rule);
        }
    }
    for (const int chipClass : {0, 1}) {
        if (const auto rule = qv::smallImageRule(size, chipClass)) {
            (void)qv::ImageChecksum(image, *rule);
        }
    }
    // Any region and word positions, taken from the file's first bytes.
    const std::uint32_t start = readWord(data, size, 0) % 0x40000;
    const std::uint32_t end = readWord(data, size, 4) % 0x40000;
    const std::uint32_t high = readWord(data, size, 8);
    (void)qv::ImageChecksum(image, start, end, high, high + 1, (size & 1) != 0);
    (void)qv::ImageChecksum(image, 0, 0xFFFFFFFFu, high, high ^ 1u, false);

    // The fixed text fields, at their offsets and at any offset.
    (void)qv::fieldText(image, qv::kVersionOffset, qv::kShortVersionWidth);
    (void)qv::fieldText(image, qv::kOemVersionOffset, qv::kOemVersionWidth);
    (void)qv::fieldText(image, qv::kPreloadVersionOffset, qv::kShortVersionWidth);
    (void)qv::fieldText(image, readWord(data, size, 16), readWord(data, size, 20) % 64);

    checkLoadedImage(fuzz.session, data, size, {-1, 0});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static qv::testing::SimSession fuzz;
    checkImage(fuzz, data, size);
    if (size >= 2 && data[0] < std::size(kChosenLengths)) {
        // The start-up check covers the rules of the length; the fields are
        // the raw input's.
        std::vector<std::uint8_t> expanded(kChosenLengths[data[0]]);
        for (std::size_t at = 0; at < expanded.size(); at += size - 1) {
            std::memcpy(expanded.data() + at, data + 1, std::min(size - 1, expanded.size() - at));
        }
        checkLoadedImage(fuzz.session, expanded.data(), expanded.size(), {0});
    }
    return 0;
}
