#include "programming/parameter_area.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "device/device_link.h"
#include "platform/event_loop.h"
#include "programming/image_file.h"
#include "programming/result_display.h"
#include "programming/settle.h"
#include "session/result_codes.h"
#include "session/result_reporting.h"
#include "session/session.h"

namespace qv {

namespace {

constexpr std::size_t kParameterFileLength = kOneKiBFileLength;
constexpr std::uint16_t kDirectWriteHeader = 0x6D10;
// Locate the work buffer / store it into eFlash and locate the stored copy.
constexpr std::uint8_t kLocateWorkBuffer = 0;
constexpr std::uint8_t kStoreWorkBuffer = 1;

// File byte, or 0 past the end of a (short) file.
std::uint8_t fileByte(const std::vector<std::uint8_t>& file, std::size_t offset) {
    return offset < file.size() ? file[offset] : 0;
}

std::uint16_t fileWord(const std::vector<std::uint8_t>& file, std::size_t offset) {
    return static_cast<std::uint16_t>(fileByte(file, offset) | (fileByte(file, offset + 1) << 8));
}

void showProgress(Session& session, std::size_t done, std::size_t total) {
    session.window.setProgress(static_cast<int>(done * 100 / total));
    session.ports.loop->processEvents(0);
}

void writeBytes(Session& session, std::uint32_t address, std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        session.link.WriteMemoryByte(address + static_cast<std::uint32_t>(i), bytes[i]);
        showProgress(session, i, bytes.size());
    }
}

// A byte that cannot be read stays 0; false when any read gave up.
bool readBytes(Session& session, std::uint32_t address, std::span<std::uint8_t> destination) {
    bool allRead = true;
    for (std::size_t i = 0; i < destination.size(); ++i) {
        std::uint8_t value = 0;
        if (session.link.ReadMemoryByte(address + static_cast<std::uint32_t>(i), value)) {
            destination[i] = value;
        } else {
            allRead = false;
        }
        showProgress(session, i, destination.size());
    }
    return allRead;
}

void showOutcome(Session& session, bool equal) {
    auto& memo1 = session.window.memo1;
    session.window.borderIcons.systemMenu = true;
    memo1.clear();
    if (equal) {
        memo1.fontColour = colour::kGreen;
        memo1.append("Firmware update completed!");
        memo1.append("Firmware update is completed and soon close menu. Thanks!");
        memo1.append("Success");
        WriteResultLog(session);
        WaitHalfDelay(session);
        FinishOutcome(session, 0, CloseKey::PASS);
    } else {
        memo1.fontColour = colour::kRed;
        memo1.append("Failure");
        WriteResultLog(session);
        FinishOutcome(session, result_code::kParameterFailed, CloseKey::FAIL);
        session.setTimer(session.Timer2, true);
    }
}

} // namespace

void UpdateParameterArea(Session& session) {
    session.window.beginProgressPhase(ProgressPhase::Parameters);
    const auto& file = session.ImageBuffer;
    auto& memo1 = session.window.memo1;
    const bool directWrite = fileWord(file, 0) == kDirectWriteHeader;
    ParameterArea area;
    if (!directWrite) {
        area = session.link.QueryParameterArea(kLocateWorkBuffer);
    }
    if (file.size() != kParameterFileLength) {
        return;
    }
    const std::span<const std::uint8_t> contents(file);

    std::uint32_t readAddress = 0;
    std::size_t count = 0;
    bool countsAgree = true;
    if (directWrite) {
        count = fileWord(file, 2);
        readAddress = fileWord(file, 4);
        // The bytes come from the file and are read back into one page.
        if (count > kParameterFileLength) {
            RecordRefusal(session, result_code::kPatchSizeError, "Size error.");
            return;
        }
        memo1.append("Write Data to eFlash");
        writeBytes(session, readAddress, contents.first(count));
    } else {
        if (file[0] != 0x80 || file[1] != 0x5C) {
            memo1.append("Error!! This is not VOR Parameters file!");
            return;
        }
        if (fileWord(file, 2) != area.size) {
            memo1.append("Error!! The Size of Parameters File is not match !!");
            return;
        }
        memo1.append("Write buffer from file");
        writeBytes(session, area.workBufferAddress, contents.first(area.size));
        memo1.append("Save Data to eFlash");
        const ParameterArea stored = session.link.QueryParameterArea(kStoreWorkBuffer);
        count = stored.size;
        readAddress = stored.storedCopyAddress;
        // A stored copy of another size does not prove the block was saved.
        countsAgree = stored.size == area.size;
    }

    memo1.append("Read Data from eFlash");
    std::array<std::uint8_t, kParameterFileLength> readBack{};
    // An unread byte is no proof, even where the file holds 0.
    const bool allRead = readBytes(session, readAddress, std::span(readBack).first(count));
    const auto expected = contents.first(count);
    const bool equal = countsAgree && allRead && std::equal(expected.begin(), expected.end(), readBack.begin());
    memo1.append(equal ? "Compare OK." : "Compare Fail.");
    showOutcome(session, equal);
}

void Button4Click(Session& session) { UpdateParameterArea(session); }

} // namespace qv
