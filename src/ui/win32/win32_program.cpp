#include "ui/win32/win32_program.h"

#include <iostream>

#include "session/session.h"
#include "app/view_input.h"
#include "ui/win32/main_window_view.h"
#include "ui/win32/win32_event_loop.h"
#include "ui/win32/win32_file_dialog.h"

namespace qv::win32 {

std::string toolkitDescription() { return "Win32 (common controls 6, GDI+)"; }

int runWindowProgram(ProgramHost& host, const CommandLine& commandLine) {
    // The window first: without one there is nobody to run for.
    MainWindowView view;
    if (!view.created()) {
        std::cerr << "QuorvexUpdate: no window: " << view.creationError()
                  << "; start it with /S to update without a window\n";
        return kExitStartFailure;
    }
    Win32EventLoop loop;
    Win32FileDialog fileDialog(view.window());
    const auto attachView = [&](Session& session) {
        session.ports.fileDialog = &fileDialog;
        view.attach(session.window, windowInput(session));
        loop.setRenderer([&view] { view.render(); });
        loop.setMessagePreview([&view](const MSG& message) { view.preview(message); });
    };
    const int exitCode = runProgram(loop, host, commandLine, attachView);
    // The session is gone: nothing may draw from its window model any more.
    loop.setRenderer({});
    loop.setMessagePreview({});
    view.detach();
    return exitCode;
}

} // namespace qv::win32
