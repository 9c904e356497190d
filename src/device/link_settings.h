#pragma once
// What the device link needs of the station's configuration, and where it
// reports. The application fills both from its options and its window; the
// link itself knows no configuration file and no window.
#include <cstdint>
#include <functional>
#include <string>

namespace qv {

struct LinkSettings {
    std::int32_t allHidCommandDelayMs = 0;   // pause before every exchange
    std::int32_t writeFlashDataDelayMs = 0;  // pause after every page-buffer write
    std::uint8_t reportId = 90;              // report id of the handshake and the flash-mode request
    unsigned mainSlot = 0;                   // handle slot of the running-firmware device, 0..255
    unsigned scanLimit = 256;                // interface indices a search examines, 0..256
    std::int32_t mainTargetProductId = 0;    // product id the running firmware must show; 0 = any
    bool hideFF6DFamily = false;             // the FF6D presence test answers "not present"
};

// The link asks for its settings each time it needs them, so a change the
// application makes while a job runs (the report id after a refused
// handshake, a configuration read again) holds from the next exchange on.
using LinkSettingsSource = std::function<LinkSettings()>;

using LineSink = std::function<void(const std::string& line)>;
using ProgressSink = std::function<void(int percent)>;

struct LinkSinks {
    LineSink diagnostic;    // failed exchanges, search results, the handshake's report id
    ProgressSink progress;  // 0..100 while pages are written or read back
    // Called between two exchanges and in every wait, never inside an
    // exchange: where the application may leave a job it has to stop (it
    // then leaves by an exception it catches itself).
    std::function<void()> safePoint;
};

} // namespace qv
