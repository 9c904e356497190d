#include "programming/firmware_flow.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/device_link.h"
#include "platform/event_loop.h"
#include "programming/code_patch.h"
#include "programming/image_file.h"
#include "programming/result_display.h"
#include "session/result_codes.h"
#include "session/result_reporting.h"
#include "session/session.h"

namespace qv {

namespace {

constexpr std::uint32_t kProgrammableLimit = 0x1FC00;  // longer images are programmed up to here
// What is read of the device's preload area before programming: FF5C/FF7A
// loaders (the interrupt-vector area checked), FF6D chips of class 0, and
// whole-flash FF6D/FF4E chips.
constexpr std::size_t kPreloadCopyFF5C = 0x800;
constexpr std::size_t kPreloadCopyFF6DClass0 = 0x100;
constexpr std::size_t kPreloadCopyWholeFlash = 0x400;
constexpr std::uint32_t kIvtCheckStart = 4;
constexpr std::uint32_t kIvtCheckEnd = kPreloadCopyFF5C;
constexpr std::uint32_t kIvtUnchecked[] = {0x1D, 0x1E, 0x1F, 0x87, 0x8D};

struct TextField {
    std::size_t offset;
    std::size_t width;
};
constexpr TextField kOemVersion{kOemVersionOffset, kOemVersionWidth};  // also the FF6D/FF4E firmware version
constexpr TextField kFirmwareVersion{kVersionOffset, kShortVersionWidth};  // the device's preload-code version
constexpr TextField kPreloadVersion{kPreloadVersionOffset, kShortVersionWidth};
constexpr TextField kVersionSlot{kVersionSlotOffset, kShortVersionWidth};
// Every image must hold the OEM version field; the preload copies lie below it.
constexpr std::size_t kShortestImage = kOemVersion.offset + kOemVersion.width;


// Where and how much this image is programmed.
struct Layout {
    std::uint32_t length = 0;  // L: image bytes programmed, capped
    std::uint32_t base = 0;    // B: first programmed address
    std::uint16_t pages = 0;   // P: pages erased from B
};

// The image half (patched before programming) and the device half (what the
// device holds at the same offsets) of the flow's own buffer.
class WorkBuffer {
public:
    WorkBuffer(std::span<const std::uint8_t> image, std::uint32_t length) : bytes_(2 * std::size_t{length}, 0) {
        std::copy_n(image.begin(), length, bytes_.begin());
    }
    std::span<std::uint8_t> image() { return std::span(bytes_).first(bytes_.size() / 2); }
    std::span<std::uint8_t> device() { return std::span(bytes_).last(bytes_.size() / 2); }

private:
    std::vector<std::uint8_t> bytes_;
};

// The first 16 bytes of a version field exactly as the image holds them:
// the characters, the terminating zero and whatever follows it (images
// often pad with 0xFF, the erased-flash value).
using RawVersionField = std::array<std::uint8_t, kShortVersionWidth>;

struct Versions {
    std::string newOem, oldOem;
    std::string newVersion, oldVersion;  // shown and compared: up to the first zero
    RawVersionField newVersionField{};   // written into the device copy and the version slot
    std::string preload;
};

void appendBoth(Session& session, const std::string& line) {
    session.window.memo1.append(line);
    session.window.memo2.append(line);
}

std::ostream& standardOutput(Session& session) {
    return session.ports.standardOutput != nullptr ? *session.ports.standardOutput : std::cout;
}

std::string text(std::span<const std::uint8_t> bytes, TextField field) {
    return fieldText(bytes, field.offset, field.width);
}

std::string readDeviceText(Session& session, TextField field) {
    std::array<std::uint8_t, 32> bytes{};
    session.link.ReadFlash(static_cast<std::uint32_t>(field.offset), static_cast<int>(field.width), std::span(bytes).first(field.width));
    return fieldText(bytes, 0, field.width);
}

RawVersionField rawField(std::span<const std::uint8_t> bytes, TextField field) {
    RawVersionField raw{};
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(field.offset), raw.size(), raw.begin());
    return raw;
}

void putField(std::span<std::uint8_t> bytes, TextField field, const RawVersionField& raw) {
    std::copy(raw.begin(), raw.end(), bytes.begin() + static_cast<std::ptrdiff_t>(field.offset));
}

std::optional<Layout> planLayout(const Session& session, int chipClass) {
    const std::uint32_t length = static_cast<std::uint32_t>(
        std::min<std::size_t>(session.ImageBuffer.size(), kProgrammableLimit));
    const bool wholeFlash = (session.FF6DPresent && chipClass >= 1) || session.AltFlashDevice || session.FF4EPresent;
    Layout layout;
    layout.length = length;
    layout.base = wholeFlash ? 0 : static_cast<std::uint32_t>(kPreloadAreaSize);
    const auto pagesToEnd = static_cast<std::uint32_t>((length + kPageSize - 1) / kPageSize);
    // Nothing to program above the preload area, or an image without the
    // fields the flow reads, is no image for this device.
    if (length <= layout.base || length < kShortestImage) {
        return std::nullopt;
    }
    layout.pages = static_cast<std::uint16_t>(pagesToEnd - layout.base / kPageSize);
    return layout;
}

// Chips whose version is the OEM text read a shorter or a longer piece of
// their preload area, by family and chip class. A chip may qualify for
// both: each piece is read in turn, and the later one replaces what the
// earlier one set.
struct OemVersionedCopy {
    bool (*applies)(const Session& session, int chipClass);
    std::size_t length;
};
constexpr OemVersionedCopy kOemVersionedCopies[] = {
    {[](const Session& s, int chipClass) { return s.FF6DPresent && chipClass == 0; }, kPreloadCopyFF6DClass0},
    {[](const Session& s, int chipClass) { return (s.FF6DPresent && chipClass >= 1) || s.FF4EPresent; },
     kPreloadCopyWholeFlash},
};

// Reads what the device holds now and the version texts, in the order the
// families need them; a later step replaces what an earlier one set. The
// device copy's version field is overwritten with the image's own bytes so
// that the comparisons against the image see them equal.
Versions collectVersions(Session& session, int chipClass, WorkBuffer& work) {
    auto& link = session.link;
    const auto image = work.image();
    const auto device = work.device();
    Versions v;
    v.newOem = text(image, kOemVersion);
    v.oldOem = readDeviceText(session, kOemVersion);
    if (!session.FF6DPresent) {
        v.newVersion = text(image, kFirmwareVersion);
        v.newVersionField = rawField(image, kFirmwareVersion);
        v.oldVersion = readDeviceText(session, session.AltFlashDevice ? kFirmwareVersion : kVersionSlot);
        link.ReadFlash(0, static_cast<int>(kPreloadCopyFF5C), device.first(kPreloadCopyFF5C));
        v.preload = text(device, kFirmwareVersion);
        putField(device, kFirmwareVersion, v.newVersionField);
    }
    for (const auto& copy : kOemVersionedCopies) {
        if (!copy.applies(session, chipClass)) {
            continue;
        }
        v.newVersion = text(image, kOemVersion);
        v.newVersionField = rawField(image, kOemVersion);
        v.oldVersion = readDeviceText(session, kOemVersion);
        link.ReadFlash(0, static_cast<int>(copy.length), device.first(copy.length));
        v.preload = text(image, kPreloadVersion);
        putField(device, kPreloadVersion, v.newVersionField);
    }
    return v;
}

void showVersions(Session& session, WorkBuffer& work, const Versions& v) {
    auto& memo1 = session.window.memo1;
    if (!session.AltFlashDevice) {
        memo1.append("Preload Code Version: " + v.preload);
        const std::size_t clockSelect =
            session.FF6DPresent || session.FF4EPresent ? kClockOffsetFF6D : kClockOffsetFF5C;
        memo1.append((work.device()[clockSelect] & kClockSelectBit) == 0 ? " -> External Clock"
                                                                         : " -> Internal Clock");
    }
    memo1.append("Old Version: " + v.oldVersion);
    memo1.append("New Version: " + v.newVersion + "\n");
}

// FF5C/FF7A images must match the device's resident preload code: the same
// clock source and the same interrupt-vector area. Then the version slot is
// stamped so the device reports the installed version afterwards.
bool checkAgainstPreloadCode(Session& session, WorkBuffer& work, const Versions& v) {
    auto& memo1 = session.window.memo1;
    const auto image = work.image();
    const auto device = work.device();
    standardOutput(session) << " -> ENABLE_IVT_MAP_TO_FLASH: ";
    switch (image[kIvtMarkerOffset]) {
    case kIvtMappingOn: memo1.append(" -> ENABLE_IVT_MAP_TO_FLASH: On"); break;
    case kIvtMappingOff: memo1.append(" -> ENABLE_IVT_MAP_TO_FLASH: Off"); break;
    default: memo1.append(" -> ENABLE_IVT_MAP_TO_FLASH: Unknown"); break;
    }
    if (session.options.NOCHECKCLOCKMATCH == 0 &&
        ((image[kClockOffsetFF5C] ^ device[kClockOffsetFF5C]) & kClockSelectBit) != 0) {
        RecordRefusal(session, result_code::kClockMismatch, "Clock setting not match.");
        return false;
    }
    if (session.options.NOCHECKIVT == 0) {
        for (std::uint32_t i = kIvtCheckStart; i < kIvtCheckEnd; ++i) {
            if (std::find(std::begin(kIvtUnchecked), std::end(kIvtUnchecked), i) != std::end(kIvtUnchecked) ||
                image[i] == device[i]) {
                continue;
            }
            char line[64];
            std::snprintf(line, sizeof line, "IVT Error(%Xh)(%02Xh != %02Xh).", unsigned{i}, unsigned{image[i]},
                          unsigned{device[i]});
            RecordRefusal(session, result_code::kIvtMismatch, line);
            return false;
        }
    }
    // A sized image that ends below the slot does not program it.
    if (image.size() >= kVersionSlot.offset + kVersionSlot.width) {
        putField(image, kVersionSlot, v.newVersionField);
    }
    return true;
}

void dumpReadBack(Session& session, std::span<const std::uint8_t> device) {
    std::string error;
    if (!writeWholeFile("flashbin.000", std::string(device.begin(), device.end()), error)) {
        session.window.memo2.append("Cannot write flashbin.000: " + error);
    }
}

// One attempt: erase, write, read back, compare. True when it passed.
bool programOnce(Session& session, const Layout& layout, WorkBuffer& work) {
    auto& link = session.link;
    const CommandLineMode mode = session.options.commandLineMode;
    const int length = static_cast<int>(layout.length - layout.base);
    const auto image = work.image().subspan(layout.base);
    const auto device = work.device().subspan(layout.base);
    if (mode != CommandLineMode::VerifyOnly) {
        if (session.options.NEEDERASE != 0) {
            session.window.beginProgressPhase(ProgressPhase::Erase);
            appendBoth(session, "erase");
            link.EraseFlash(layout.base, layout.pages);
        }
        if (mode != CommandLineMode::EraseOnly) {
            session.window.beginProgressPhase(ProgressPhase::Write);
            appendBoth(session, "write");
            link.WriteFlash(layout.base, length, image);
        }
    }
    if (mode == CommandLineMode::EraseOnly) {
        return true;
    }
    session.window.beginProgressPhase(ProgressPhase::Read);
    appendBoth(session, "read");
    // Whatever the read does not reach must differ from the image.
    std::transform(image.begin(), image.end(), device.begin(),
                   [](std::uint8_t byte) { return static_cast<std::uint8_t>(~byte); });
    link.ReadFlash(layout.base, length, device);
    if (mode == CommandLineMode::VerifyOnly) {
        dumpReadBack(session, work.device());
    }
    session.window.beginProgressPhase(ProgressPhase::Compare);
    if (std::equal(image.begin(), image.end(), device.begin())) {
        appendBoth(session, "Compare OK.");
        return true;
    }
    appendBoth(session, "Compare Fail.");
    if (mode != CommandLineMode::VerifyOnly) {
        session.window.beginProgressPhase(ProgressPhase::Erase);
        appendBoth(session, "Compare Fail. => erase flash");
        link.EraseFlash(layout.base, layout.pages);
    }
    return false;
}

} // namespace

void ProgramFirmwareImage(Session& session) {
    const int chipClass = session.link.ReadChipClass(2);
    if (session.ImageBuffer.empty()) {
        return;
    }
    const auto layout = planLayout(session, chipClass);
    if (!layout) {
        RecordRefusal(session, result_code::kImageSizeError, "Size error.");
        return;
    }

    bool passed = false;
    Versions versions;
    {
        WorkBuffer work(session.ImageBuffer, layout->length);
        versions = collectVersions(session, chipClass, work);
        RunRecord& record = session.record;
        record.oldVersion = versions.oldVersion;
        record.oldOemVersion = versions.oldOem;
        record.newVersion = versions.newVersion;
        record.newOemVersion = versions.newOem;
        showVersions(session, work, versions);
        if (!session.FF6DPresent && !session.AltFlashDevice && !session.FF4EPresent &&
            !checkAgainstPreloadCode(session, work, versions)) {
            return;
        }
        AnnounceCodeFlow(session, layout->base, layout->length);

        const std::uint32_t start = session.ports.loop->tickCount();
        // A negative retry count leaves no attempt, and so no success.
        const std::int64_t attempts = std::int64_t{session.options.PROGRAMFAILRETRY} + 1;
        for (std::int64_t attempt = 0; attempt < attempts && !passed; ++attempt) {
            passed = programOnce(session, *layout, work);
        }
        const std::uint32_t elapsed = session.ports.loop->tickCount() - start;
        appendBoth(session, "Total Time: " + std::to_string(elapsed / 1000) + " s\n");
    }

    if (passed) {
        FinishProgramming(session);
    }
    ShowResultFrame(session);
    if (!passed) {
        ShowFailureEnding(session);
        return;
    }
    VersionReport report;
    report.lines.push_back("New OEM Version: " + versions.newOem + "\n");
    report.lines.push_back(session.DefaultFolderUsed ? std::string("Old OEM Version: ")
                                                     : "Old OEM Version: " + versions.oldOem + "\n");
    report.firmwareVersion = versions.newOem;
    ShowSuccessEnding(session, &report);
}

void Button3Click(Session& session) {
    if (session.ImageBuffer.empty()) {
        session.window.memo1.append("Please Load file first!");
        return;
    }
    ProgramFirmwareImage(session);
    session.window.memo1.append("Exit Flash Mode.");
}

} // namespace qv
