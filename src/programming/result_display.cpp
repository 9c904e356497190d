#include "programming/result_display.h"

#include <cstdio>

#include "programming/settle.h"
#include "session/result_codes.h"
#include "session/result_reporting.h"
#include "session/session.h"

namespace qv {

void AnnounceCodeFlow(Session& session, std::uint32_t from, std::uint32_t to) {
    char line[64];
    std::snprintf(line, sizeof line, "Start Load Code Flow(0x%06X ~ 0x%06X).", unsigned{from}, unsigned{to});
    session.window.memo1.append(line);
}

void ShowResultFrame(Session& session) {
    session.window.borderIcons.systemMenu = true;
    session.window.memo1.clear();
    session.window.memo1.fontSize = 16;
}

void ShowSuccessEnding(Session& session, const VersionReport* versions) {
    auto& window = session.window;
    if (session.options.ENABLE == 0) {
        window.image3.visible = false;
        window.image4.visible = true;
    }
    window.memo1.fontColour = colour::kGreen;
    if (versions != nullptr) {
        for (const auto& line : versions->lines) {
            window.memo1.append(line);
        }
        StoreFirmwareVersion(session, versions->firmwareVersion);
    }
    window.memo1.append("Success");
    WriteResultLog(session);
    window.memo1.clear();
    window.memo1.append("Instructions:");
    window.memo1.append("Waiting a few seconds...");
    WaitHalfDelay(session);
    FinishOutcome(session, 0, CloseKey::PASS);
    if (versions != nullptr) {
        window.label2.caption = "Current firmware version: " + versions->firmwareVersion;
    }
}

void RecordRefusal(Session& session, std::uint8_t code, const std::string& line) {
    if (!line.empty()) {
        session.window.memo1.append(line);
    }
    session.window.borderIcons.systemMenu = true;
    FinishOutcome(session, code, CloseKey::FAIL);
}

void ShowFailureEnding(Session& session) {
    session.window.memo1.fontColour = colour::kRed;
    session.window.memo1.append("Failure");
    WriteResultLog(session);
    FinishOutcome(session, result_code::kProgrammingFailed, CloseKey::FAIL);
}

} // namespace qv
