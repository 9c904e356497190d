#pragma once
// The whole updater on the simulated hub and virtual time, with the Qt view
// on its window: the view is connected to the window logic as in the
// program, and rendered whenever the program processes events (each
// exchange with the hub costs a millisecond, so long flows let it draw).
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <QPushButton>
#include <QTest>

#include "app/main_window.h"
#include "core/support/sim_session.h"
#include "support/on_screen.h"
#include "ui/qt/main_window_view.h"
#include "ui/qt/qt_program.h"

namespace qv::testing {

class WindowedSession {
public:
    explicit WindowedSession(CommandLine commandLine = {})
        : sim(std::move(commandLine)), view(sim.session.window, qt::windowInput(sim.session)),
          viewTimer(sim.session.timers.add("View", kRenderIntervalMs)) {
        sim.hub.setLatency(1);
        viewTimer.onTick([this] {
            view.render();
            progressSeen.push_back(view.progressBar1()->value());
            if (onRender) {
                onRender();
            }
        });
        sim.session.setTimer(viewTimer, true);
    }

    Session& session() { return sim.session; }
    WindowModel& model() { return sim.session.window; }

    void writeIni(const std::string& text) {
        std::ofstream file(sim.scratch.path() / "TAVO.ini", std::ios::binary | std::ios::trunc);
        file << text;
    }
    void addFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::ofstream file(sim.scratch.path() / name, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    // The device's running-firmware version text at 0x3100.
    static void setDeviceVersion(sim::SimulatedDevice& device, const std::string& text) {
        std::vector<std::uint8_t> field(32, 0);
        std::copy(text.begin(), text.end(), field.begin());
        device.chip().loadFlash(field, 0x3100);
    }

    // The window created as the program creates it; Timer4 then runs the
    // start-up sequence.
    void create() {
        CreateMainWindow(sim.session);
        view.render();
    }
    // Lets the program's clock run, then draws.
    void run(std::uint32_t milliseconds) {
        sim.loop.advance(milliseconds);
        view.render();
    }
    // Update-button mode with a device whose firmware is older than the
    // file, after the start-up pass.
    void startInUpdateButtonMode() {
        writeIni("[OPTION]\nTALVIK_UPDATEBUTTON=1\n[CHECKVERSION]\nPROJECTNAME1=ABC\n[CLOSEAPP]\nPASS=0\n");
        setDeviceVersion(sim.hub.addDevice(), "ABC1.0");
        addFile("fw.bin", imageWithVersion("ABC2.0"));
        create();
        run(300);
    }
    // The operator holds CTRL (the focus on the message pane), taps
    // "Update" and lets go.
    void tapUpdateWithControl() {
        QTest::keyPress(view.memo1(), Qt::Key_Control, Qt::ControlModifier);
        QTest::mouseClick(view.button(5), Qt::LeftButton, Qt::ControlModifier);
        QTest::keyRelease(view.memo1(), Qt::Key_Control);
    }
    void runUntil(const std::function<bool()>& done, std::uint32_t limitMs = 120000) {
        for (std::uint32_t t = 0; t < limitMs && !done(); t += 100) {
            run(100);
        }
    }

    static constexpr std::uint32_t kRenderIntervalMs = 5;

    SimSession sim;
    qt::MainWindowView view;
    WindowTimer& viewTimer;
    std::vector<int> progressSeen;       // the bar's value at each render
    std::function<void()> onRender;      // runs after each render
};

} // namespace qv::testing
