#include "programming/flash_mode.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "platform/event_loop.h"
#include "programming/image_file.h"
#include "programming/settle.h"
#include "session/session.h"

namespace qv {

namespace {

constexpr std::uint8_t kReleaseAll = 128;
constexpr std::uint8_t kFinalRelease = 0;
constexpr std::uint8_t kFallbackReportId = 0x5A;
// Top of "Upgrade Parameters" when it is out of sight below the client area.
constexpr int kHiddenGroupTop = 480;

// A normal-mode collection of one family: where the running firmware
// answers, the flash mode to look for when it does not, and the image
// lengths that make the device ready for "Enter Flash Mode".
struct NormalMode {
    std::uint8_t mode;
    std::uint16_t usagePage;
    std::uint16_t usage;
    std::uint8_t flashMode;
    bool acceptsSizedImages;                 // any length of at least SPECIALLYBINSIZEFOR5C80 KiB
    std::span<const std::uint32_t> lengths;  // exact lengths accepted
    bool takesParameterFiles;                // a 1 KiB file readies "Upgrade Parameters"
};

constexpr std::uint32_t kFF6DLengths[] = {0x8000, 0xD800, 0xE000, 0x7C00, 0xDC00, 0x400, 0x1E000, 0xD400, 0x1DC00};
constexpr std::uint32_t kFF4ELengths[] = {0x1F800, 0x400};

constexpr NormalMode kNormalModes[] = {
    {1, kPageFF5C, 0x80, 2, true, {}, true},
    {3, kPageFF7A, 0x95, 2, true, {}, false},
    {4, kPageFF6D, 0x10, 5, false, kFF6DLengths, false},
    {6, kPageFF4E, 0x12, 7, false, kFF4ELengths, false},
};

// A loader collection: usages tried in order; the alternate one marks a
// loader that serves the whole flash.
struct LoaderUsage {
    std::uint16_t usage;
    bool alternate;
};

struct FlashMode {
    std::uint8_t mode;
    std::uint16_t usagePage;
    std::span<const LoaderUsage> usages;
};

constexpr LoaderUsage kFF5CLoaderUsages[] = {{0xDB, false}, {0xD0, false}, {0xDD, true}};
constexpr LoaderUsage kLoaderUsage[] = {{0xDB, false}};

constexpr FlashMode kFlashModes[] = {
    {2, kPageFF5C, kFF5CLoaderUsages},
    {5, kPageFF6D, kLoaderUsage},
    {7, kPageFF4E, kLoaderUsage},
};

template <typename Entry, std::size_t N>
const Entry* findMode(const Entry (&table)[N], std::uint8_t mode) {
    for (const auto& entry : table) {
        if (entry.mode == mode) {
            return &entry;
        }
    }
    return nullptr;
}

bool deviceOpened(const Session& session) { return session.link.handleAt(0) != kNoHandle; }

// Lets the previous collection settle, then forgets every handle.
void releaseForSearch(Session& session) {
    session.ports.loop->sleep(100);
    session.link.CloseAllHandles();
}

bool acceptsImage(const Session& session, const NormalMode& normal) {
    const auto length = static_cast<std::int64_t>(session.ImageBuffer.size());
    if (normal.acceptsSizedImages && length >= std::int64_t{session.options.SPECIALLYBINSIZEFOR5C80} * 1024) {
        return true;
    }
    for (const auto accepted : normal.lengths) {
        if (length == accepted) {
            return true;
        }
    }
    return false;
}

void setStepButtons(Session& session, bool enterFlashMode, bool upgradeFirmware, bool upgradeParameters) {
    session.window.button2.enabled = enterFlashMode;
    session.window.button3.enabled = upgradeFirmware;
    session.window.button4.enabled = upgradeParameters;
}

// The running firmware's first exchange: the vendor handshake, with the
// fixed report id as fallback for firmware that ignores the configured one.
void greetRunningFirmware(Session& session) {
    if (!session.link.VendorHandshake(true) && session.options.REPORTID != kFallbackReportId) {
        session.options.REPORTID = kFallbackReportId;
        session.link.VendorHandshake(true);
    }
}

bool openNormalMode(Session& session, const NormalMode& normal) {
    releaseForSearch(session);
    session.link.OpenMatchingDevices(normal.usagePage, normal.usage);
    if (!deviceOpened(session)) {
        return false;
    }
    greetRunningFirmware(session);
    auto& window = session.window;
    if (acceptsImage(session, normal)) {
        setStepButtons(session, true, false, false);
        window.groupBox4.bounds.top = kHiddenGroupTop;
    } else if (normal.takesParameterFiles && session.ImageBuffer.size() == kOneKiBFileLength) {
        setStepButtons(session, false, false, true);
        window.groupBox4.bounds.top = window.groupBox2.bounds.top;
    } else {
        window.memo2.append("Bin file size is not support!!");
    }
    session.DeviceModeState = 1;
    return true;
}

bool openFlashMode(Session& session, const FlashMode& flash) {
    releaseForSearch(session);
    for (const auto& loader : flash.usages) {
        if (loader.alternate) {
            session.AltFlashDevice = false;
        }
        session.link.OpenMatchingDevices(flash.usagePage, loader.usage);
        if (deviceOpened(session)) {
            if (loader.alternate) {
                session.AltFlashDevice = true;
            }
            session.window.button2.enabled = false;
            session.window.button3.enabled = true;
            session.DeviceModeState = 2;
            return true;
        }
    }
    return false;
}

void releaseEverything(Session& session, bool programClosing) {
    if (programClosing) {
        session.link.VendorHandshake(false);
    }
    session.link.setFoundDeviceCount(0);
    session.DeviceModeState = 0;
    session.link.CloseAllHandles();
    session.window.button2.enabled = false;
    session.window.button3.enabled = false;
}

} // namespace

void OpenDeviceInMode(Session& session, std::uint8_t mode) {
    session.window.memo2.append("Mode:" + std::to_string(mode));
    bool found = false;
    if (const NormalMode* normal = findMode(kNormalModes, mode)) {
        found = openNormalMode(session, *normal);
        if (!found) {
            mode = normal->flashMode;
        }
    }
    if (const FlashMode* flash = findMode(kFlashModes, mode)) {
        found = openFlashMode(session, *flash);
    }
    if (mode != kReleaseAll && mode != kFinalRelease && found) {
        return;
    }
    releaseEverything(session, mode == kFinalRelease);
}

void ReopenNormalMode(Session& session) {
    std::uint8_t mode = 1;
    if (session.FF6DPresent) {
        mode = 4;
    } else if (session.FF7APresent) {
        mode = 3;
    } else if (session.FF4EPresent) {
        mode = 6;
    }
    OpenDeviceInMode(session, mode);
}

std::uint8_t flashModeNumber(const Session& session) {
    if (session.FF6DPresent) {
        return 5;
    }
    return session.FF4EPresent ? 7 : 2;
}

void Button2Click(Session& session) {
    session.link.RequestFlashMode();
    session.ports.loop->sleep(1000);
    session.window.memo1.clear();
    session.window.memo1.append("Enter Flash Mode.");
    session.setTimer(session.Timer1, false);
    OpenDeviceInMode(session, kReleaseAll);
    WaitConfiguredDelay(session);
    const std::string& bootId = session.options.BOOT_HWID;
    if (bootId.compare(0, 3, "USB") != 0 && session.options.REMOVERESCAN != 0) {
        RemoveAndRescan(session, std::span(&bootId, 1));
    }
    ReopenNormalMode(session);
    session.setTimer(session.Timer1, true);
}

} // namespace qv
