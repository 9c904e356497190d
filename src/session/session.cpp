#include "session/session.h"

#include <iostream>
#include <utility>

#include "platform/environment.h"
#include "platform/event_loop.h"
#include "platform/stop_request.h"
#include "session/link_wiring.h"

namespace qv {

Session::Session(const Ports& ports_, CommandLine commandLine_)
    : ports(ports_),
      commandLine(std::move(commandLine_)),
      timers(*ports_.loop),
      Timer1(timers.add("Timer1", 1000)),
      Timer2(timers.add("Timer2", 500)),
      Timer3(timers.add("Timer3", 1000)),
      Timer4(timers.add("Timer4", 100)),
      Timer5(timers.add("Timer5", 500)),
      link(*ports_.hid, *ports_.loop, [this] { return linkSettingsFrom(options); }, linkSinksInto(window, [this] { safePoint(); }),
           ports_.standardOutput != nullptr ? *ports_.standardOutput : std::cout),
      deviceTree(*ports_.deviceManager, messagePaneOf(window)) {
    ports.loop->attachTimers(&timers);
}

Session::~Session() { ports.loop->attachTimers(nullptr); }

void Session::safePoint() {
    if (deferredError) std::rethrow_exception(std::exchange(deferredError, nullptr));
    if (ports.stops == nullptr || !ports.stops->requested()) return;
    ports.stops->take();
    throw StopRequested{};
}

std::string Session::executableFolder() const { return ports.environment->executableFolder(); }

} // namespace qv
