#pragma once
// What a view of the main window sends back: the operator's input and the
// view's own trouble. Views only forward; the window logic decides.
#include <functional>
#include <string>

namespace qv {

struct Session;

struct ViewInput {
    std::function<void(int keyCode)> keyDown;
    std::function<void(int keyCode)> keyUp;
    std::function<void()> updateClicked;   // "Update" (Button5)
    std::function<void()> closeClicked;    // "Close" (Button6)
    std::function<void()> closeRequested;  // the title bar's close box
    std::function<void(const std::string& line)> diagnostic;  // a view's own problem, for Memo2
};

// The input connected to the session's window logic: CTRL to
// FormKeyDown/FormKeyUp, "Update" to Button5Click, "Close" to Button6Click,
// the close box to the close sequence, a view's problems to Memo2. An error
// or a stop request that comes up in one of them never leaves through the
// view's toolkit: it ends the run at the program loop's next safe point.
ViewInput windowInput(Session& session);

} // namespace qv
