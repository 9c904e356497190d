#pragma once
// A HID bus for unit tests of the device link: a fixed list of interfaces,
// a record of every feature exchange (with the virtual tick it happened at)
// and answers from a script. No chip behind it: each test says what the
// device answers.
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "platform/hid_bus.h"

namespace qv::test {

inline constexpr std::uint32_t kInvalidHandleError = 6;

struct FakeInterface {
    HidCollectionCaps caps;
    std::optional<HidAttributes> attributes = HidAttributes{0x1C7A, 0x5C50, 0x0102};
    bool openable = true;
    bool capsReadable = true;
};

struct RecordedExchange {
    HidHandle handle;
    bool isSet;
    FeatureReport report;  // what was sent (Set) or answered (Get)
    bool ok;
    std::uint32_t tick;

    std::uint8_t reportId() const { return report[0]; }
    std::uint8_t opcode() const { return report[1]; }
};

class ScriptedHidBus : public HidBus {
public:
    explicit ScriptedHidBus(EventLoop* clock = nullptr) : clock_(clock) {}

    // Interface i has the path "hid#i"; its handles are 1000 * (i + 1) + n.
    std::vector<FakeInterface> interfaces;

    // Error codes of the next feature calls that fail, consumed in order
    // (Set and Get alike); empty = every call succeeds.
    std::deque<std::uint32_t> failNext;
    // Error codes of the next Gets that fail (Sets are not affected).
    std::deque<std::uint32_t> failNextGets;
    // A failing Get still leaves the scripted answer in the report buffer,
    // as a platform may: the host must not take it for the device's answer.
    bool failedGetFillsReport = false;
    // Fails every feature call on these handles.
    std::set<HidHandle> deadHandles;

    // The answer of a Get, given the last report the device received. When
    // unset, scripted answers are served from `answers`, then zeros.
    std::function<FeatureReport(const FeatureReport& lastSet)> answer;
    std::deque<FeatureReport> answers;

    std::vector<RecordedExchange> exchanges;
    std::set<HidHandle> openHandles;
    int opens = 0;
    int closes = 0;

    std::optional<std::string> interfacePath(unsigned index) override {
        if (index >= interfaces.size()) return std::nullopt;
        return "hid#" + std::to_string(index);
    }

    HidHandle open(const std::string& path) override {
        const unsigned index = static_cast<unsigned>(std::stoul(path.substr(4)));
        if (index >= interfaces.size() || !interfaces[index].openable) return kNoHandle;
        ++opens;
        const HidHandle handle = static_cast<HidHandle>(1000 * (index + 1) + opens);
        openHandles.insert(handle);
        return handle;
    }

    void close(HidHandle handle) override {
        ++closes;
        openHandles.erase(handle);
    }

    std::optional<HidCollectionCaps> collectionCaps(HidHandle handle) override {
        const auto* iface = interfaceOf(handle);
        if (iface == nullptr || !iface->capsReadable) return std::nullopt;
        return iface->caps;
    }

    std::optional<HidAttributes> attributes(HidHandle handle) override {
        const auto* iface = interfaceOf(handle);
        return iface ? iface->attributes : std::nullopt;
    }

    bool setFeature(HidHandle handle, const FeatureReport& report, std::uint32_t& errorCode) override {
        const bool ok = succeeds(handle, errorCode);
        if (ok) lastSet_ = report;
        exchanges.push_back({handle, true, report, ok, now()});
        return ok;
    }

    bool getFeature(HidHandle handle, FeatureReport& report, std::uint32_t& errorCode) override {
        bool ok = succeeds(handle, errorCode);
        if (ok && !failNextGets.empty()) {
            errorCode = failNextGets.front();
            failNextGets.pop_front();
            ok = false;
        }
        if (ok || failedGetFillsReport) {
            const std::uint8_t id = report[0];
            if (answer) {
                report = answer(lastSet_);
            } else if (!answers.empty()) {
                report = answers.front();
                answers.pop_front();
            } else {
                report.fill(0);
            }
            report[0] = id;
        }
        exchanges.push_back({handle, false, report, ok, now()});
        return ok;
    }

    std::vector<RecordedExchange> sets() const { return filtered(true); }
    std::vector<RecordedExchange> gets() const { return filtered(false); }

    // The handle's interface index, or -1.
    static int interfaceIndexOf(HidHandle handle) { return handle <= 0 ? -1 : static_cast<int>(handle / 1000) - 1; }

private:
    const FakeInterface* interfaceOf(HidHandle handle) const {
        if (!openHandles.contains(handle)) return nullptr;
        const int index = interfaceIndexOf(handle);
        return index >= 0 && index < static_cast<int>(interfaces.size()) ? &interfaces[index] : nullptr;
    }

    bool succeeds(HidHandle handle, std::uint32_t& errorCode) {
        if (handle == kNoHandle || !openHandles.contains(handle) || deadHandles.contains(handle)) {
            errorCode = kInvalidHandleError;
            return false;
        }
        if (!failNext.empty()) {
            errorCode = failNext.front();
            failNext.pop_front();
            return false;
        }
        return true;
    }

    std::uint32_t now() const { return clock_ ? clock_->tickCount() : 0; }

    std::vector<RecordedExchange> filtered(bool isSet) const {
        std::vector<RecordedExchange> out;
        for (const auto& e : exchanges) {
            if (e.isSet == isSet) out.push_back(e);
        }
        return out;
    }

    EventLoop* clock_;
    FeatureReport lastSet_{};
};

} // namespace qv::test
