#include "device/device_link.h"

#include "platform/event_loop.h"

namespace qv {

DeviceLink::DeviceLink(HidBus& bus, EventLoop& loop, Options& options, WindowModel& window,
                       std::ostream& standardOutput)
    : bus_(bus), loop_(loop), options_(options), window_(window), standardOutput_(standardOutput) {
    pageBufferMirror_.fill(0xFF);
}

DeviceLink::~DeviceLink() { CloseAllHandles(); }

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
