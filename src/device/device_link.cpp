#include "device/device_link.h"

#include "platform/event_loop.h"

namespace qv {

DeviceLink::DeviceLink(HidBus& bus, EventLoop& loop, LinkSettingsSource settings, LinkSinks sinks,
                       std::ostream& standardOutput)
    : bus_(bus),
      loop_(loop),
      settings_(settings ? std::move(settings) : [] { return LinkSettings{}; }),
      sinks_(std::move(sinks)),
      standardOutput_(standardOutput) {
    pageBufferMirror_.fill(0xFF);
}

DeviceLink::~DeviceLink() { CloseAllHandles(); }

void DeviceLink::safePoint() const {
    if (sinks_.safePoint) sinks_.safePoint();
}

void DeviceLink::diagnostic(const std::string& line) const {
    if (sinks_.diagnostic) sinks_.diagnostic(line);
}

void DeviceLink::progress(int percent) const {
    if (sinks_.progress) sinks_.progress(percent);
}

HidHandle DeviceLink::handleAt(unsigned slot) const {
    return slot < kHandleSlots ? deviceHandleTable_[slot] : kNoHandle;
}

void DeviceLink::CloseAllHandles() {
    for (auto& handle : deviceHandleTable_) {
        if (handle != kNoHandle) {
            bus_.close(handle);
            handle = kNoHandle;
        }
    }
}

} // namespace qv
