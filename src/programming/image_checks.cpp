// The two places where a loaded file is checked before anything is sent to
// the device: the operator's "Browse" button and the start-up check of the
// automatically selected update file.
#include <string>

#include "platform/file_dialog.h"
#include "programming/flash_mode.h"
#include "programming/image_file.h"
#include "session/result_codes.h"
#include "session/result_reporting.h"
#include "session/session.h"

namespace qv {
namespace {

constexpr const char* kOpenDialogFilter = "[*.bin]|*.bin|*.*|*.*";
constexpr std::uint64_t kLargeLayoutStart = 0x1F800;
constexpr int kLoaderRoute = 2;

bool passes(const std::vector<std::uint8_t>& image, const ChecksumRule& rule) {
    return ImageChecksum(image, rule) == 0;
}

// True when characters 18 and 19 of the main hardware id name the 5C
// family ("USB\VID_1C7A&PID_5C50").
bool mainHardwareIdIs5C(const std::string& hardwareId) {
    return hardwareId.size() >= 19 && hardwareId.compare(17, 2, "5C") == 0;
}

void showStartupChecksumFailure(Session& session) {
    auto& memo1 = session.window.memo1;
    memo1.clear();
    memo1.fontSize = 18;
    memo1.fontColour = colour::kRed;
    memo1.append("##Checksum Error##");
    if (!mainHardwareIdIs5C(session.options.MAIN_HWID)) {
        memo1.append("Please detach and attach the tablet and then re-execute the update tool.");
    }
    session.window.borderIcons.systemMenu = true;
    WriteResultLog(session);
    FinishOutcome(session, result_code::kChecksumError, CloseKey::FAIL);
    session.setTimer(session.Timer4, false);
}

// The small-image check when no device is open: the chip class, and with it
// the start of the checked region, is unknown, so the file passes when it
// checks from either start. A damaged file still fails, and a good file for
// a chip of the other class is not called damaged.
bool smallImagePassesForAnyChipClass(const std::vector<std::uint8_t>& image) {
    return passes(image, *smallImageRule(image.size(), 0)) || passes(image, *smallImageRule(image.size(), 1));
}

} // namespace

void Button1Click(Session& session) {
    FileDialog* dialog = session.ports.fileDialog;
    if (dialog == nullptr) {
        return;
    }
    const auto chosen = dialog->chooseFile(kOpenDialogFilter);
    if (!chosen) {
        return;
    }
    auto& window = session.window;
    auto& image = session.ImageBuffer;
    session.openDialogFileName = *chosen;
    const ImageFileRead loaded = loadImageFile(*chosen, image);
    window.edit1.caption = *chosen;
    if (loaded.status == ImageFileRead::Status::TooLarge) {
        window.memo1.append(imageFileProblem(*chosen, loaded));
        return;
    }
    if (!loaded) {
        window.memo1.append("Cannot read " + *chosen);
        return;
    }
    session.record.imagePath = *chosen;

    const std::uint64_t length = image.size();
    const bool connected = session.link.FoundDeviceCount() != 0;
    const auto checksumError = [&] { window.memo1.append("Checksum Error."); };

    if (length < kLargeLayoutStart) {
        if (const auto sized = sizedImageRule(length, session.options.SPECIALLYBINSIZEFOR5C80)) {
            if (!passes(image, *sized)) {
                return checksumError();
            }
            if (!connected) {
                return;
            }
            window.button2.enabled = true;
        }
    } else {
        if (const auto large = largeLayoutRule(length); large && !passes(image, *large)) {
            return checksumError();
        }
        if (!connected) {
            return;
        }
        window.button2.enabled = true;
    }

    if (isSmallImageLength(length)) {
        // Without a device the identification bytes cannot be read; class 0
        // is what the failed read gives, so it is taken without trying.
        const int chipClass = connected ? session.link.ReadChipClass(kLoaderRoute) : 0;
        if (!passes(image, *smallImageRule(length, chipClass))) {
            return checksumError();
        }
        if (!connected) {
            return;
        }
        window.button2.enabled = true;
    }

    if (length == kOneKiBFileLength && connected) {
        window.button4.enabled = true;
        window.groupBox4.bounds.top = window.groupBox2.bounds.top;
    }
}

bool StartupImageCheck(Session& session) {
    const auto& image = session.ImageBuffer;
    const std::uint64_t length = image.size();
    if (length == kOneKiBFileLength || session.options.CHECKSUMMODE != 1) {
        return true;
    }

    std::optional<ChecksumRule> rule = largeLayoutRule(length);
    if (!rule) {
        rule = sizedImageRule(length, session.options.SPECIALLYBINSIZEFOR5C80);
    }
    bool imagePasses = !rule || passes(image, *rule);

    if (isSmallImageLength(length)) {
        if (session.FF6DPresent) {
            OpenDeviceInMode(session, 4);
        }
        if (session.DeviceModeState == 1) {
            session.RunState = 2;
        } else if (session.DeviceModeState == 2) {
            session.RunState = 4;
        }
        if (session.DeviceModeState > 0) {
            // The route is the mode the device is open in: 1 through the
            // running firmware, 2 through the loader.
            const int chipClass = session.link.ReadChipClass(session.DeviceModeState);
            imagePasses = passes(image, *smallImageRule(length, chipClass));
        } else if (session.DeviceModeState == 0) {
            imagePasses = smallImagePassesForAnyChipClass(image);
        }
    }

    if (!imagePasses) {
        showStartupChecksumFailure(session);
    }
    return imagePasses;
}

} // namespace qv
