// Arbitrary device behaviour against the device link and the device tree:
// every Get answers bytes from the input, exchanges fail when the input
// says so, and the device tree lists hardware-id properties cut from the
// input. Whatever the device answers, the host must stay inside its buffers.
#include <cstddef>
#include <cstdint>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "device/device_link.h"
#include "device/device_tree.h"
#include "platform/device_manager.h"
#include "platform/hid_bus.h"
#include "platform/virtual_event_loop.h"
#include "session/link_wiring.h"
#include "session/options.h"
#include "session/window_model.h"

namespace {

class InputBytes {
public:
    explicit InputBytes(std::span<const std::uint8_t> data) : data_(data) {}
    std::uint8_t next() { return at_ < data_.size() ? data_[at_++] : 0; }
    std::string take(std::size_t n) {
        std::string out;
        while (n-- > 0 && at_ < data_.size()) out.push_back(static_cast<char>(data_[at_++]));
        return out;
    }
    bool empty() const { return at_ >= data_.size(); }

private:
    std::span<const std::uint8_t> data_;
    std::size_t at_ = 0;
};

class FuzzedDevice : public qv::HidBus, public qv::DeviceManager {
public:
    explicit FuzzedDevice(InputBytes& input) : input_(input) {}

    std::optional<std::string> interfacePath(unsigned index) override {
        if (index >= 2) return std::nullopt;
        return "fuzz#" + std::to_string(index);
    }
    qv::HidHandle open(const std::string&) override { return 7; }
    void close(qv::HidHandle) override {}
    std::optional<qv::HidCollectionCaps> collectionCaps(qv::HidHandle) override {
        return qv::HidCollectionCaps{static_cast<std::uint16_t>(0xFF00 | input_.next()), input_.next()};
    }
    std::optional<qv::HidAttributes> attributes(qv::HidHandle) override {
        if (input_.next() & 1) return std::nullopt;
        return qv::HidAttributes{0x1C7A, static_cast<std::uint16_t>(input_.next() << 8 | input_.next()), 1};
    }
    bool setFeature(qv::HidHandle, const qv::FeatureReport&, std::uint32_t& errorCode) override {
        errorCode = 31;
        return (input_.next() & 0x0F) != 0;
    }
    bool getFeature(qv::HidHandle, qv::FeatureReport& report, std::uint32_t& errorCode) override {
        errorCode = 31;
        const bool ok = (input_.next() & 0x0F) != 0;
        for (std::size_t i = 1; i < report.size(); ++i) report[i] = input_.next();
        return ok;
    }

    qv::PresentDeviceList presentDevices() override {
        qv::PresentDeviceList list;
        list.opened = input_.next() != 0;
        const unsigned count = input_.next() % 4;
        for (unsigned i = 0; i < count; ++i) {
            qv::PresentDevice device;
            device.status = static_cast<qv::PresentDevice::IdStatus>(input_.next() % 3);
            device.hardwareIds = input_.take(input_.next() % 64);
            device.node = i;
            list.devices.push_back(device);
        }
        list.enumerationFailed = input_.next() & 1;
        return list;
    }
    bool removeDevice(std::uint64_t) override { return input_.next() & 1; }
    qv::RescanStatus rescan() override { return {true, true, true}; }

private:
    InputBytes& input_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    InputBytes input(std::span(data, size));
    FuzzedDevice device(input);
    qv::VirtualEventLoop loop;
    qv::Options options;
    qv::WindowModel window;
    std::ostringstream standardOutput;
    qv::DeviceLink link(device, loop, [&] { return qv::linkSettingsFrom(options); }, qv::linkSinksInto(window), standardOutput);
    qv::DeviceTree tree(device, messagePaneOf(window));

    link.OpenMatchingDevices(0xFF5C, 0xDB);
    options.MAININDEX = input.next() % 3;

    std::vector<std::uint8_t> image(input.next() * 16 + 1, 0x5A);
    link.WriteFlash(0x2000, static_cast<int>(input.next()) * 8, image);
    std::vector<std::uint8_t> back(input.next() + 1);
    link.ReadFlash(0x2000, static_cast<int>(back.size()) + input.next() % 3, back);
    std::vector<std::uint8_t> memory(input.next() % 40);
    link.ReadMemory(0xF02000, static_cast<std::uint8_t>(input.next() % 48), memory);
    std::uint8_t byte = 0;
    link.ReadMemoryByte(0x3100, byte);
    std::array<std::uint8_t, 3> id{};
    link.ReadBootMemory(0xF02000, id);
    link.QueryParameterArea(input.next());
    link.ReadChipClass(input.next() % 3);
    link.VendorHandshake(input.next() & 1);

    const std::string wanted = input.take(input.next() % 32);
    tree.RemoveDevicesByHardwareId(wanted);
    tree.ReadDeviceRevision(wanted);
    return 0;
}
