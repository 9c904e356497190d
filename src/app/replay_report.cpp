#include "app/replay_report.h"

#include "device/request_decoding.h"

namespace qv {

namespace {

std::string outcomeText(const RecordedEvent& event) {
    return event.ok ? std::string() : "  FAILED (error " + std::to_string(event.error) + ")";
}

std::string eventText(const RecordedEvent& event) {
    switch (event.op) {
    case RecordedOp::Enumerate:
        return "enumerate index " + std::to_string(event.index) + ": " + event.path.value_or("none");
    case RecordedOp::Open: return "open " + event.path.value_or("") + (event.ok ? "" : ": failed");
    case RecordedOp::Close: return "close " + event.path.value_or("");
    case RecordedOp::Remove: return "remove device node " + std::to_string(event.node);
    case RecordedOp::HardwareIds: return "list the device tree";
    case RecordedOp::Rescan: return "rescan the device tree";
    case RecordedOp::End: return "end with exit code " + std::to_string(event.exitCode);
    case RecordedOp::Start: return "start of the run";
    case RecordedOp::Set:
    case RecordedOp::Get: break;
    }
    return std::string(opName(event.op));
}

} // namespace

std::string describeExchange(const RecordedEvent& event, const FeatureReport* answered) {
    if (event.op == RecordedOp::Set) return "set  " + describeRequest(event.report) + outcomeText(event);
    if (event.op != RecordedOp::Get) return eventText(event);
    std::string text = "get  ";
    const auto request = answered ? decodeRequest(*answered) : std::nullopt;
    if (request) {
        text += requestName(request->layout->request);
        if (event.ok) {
            const std::string answer = describeAnswer(*request, event.report);
            if (!answer.empty()) text += " " + answer;
        }
    } else {
        text += "answer";
    }
    return text + outcomeText(event);
}

std::string divergenceReport(const ReplayDivergence& divergence) {
    std::string text = "QuorvexUpdate: the replay left the recording at exchange " +
                       std::to_string(divergence.exchange);
    if (divergence.line != 0) text += " (recording line " + std::to_string(divergence.line) + ")";
    text += ": " + divergence.reason + "\n";

    const FeatureReport* lastSet = nullptr;
    if (!divergence.before.empty()) {
        text += "  before:\n";
        for (const auto& exchange : divergence.before) {
            const FeatureReport* answers = exchange.answers ? &*exchange.answers : nullptr;
            text += "    #" + std::to_string(exchange.number) + " " + describeExchange(exchange.event, answers) + "\n";
            if (exchange.event.op == RecordedOp::Set) lastSet = &exchange.event.report;
        }
    }
    text += "  recorded: ";
    if (divergence.recorded) {
        text += describeExchange(*divergence.recorded, lastSet);
        text += "\n";
        if (divergence.recorded->op == RecordedOp::Set || divergence.recorded->op == RecordedOp::Get) {
            text += "            " + reportHex(divergence.recorded->report) + "\n";
        }
    } else {
        text += "nothing more\n";
    }
    text += "  actual:   ";
    if (divergence.actualReport) {
        text += "set  " + describeRequest(*divergence.actualReport) + "\n";
        text += "            " + reportHex(*divergence.actualReport) + "\n";
    } else {
        text += divergence.asked + "\n";
    }
    if (divergence.actualReport && divergence.recorded && divergence.recorded->op == RecordedOp::Set) {
        std::string bytes;
        for (std::size_t i = 0; i < kFeatureReportSize; ++i) {
            if (divergence.recorded->report[i] != (*divergence.actualReport)[i]) {
                bytes += (bytes.empty() ? "" : ", ") + std::to_string(i);
            }
        }
        if (!bytes.empty()) text += "  differing report bytes: " + bytes + "\n";
    }
    return text;
}

} // namespace qv
