// Arbitrary bytes as a recording: the reader that --replay and qv-trace
// use, every event it accepts decoded as qv-trace shows it, and a replay
// driven through the accepted recording until it diverges.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "app/replay_report.h"
#include "platform/replay_ports.h"
#include "platform/session_recording.h"
#include "platform/virtual_event_loop.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    {
        std::istringstream in(text);
        qv::RecordingReader reader(in, 1u << 20);
        qv::FeatureReport lastSet{};
        while (const auto event = reader.next()) {
            (void)qv::recordingLine(*event);
            (void)qv::describeExchange(*event, &lastSet);
            if (event->op == qv::RecordedOp::Set) lastSet = event->report;
        }
    }
    std::istringstream in(text);
    qv::VirtualEventLoop loop;
    std::string report;
    qv::ReplayPorts replay(in, loop, [&](const qv::ReplayDivergence& d) { report = qv::divergenceReport(d); });
    if (!replay.ok()) return 0;
    // A program that opens what it finds and asks it the same thing over.
    qv::FeatureReport sent{};
    sent[1] = 0xD0;
    std::uint32_t error = 0;
    for (unsigned round = 0; round < 64 && !replay.diverged(); ++round) {
        const auto path = replay.interfacePath(round % 4);
        if (!path) continue;
        const qv::HidHandle handle = replay.open(*path);
        (void)replay.collectionCaps(handle);
        (void)replay.setFeature(handle, sent, error);
        qv::FeatureReport answer{};
        (void)replay.getFeature(handle, answer, error);
        replay.close(handle);
        (void)replay.presentDevices();
        (void)replay.rescan();
    }
    replay.finish(0);
    return 0;
}
