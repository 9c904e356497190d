#include "app/outcome.h"

#include "app/main_window.h"
#include "session/session.h"

namespace qv {

void RecordOutcome(Session& session, int fontSize, const std::vector<std::string>& lines, std::uint8_t code,
                   CloseKey closeKey) {
    TextPane& pane = session.window.memo1;
    pane.clear();
    pane.fontSize = fontSize;
    pane.fontColour = colour::kRed;
    for (const auto& line : lines) pane.append(line);
    restoreSystemMenu(session);
    WriteResultLog(session);
    FinishOutcome(session, code, closeKey);
}

bool operatorAbsent(const Session& session) { return !session.window.visible; }

} // namespace qv
