#include "programming/settle.h"

#include <algorithm>
#include <cstdint>

#include "session/session.h"

namespace qv {

namespace {
void waitMilliseconds(Session& session, std::int32_t milliseconds) {
    session.link.WaitWithMessages(static_cast<std::uint32_t>(std::max<std::int32_t>(milliseconds, 0)));
}
} // namespace

void WaitConfiguredDelay(Session& session) { waitMilliseconds(session, session.options.MSEC); }

void WaitHalfDelay(Session& session) { waitMilliseconds(session, session.options.MSEC / 2); }

void RemoveAndRescan(Session& session, std::span<const std::string> hardwareIds) {
    for (const auto& id : hardwareIds) {
        session.deviceTree.RemoveDevicesByHardwareId(id);
    }
    WaitHalfDelay(session);
    session.deviceTree.RescanDevices();
    WaitHalfDelay(session);
}

} // namespace qv
