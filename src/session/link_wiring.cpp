// The device link wired to the application: its settings from the options,
// its lines and progress into the window's panes.
#include "session/link_wiring.h"

#include "session/options.h"
#include "session/window_model.h"

namespace qv {

LinkSettings linkSettingsFrom(const Options& options) {
    LinkSettings settings;
    settings.allHidCommandDelayMs = options.ALLHIDCOMMANDDELAY;
    settings.writeFlashDataDelayMs = options.WRITEFLASHDATADELAY;
    settings.reportId = options.REPORTID;
    settings.mainSlot = options.mainSlot();
    settings.scanLimit = options.scanLimit();
    settings.mainTargetProductId = options.MAINTARGETPID;
    settings.hideFF6DFamily = options.IGNORE6D10 != 0;
    return settings;
}

LinkSinks linkSinksInto(WindowModel& window, std::function<void()> safePoint) {
    return {
        .diagnostic = [&window](const std::string& line) { window.memo2.append(line); },
        .progress = [&window](int percent) { window.setProgress(percent); },
        .safePoint = std::move(safePoint),
    };
}

LineSink messagePaneOf(WindowModel& window) {
    return [&window](const std::string& line) { window.memo1.append(line); };
}

} // namespace qv
