#include "platform/replay_ports.h"

namespace qv {

namespace {

constexpr std::uint32_t kReplayStoppedError = 1167;  // "the device is not connected"
constexpr std::size_t kExchangesShown = 3;

std::string quoted(const std::optional<std::string>& text) { return text ? "\"" + *text + "\"" : "none"; }

} // namespace

ReplayPorts::ReplayPorts(std::istream& recording, EventLoop& loop, DivergenceHandler onDivergence)
    : reader_(recording), loop_(loop), onDivergence_(std::move(onDivergence)), startTick_(loop.tickCount()) {
    start_ = reader_.next();
}

void ReplayPorts::diverge(ReplayDivergence divergence) {
    stopped_ = true;
    divergence.exchange = exchanges_;
    divergence.before = lastExchanges_;
    if (onDivergence_) onDivergence_(divergence);
}

void ReplayPorts::keepExchange(const RecordedEvent& event) {
    ReplayedExchange exchange{exchanges_, event, std::nullopt};
    const std::string path = event.path.value_or("");
    if (event.op == RecordedOp::Set) {
        lastSets_[path] = event.report;
    } else if (const auto it = lastSets_.find(path); it != lastSets_.end()) {
        exchange.answers = it->second;
    }
    lastExchanges_.push_back(std::move(exchange));
    if (lastExchanges_.size() > kExchangesShown) lastExchanges_.pop_front();
}

const RecordedEvent* ReplayPorts::expect(RecordedOp op, const std::string& asked,
                                         const std::function<std::string(const RecordedEvent&)>& mismatch,
                                         const FeatureReport* sent) {
    if (stopped_) return nullptr;
    if (op == RecordedOp::Set || op == RecordedOp::Get) ++exchanges_;
    ReplayDivergence divergence;
    divergence.asked = asked;
    if (sent != nullptr) divergence.actualReport = *sent;
    auto next = reader_.next();
    if (!next) {
        divergence.reason = reader_.error().empty() ? "the recording ends here"
                                                     : "the recording cannot be read on: " + reader_.error();
        diverge(std::move(divergence));
        return nullptr;
    }
    divergence.line = reader_.lineNumber();
    std::string problem;
    if (next->op != op) {
        problem = "the recording has " + std::string(opName(next->op)) + " next";
    } else {
        problem = mismatch(*next);
    }
    if (!problem.empty()) {
        divergence.reason = problem;
        divergence.recorded = std::move(next);
        diverge(std::move(divergence));
        return nullptr;
    }
    current_ = std::move(*next);
    const std::uint32_t due = startTick_ + current_.t;
    const std::uint32_t now = loop_.tickCount();
    const auto ahead = static_cast<std::int32_t>(due - now);
    if (ahead > 0) loop_.sleep(static_cast<std::uint32_t>(ahead));
    return &current_;
}

std::string ReplayPorts::pathOf(HidHandle handle) const {
    const auto it = open_.find(handle);
    return it == open_.end() ? std::string() : it->second.path;
}

std::optional<std::string> ReplayPorts::interfacePath(unsigned index) {
    const auto* event = expect(RecordedOp::Enumerate, "enumerate index " + std::to_string(index),
                               [&](const RecordedEvent& e) {
                                   return e.index == index ? std::string()
                                                           : "the recording asks for index " + std::to_string(e.index);
                               });
    return event ? event->path : std::nullopt;
}

HidHandle ReplayPorts::open(const std::string& path) {
    const auto* event = expect(RecordedOp::Open, "open " + path, [&](const RecordedEvent& e) {
        return e.path == path ? std::string() : "the recording opens " + quoted(e.path);
    });
    if (event == nullptr || !event->ok) return kNoHandle;
    open_[event->handle] = {path, event->caps, event->attributes};
    return event->handle;
}

void ReplayPorts::close(HidHandle handle) {
    const std::string path = pathOf(handle);
    if (expect(RecordedOp::Close, "close " + path, [&](const RecordedEvent& e) {
            return e.path == path ? std::string() : "the recording closes " + quoted(e.path);
        })) {
        open_.erase(handle);
    }
}

std::optional<HidCollectionCaps> ReplayPorts::collectionCaps(HidHandle handle) {
    const auto it = open_.find(handle);
    return stopped_ || it == open_.end() ? std::nullopt : it->second.caps;
}

std::optional<HidAttributes> ReplayPorts::attributes(HidHandle handle) {
    const auto it = open_.find(handle);
    return stopped_ || it == open_.end() ? std::nullopt : it->second.attributes;
}

bool ReplayPorts::setFeature(HidHandle handle, const FeatureReport& report, std::uint32_t& errorCode) {
    const std::string path = pathOf(handle);
    const auto* event = expect(
        RecordedOp::Set, "set on " + (path.empty() ? std::string("no interface") : path),
        [&](const RecordedEvent& e) {
            if (e.report != report) return std::string("the report differs");
            return e.path == path ? std::string() : "the recording sends it to " + quoted(e.path);
        },
        &report);
    if (event == nullptr) {
        errorCode = kReplayStoppedError;
        return false;
    }
    keepExchange(*event);
    errorCode = event->error;
    return event->ok;
}

bool ReplayPorts::getFeature(HidHandle handle, FeatureReport& report, std::uint32_t& errorCode) {
    const std::string path = pathOf(handle);
    const auto* event = expect(RecordedOp::Get, "get on " + (path.empty() ? std::string("no interface") : path),
                               [&](const RecordedEvent& e) {
                                   return e.path == path ? std::string()
                                                         : "the recording asks " + quoted(e.path);
                               });
    if (event == nullptr) {
        errorCode = kReplayStoppedError;
        return false;
    }
    keepExchange(*event);
    report = event->report;
    errorCode = event->error;
    return event->ok;
}

PresentDeviceList ReplayPorts::presentDevices() {
    const auto* event = expect(RecordedOp::HardwareIds, "list the device tree",
                               [](const RecordedEvent&) { return std::string(); });
    return event ? event->devices : PresentDeviceList{};
}

bool ReplayPorts::removeDevice(std::uint64_t node) {
    const auto* event = expect(RecordedOp::Remove, "remove device node " + std::to_string(node),
                               [&](const RecordedEvent& e) {
                                   return e.node == node ? std::string()
                                                         : "the recording removes node " + std::to_string(e.node);
                               });
    return event != nullptr && event->ok;
}

RescanStatus ReplayPorts::rescan() {
    const auto* event =
        expect(RecordedOp::Rescan, "rescan the device tree", [](const RecordedEvent&) { return std::string(); });
    return event ? event->rescan : RescanStatus{};
}

void ReplayPorts::finish(int exitCode) {
    if (stopped_) return;
    ReplayDivergence divergence;
    divergence.asked = "end with exit code " + std::to_string(exitCode);
    auto next = reader_.next();
    if (!next) {
        if (reader_.error().empty()) return;  // a recording cut short ends here too
        divergence.reason = "the recording cannot be read on: " + reader_.error();
    } else if (next->op != RecordedOp::End) {
        divergence.reason = "the program ended where the recording goes on";
    } else if (next->exitCode != exitCode) {
        divergence.reason = "the recording ended with exit code " + std::to_string(next->exitCode);
    } else {
        return;
    }
    divergence.line = reader_.lineNumber();
    divergence.recorded = std::move(next);
    diverge(std::move(divergence));
}

} // namespace qv
