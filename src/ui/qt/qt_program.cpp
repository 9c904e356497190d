#include "ui/qt/qt_program.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <QApplication>

#include "session/session.h"
#include "ui/qt/qt_event_loop.h"
#include "ui/qt/qt_file_dialog.h"

namespace qv::qt {

namespace {

std::string environmentText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// ":N" or ":N.S" is served through the socket /tmp/.X11-unix/XN; a display
// on another host is taken on trust.
bool xDisplayReachable(const std::string& display) {
    if (!startsWith(display, ":")) {
        return !display.empty();
    }
    const std::string number = display.substr(1, display.find('.') - 1);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    std::error_code ignored;
    return std::filesystem::exists("/tmp/.X11-unix/X" + number, ignored);
}

} // namespace

std::string toolkitDescription() { return std::string("Qt ") + qVersion(); }

bool displayAvailable() {
#if defined(_WIN32) || defined(__APPLE__)
    return true;
#else
    const std::string platform = environmentText("QT_QPA_PLATFORM");
    if (!platform.empty() && !startsWith(platform, "xcb") && !startsWith(platform, "wayland")) {
        return true;
    }
    if (!environmentText("WAYLAND_DISPLAY").empty() && !startsWith(platform, "xcb")) {
        return true;
    }
    return xDisplayReachable(environmentText("DISPLAY"));
#endif
}

int runWindowProgram(int argc, char** argv, ProgramHost& host, const CommandLine& commandLine) {
    QApplication application(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));  // the same look on every desktop
    QApplication::setQuitOnLastWindowClosed(false);     // the close sequence ends the program

    QtEventLoop loop;
    QtFileDialog fileDialog;
    std::unique_ptr<MainWindowView> view;
    const auto attachView = [&](Session& session) {
        session.ports.fileDialog = &fileDialog;
        view = std::make_unique<MainWindowView>(session.window, windowInput(session));
        fileDialog.setParent(view.get());
        loop.setRenderer([&view] { view->render(); });
    };
    const int exitCode = runProgram(loop, host, commandLine, attachView);
    // The session is gone: nothing may draw from its window model any more.
    loop.setRenderer({});
    fileDialog.setParent(nullptr);
    view.reset();
    return exitCode;
}

} // namespace qv::qt
