#pragma once
// Where the program gets its ports: the platform's own (HID bus, device
// tree, FWVer store, ...), or, with "--simulate=DIR", the simulated sensor
// hub whose state lives in DIR instead of the HID bus and the device tree.
// The simulated device is loaded from DIR when the run starts and saved
// back when it ends, and FWVer is then written to DIR/FWVer (on Windows to
// the registry as well, as a real run does).
//
// Before anything is touched the station's lock is taken: the system-wide
// one, or with --simulate the one of DIR, so that simulated stations in
// different folders run side by side.
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "app/program.h"
#include "main/device_capture.h"
#include "platform/platform_ports.h"
#include "platform/portable_ports.h"
#include "platform/sim/simulated_hub.h"

namespace qv {

class MainHost : public ProgramHost {
public:
    MainHost(std::string argv0, std::optional<std::string> simulationFolder, ConsoleReporting reporting = {});

    HostOpening open(EventLoop& loop, Ports& ports, std::string& error) override;
    bool close(std::string& error) override;
    void sessionStarted(Session& session) override;
    void sessionEnded(const Session& session, int exitCode) override;

    // --record / --replay around the device ports.
    void setCapture(CaptureOptions options) { capture_ = std::make_unique<DeviceCapture>(std::move(options)); }
    ConsoleReporting reporting() const override { return reporting_; }

private:
    HostOpening openPorts(EventLoop& loop, Ports& ports, std::string& error);

    std::string argv0_;
    std::optional<std::string> simulationFolder_;
    PlatformPorts platform_;
    std::unique_ptr<InstanceLock> lock_;  // held to the end of the process
    std::unique_ptr<sim::SimulatedHub> hub_;
    std::unique_ptr<SystemStore> simulatedStore_;
    std::unique_ptr<DeviceCapture> capture_;
    ConsoleReporting reporting_;
    void pauseAtHostEvent(const std::string& folder);
};

// DIR with a trailing separator.
std::string asFolder(std::string path);

} // namespace qv
