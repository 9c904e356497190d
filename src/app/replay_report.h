#pragma once
// What --replay prints on standard error when the program leaves the
// recording: where, why, the recorded and the actual request decoded into
// the chip's command names and fields, and the three exchanges before.
#include <string>

#include "platform/replay_ports.h"

namespace qv {

std::string divergenceReport(const ReplayDivergence& divergence);

// One exchange of a recording as a line of text: "set  EraseFlash address=...";
// `answered` is the decoded request a Get answers, when known.
std::string describeExchange(const RecordedEvent& event, const FeatureReport* answered);

} // namespace qv
