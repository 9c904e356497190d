#include "trace_view.h"

#include <cstdio>
#include <map>
#include <ostream>
#include <vector>

#include "app/replay_report.h"
#include "device/request_decoding.h"
#include "platform/session_recording.h"

namespace qv::trace {

namespace {

constexpr int kBadRecording = 2;

std::string timeText(std::uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%7u.%03u", ms / 1000, ms % 1000);
    return text;
}

std::string seconds(std::uint64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%03llu s", static_cast<unsigned long long>(ms / 1000),
                  static_cast<unsigned long long>(ms % 1000));
    return text;
}

std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const auto& item : items) text += (text.empty() ? "" : " ") + item;
    return text;
}

std::string openText(const RecordedEvent& event) {
    std::string text = "open " + event.path.value_or("");
    if (!event.ok) return text + ": cannot be opened";
    text += " handle " + std::to_string(event.handle);
    text += event.caps ? " " + hex4(event.caps->usagePage) + "/" + hex4(event.caps->usage) : " (no collection)";
    if (event.attributes) {
        text += " vid " + hex4(event.attributes->vendorId) + " pid " + hex4(event.attributes->productId) +
                " version " + hex4(event.attributes->versionNumber);
    }
    return text;
}

std::string treeText(const RecordedEvent& event) {
    if (!event.devices.opened) return "device tree: cannot be listed";
    std::string text = "device tree: " + std::to_string(event.devices.devices.size()) + " devices";
    for (const auto& device : event.devices.devices) {
        if (device.status != PresentDevice::IdStatus::Ok) continue;
        const std::string first = device.hardwareIds.substr(0, device.hardwareIds.find('\0'));
        if (first.find("VID_1C7A") != std::string::npos) text += ", " + first;
    }
    if (event.devices.enumerationFailed) text += " (the listing ended with an error)";
    return text;
}

// What one event says, with the Set each Get answers.
class Lines {
public:
    std::string direction(const RecordedEvent& event) const {
        if (event.op == RecordedOp::Set) return "->";
        if (event.op == RecordedOp::Get) return "<-";
        return "  ";
    }

    std::string text(const RecordedEvent& event) {
        switch (event.op) {
        case RecordedOp::Start:
            return "start QuorvexUpdate " + event.version + " on " + event.platform + ", arguments: " +
                   joined(event.arguments);
        case RecordedOp::Enumerate:
            return "interface " + std::to_string(event.index) + ": " + event.path.value_or("none");
        case RecordedOp::Open: return openText(event);
        case RecordedOp::Close: return "close " + event.path.value_or("");
        case RecordedOp::Set: {
            lastSet_[event.path.value_or("")] = event.report;
            return describeExchange(event, nullptr);
        }
        case RecordedOp::Get: {
            const auto it = lastSet_.find(event.path.value_or(""));
            return describeExchange(event, it == lastSet_.end() ? nullptr : &it->second);
        }
        case RecordedOp::HardwareIds: return treeText(event);
        case RecordedOp::Remove:
            return "remove device node " + std::to_string(event.node) + (event.ok ? "" : ": refused");
        case RecordedOp::Rescan:
            return std::string("rescan: ") + (event.rescan.connected ? "connected" : "cannot connect") +
                   (event.rescan.rootLocated ? ", root found" : ", no root") +
                   (event.rescan.reenumerated ? ", re-enumerated" : ", not re-enumerated");
        case RecordedOp::End:
            return "end: result code " + std::to_string(event.resultCode) + ", exit code " +
                   std::to_string(event.exitCode);
        }
        return {};
    }

    // The request a Set carries, or the one a Get answers.
    std::optional<DecodedRequest> request(const RecordedEvent& event) const {
        if (event.op == RecordedOp::Set) return decodeRequest(event.report);
        const auto it = lastSet_.find(event.path.value_or(""));
        return it == lastSet_.end() ? std::nullopt : decodeRequest(it->second);
    }

private:
    std::map<std::string, FeatureReport> lastSet_;
};

int badRecording(const RecordingReader& reader, std::ostream& errors) {
    errors << "qv-trace: " << reader.error() << "\n";
    return kBadRecording;
}

} // namespace

int show(std::istream& recording, std::ostream& out, std::ostream& errors) {
    RecordingReader reader(recording);
    Lines lines;
    while (auto event = reader.next()) {
        out << timeText(event->t) << "  " << lines.direction(*event) << "  " << lines.text(*event) << "\n";
    }
    return reader.error().empty() ? 0 : badRecording(reader, errors);
}

int stats(std::istream& recording, std::ostream& out, std::ostream& errors) {
    struct Counts {
        std::uint64_t sets = 0;
        std::uint64_t gets = 0;
        std::uint64_t failed = 0;
    };
    RecordingReader reader(recording);
    Lines lines;
    std::map<std::string, Counts> perCommand;
    std::uint64_t failed = 0;
    std::uint64_t retries = 0;
    std::uint64_t pagesWritten = 0;
    std::uint64_t pagesErased = 0;
    std::uint64_t bytesRead = 0;
    std::uint64_t exchangeMs = 0;
    std::uint32_t first = 0;
    std::uint32_t previous = 0;
    bool any = false;
    std::optional<RecordedEvent> lastExchange;
    std::optional<RecordedEvent> end;
    while (auto event = reader.next()) {
        if (!any) first = event->t;
        any = true;
        const std::uint32_t took = event->t - previous;
        previous = event->t;
        lines.text(*event);  // keeps the Set each Get answers
        if (event->op == RecordedOp::End) end = event;
        if (event->op != RecordedOp::Set && event->op != RecordedOp::Get) continue;
        exchangeMs += took;
        const auto request = lines.request(*event);
        Counts& counts = perCommand[request ? requestName(request->layout->request) : "unknown"];
        (event->op == RecordedOp::Set ? counts.sets : counts.gets) += 1;
        if (lastExchange && !lastExchange->ok && lastExchange->op == event->op && lastExchange->path == event->path &&
            (event->op == RecordedOp::Get || lastExchange->report == event->report)) {
            ++retries;
        }
        if (!event->ok) {
            ++failed;
            ++counts.failed;
        } else if (request && event->op == RecordedOp::Set) {
            if (request->layout->request == Request::ProgramPage) ++pagesWritten;
            if (request->layout->request == Request::EraseFlash) pagesErased += request->count;
        } else if (request && request->layout->request == Request::ReadFlashChunk) {
            bytesRead += request->count;
        }
        lastExchange = std::move(event);
    }
    if (!reader.error().empty()) return badRecording(reader, errors);

    out << "exchanges per command (sets / gets / failed):\n";
    std::uint64_t total = 0;
    for (const auto& [name, counts] : perCommand) {
        char line[128];
        std::snprintf(line, sizeof line, "  %-20s %7llu %7llu %7llu\n", name.c_str(),
                      static_cast<unsigned long long>(counts.sets), static_cast<unsigned long long>(counts.gets),
                      static_cast<unsigned long long>(counts.failed));
        out << line;
        total += counts.sets + counts.gets;
    }
    out << "exchanges: " << total << ", failed attempts: " << failed << ", retries: " << retries << "\n";
    out << "pages erased: " << pagesErased << ", pages programmed: " << pagesWritten << ", read back: " << bytesRead
        << " bytes (" << bytesRead / 1024 << " KiB)\n";
    const std::uint64_t totalMs = any ? previous - first : 0;
    out << "time: " << seconds(totalMs) << " in all, " << seconds(exchangeMs) << " in exchanges, "
        << seconds(totalMs - exchangeMs) << " between them (waits and the program's own work)\n";
    if (end) {
        out << "outcome: result code " << end->resultCode << ", exit code " << end->exitCode << "\n";
    } else {
        out << "outcome: none recorded (the run did not end, or the recording stopped)\n";
    }
    return 0;
}

} // namespace qv::trace
