#pragma once
// How the application connects the device link: the link's settings are
// the options' current values, its diagnostic lines go to the diagnostic
// pane (Memo2), its progress to ProgressBar1, and the device tree's lines
// to the message pane (Memo1).
#include "device/link_settings.h"

namespace qv {

struct Options;
struct WindowModel;

// Read again before every use, so the link always follows the options.
LinkSettings linkSettingsFrom(const Options& options);
LinkSinks linkSinksInto(WindowModel& window, std::function<void()> safePoint = {});
LineSink messagePaneOf(WindowModel& window);

} // namespace qv
