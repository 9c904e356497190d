#include "app/view_input.h"

#include "app/main_window.h"
#include "session/session.h"

namespace qv {

namespace {

// The toolkit calls in from its own frames, which an exception may not
// cross: what comes up is kept for the program's loop (Session::safePoint).
template <typename... Args>
std::function<void(Args...)> deferringErrors(Session& session, std::function<void(Args...)> handler) {
    return [&session, handler = std::move(handler)](Args... args) {
        try {
            handler(args...);
        } catch (...) {
            if (!session.deferredError) session.deferredError = std::current_exception();
        }
    };
}

} // namespace

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
    input.keyDown = deferringErrors(session, std::move(input.keyDown));
    input.keyUp = deferringErrors(session, std::move(input.keyUp));
    input.updateClicked = deferringErrors(session, std::move(input.updateClicked));
    input.closeClicked = deferringErrors(session, std::move(input.closeClicked));
    input.closeRequested = deferringErrors(session, std::move(input.closeRequested));
    return input;
}

} // namespace qv
