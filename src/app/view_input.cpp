#include "app/view_input.h"

#include "app/main_window.h"
#include "session/session.h"

namespace qv {

ViewInput windowInput(Session& session) {
    ViewInput input;
    input.keyDown = [&session](int key) { FormKeyDown(session, key); };
    input.keyUp = [&session](int key) { FormKeyUp(session, key); };
    input.updateClicked = [&session] { Button5Click(session); };
    input.closeClicked = [&session] { Button6Click(session); };
    input.closeRequested = [&session] {
        if (session.closeMainWindow) {
            session.closeMainWindow();
        } else {
            FormClose(session);
        }
    };
    input.diagnostic = [&session](const std::string& line) { session.window.memo2.append(line); };
    return input;
}

} // namespace qv
