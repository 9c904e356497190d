#include "programming/code_patch.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "device/device_link.h"
#include "programming/flash_mode.h"
#include "programming/result_display.h"
#include "programming/settle.h"
#include "session/result_codes.h"
#include "session/session.h"

namespace qv {

namespace {

constexpr std::uint16_t kPatchHeader = 0x6D10;
constexpr std::size_t kPatchHeaderLength = 6;  // header word, length, address

std::uint16_t wordAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

void refuseSize(Session& session) { RecordRefusal(session, result_code::kPatchSizeError, "Size error."); }

} // namespace

void ProgramCodePatch(Session& session) {
    const std::span<const std::uint8_t> patch(session.ImageBuffer);
    const std::size_t pages = (patch.size() + kPageSize - 1) / kPageSize;
    // A patch is one page; it must at least hold its own header.
    if (pages != 1 || patch.size() < kPatchHeaderLength) {
        refuseSize(session);
        return;
    }
    if (wordAt(patch, 0) != kPatchHeader) {
        RecordRefusal(session, result_code::kPatchHeaderError);
        return;
    }
    const std::uint16_t length = wordAt(patch, 2);
    const std::uint16_t address = wordAt(patch, 4);
    // The programmed bytes come from the file and are read back into one page.
    if (length > patch.size()) {
        refuseSize(session);
        return;
    }

    auto& memo1 = session.window.memo1;
    AnnounceCodeFlow(session, address, std::uint32_t{address} + length);
    session.window.beginProgressPhase(ProgressPhase::Erase);
    memo1.append("erase~1K");
    session.link.EraseFlash(address, 1);
    session.window.beginProgressPhase(ProgressPhase::Write);
    memo1.append("write~1K");
    const auto programmed = patch.first(length);
    session.link.WriteFlash(address, length, programmed);
    session.window.beginProgressPhase(ProgressPhase::Read);
    memo1.append("read~1K");
    std::array<std::uint8_t, kPageSize> readBack{};
    // Bytes that are never read back must not pass for the patch's own.
    std::transform(programmed.begin(), programmed.end(), readBack.begin(),
                   [](std::uint8_t byte) { return static_cast<std::uint8_t>(~byte); });
    session.link.ReadFlash(address, length, std::span(readBack).first(length));
    session.window.beginProgressPhase(ProgressPhase::Compare);
    const bool equal = std::equal(programmed.begin(), programmed.end(), readBack.begin());
    memo1.append(equal ? "Compare OK." : "Compare Fail.");
    if (equal) {
        FinishProgramming(session);
    }
    ShowResultFrame(session);
    if (equal) {
        ShowSuccessEnding(session);
    } else {
        ShowFailureEnding(session);
    }
}

void FinishProgramming(Session& session) {
    session.window.beginProgressPhase(ProgressPhase::Finish);
    session.link.ExitFlashMode();
    const bool rescan = session.options.REMOVERESCAN != 0;
    if (rescan) {
        session.link.WaitWithMessages(1000);
    }
    OpenDeviceInMode(session, 128);
    WaitConfiguredDelay(session);
    if (rescan) {
        std::vector<std::string> mainIds{session.options.MAIN_HWID};
        for (const auto& id : session.options.HWID) {
            if (!id.empty()) {
                mainIds.push_back(id);
            }
        }
        RemoveAndRescan(session, mainIds);
    }
    ReopenNormalMode(session);
}

} // namespace qv
