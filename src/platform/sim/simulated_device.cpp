#include "platform/sim/simulated_device.h"

#include "platform/event_loop.h"
#include "platform/sim/default_firmware.h"
#include "platform/sim/wire_format.h"

namespace qv::sim {

SimulatedDevice::SimulatedDevice(const DeviceConfig& config, EventLoop& clock, std::mt19937& random)
    : config_(config),
      clock_(clock),
      random_(random),
      chip_(config.chipId, config.parameters),
      firmware_(config.firmware),
      mode_(config.mode) {
    if (config.defaultFirmware) {
        const auto image = defaultFirmwareFlash(config.family);
        chip_.loadFlash(image);
    }
    chip_.powerUp();
    if (!config.attached) {
        away_ = Away::Unplugged;
        ++instance_;
    }
}

// --- Presence -------------------------------------------------------------------

void SimulatedDevice::update() {
    const std::uint32_t now = clock_.tickCount();
    while (!steps_.empty() && static_cast<std::uint32_t>(now - stepStart_) >= steps_.front().afterMs) {
        const Step step = steps_.front();
        steps_.pop_front();
        stepStart_ += step.afterMs;
        if (step.appear) {
            appear();
        } else {
            vanish(Away::Reenumerating);
        }
    }
}

bool SimulatedDevice::present() {
    update();
    return away_ == Away::None;
}

void SimulatedDevice::vanish(Away reason) {
    if (away_ == Away::None) {
        ++instance_;
    }
    away_ = reason;
}

void SimulatedDevice::appear() {
    if (away_ == Away::None) {
        return;
    }
    away_ = Away::None;
    answer_ = {};
}

void SimulatedDevice::schedule(bool appearing, std::uint32_t afterMs) {
    if (steps_.empty()) {
        stepStart_ = clock_.tickCount();
    }
    steps_.push_back({appearing, afterMs});
}

Mode SimulatedDevice::bootMode() const {
    return mode_ == Mode::Normal && chip_.firmwareIntact() ? Mode::Normal : Mode::Flash;
}

void SimulatedDevice::switchProgram(ModeChange change) {
    if (change == ModeChange::None) {
        return;
    }
    mode_ = change == ModeChange::ToLoader ? Mode::Flash : Mode::Normal;
    mode_ = bootMode();
    chip_.powerUp();
    firmware_.restart();
    vanish(Away::Reenumerating);
    steps_.clear();
    schedule(true, config_.reenumerationDelayMs + faults_.extraReenumerationMs);
    if (faults_.flickerReenumeration) {
        schedule(false, faults_.flickerMs);
        schedule(true, faults_.flickerMs);
    }
}

void SimulatedDevice::unplug() {
    update();
    steps_.clear();
    vanish(Away::Unplugged);
}

void SimulatedDevice::plugIn() {
    update();
    if (away_ != Away::Unplugged) {
        return;
    }
    mode_ = bootMode();
    chip_.powerUp();
    firmware_.restart();
    appear();
}

void SimulatedDevice::powerLoss(std::uint32_t offMs) {
    update();
    steps_.clear();
    vanish(Away::PoweredOff);
    mode_ = bootMode();
    chip_.powerUp();
    firmware_.restart();
    schedule(true, offMs);
}

void SimulatedDevice::removeFromTree() {
    update();
    if (away_ != Away::None) {
        return;
    }
    steps_.clear();
    vanish(Away::Removed);
}

void SimulatedDevice::rescan() {
    update();
    if (away_ == Away::Removed) {
        appear();
    }
}

// --- Bus view -------------------------------------------------------------------

HidCollectionCaps SimulatedDevice::collection() const {
    const FamilyTraits& traits = familyTraits(config_.family);
    if (mode_ == Mode::Normal) {
        return {traits.usagePage, traits.normalUsage};
    }
    return {traits.loaderUsagePage, config_.loaderUsage != 0 ? config_.loaderUsage : traits.loaderUsage};
}

std::uint16_t SimulatedDevice::productId() const {
    const FamilyTraits& traits = familyTraits(config_.family);
    if (mode_ == Mode::Normal) {
        return config_.normalProductId != 0 ? config_.normalProductId : traits.normalProductId;
    }
    return config_.loaderProductId != 0 ? config_.loaderProductId : traits.loaderProductId;
}

HidAttributes SimulatedDevice::attributes() const { return {config_.vendorId, productId(), config_.revision}; }

std::string SimulatedDevice::hardwareIds() const {
    return usbHardwareIds(config_.vendorId, productId(), config_.revision);
}

// --- Exchanges ------------------------------------------------------------------

// The firmware's collection carries report ids, the loader's none: a report
// id the running program does not use is rejected like an unknown report.
bool SimulatedDevice::admit(std::uint8_t reportId, std::uint32_t& errorCode) {
    ++exchanges_;
    switch (takeExchangeFault(faults_, random_)) {
    case ExchangeFault::PowerLoss:
        powerLoss(faults_.powerOffMs);
        errorCode = error::kDeviceNotConnected;
        return false;
    case ExchangeFault::Disconnect:
        unplug();
        errorCode = error::kDeviceNotConnected;
        return false;
    case ExchangeFault::Fail:
        errorCode = error::kGeneralFailure;
        return false;
    case ExchangeFault::None:
        break;
    }
    const bool usesReportIds = mode_ == Mode::Normal;
    if ((reportId != 0) != usesReportIds) {
        errorCode = error::kInvalidParameter;
        return false;
    }
    return true;
}

bool SimulatedDevice::setFeature(const FeatureReport& report, std::uint32_t& errorCode) {
    if (!admit(report[field::kReportId], errorCode)) {
        return false;
    }
    Reply reply = mode_ == Mode::Normal ? firmware_.handle(chip_, report) : loaderHandle(chip_, report);
    spoilReply(faults_, reply, random_);
    if (reply.kind == ReplyKind::Refused) {
        ++refused_;
    }
    answer_ = reply.answer;
    switchProgram(reply.modeChange);
    return true;
}

bool SimulatedDevice::getFeature(FeatureReport& report, std::uint32_t& errorCode) {
    const std::uint8_t reportId = report[field::kReportId];
    if (!admit(reportId, errorCode)) {
        return false;
    }
    report = answer_;
    report[field::kReportId] = reportId;
    return true;
}

} // namespace qv::sim
