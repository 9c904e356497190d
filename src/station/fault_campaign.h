#pragma once
// A seeded fault campaign: the whole updater (start-up, run, programming,
// reporting) run again and again in-process on virtual time against a
// simulated sensor hub that fails at random: transport errors, a burst of
// failed exchanges, an unplugged device or a power loss at a random
// exchange, wrong page-buffer sums, bit flips in the read-back and slow or
// flickering re-enumeration; and on the host's side, the updater dying
// without any clean-up (a crash, an OOM kill, the host's power cut) at a
// random exchange (the middle of a page write, say), right after it removed
// the device from the device tree, or during a wait. Each run is silent
// ("/S"), so it ends by itself and its exit code is its verdict.
//
// A host crash cuts the dying program off the hub: nothing it does from that
// moment on reaches the device or the device tree, and its verdict counts
// for nothing. The next program is a new session against the same hub, in
// whatever state the crash left it (a removed device still removed).
//
// Three promises are checked on every run:
// - a run that reports success (exit code 0) has left the firmware area of
//   the flash exactly as the image says;
// - after a failed run the device (plugged in again, power back) is brought
//   to the new firmware by the next run, which meets no faults;
// - after a host crash the next run, which meets no faults, brings the
//   device to the new firmware; the device is never left stranded off the
//   device tree.
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace qv::sim {

struct CampaignSettings {
    unsigned runs = 100;
    std::uint32_t seed = 1;
    // Virtual time after which a run counts as hung and is closed.
    std::uint32_t runTimeLimitMs = 30 * 60 * 1000;
};

struct CampaignFigures {
    unsigned runs = 0;
    unsigned succeeded = 0;           // exit code 0 and the flash right
    unsigned failed = 0;              // a non-zero exit code
    unsigned wrongSuccess = 0;        // exit code 0 but the flash differs: must stay 0
    unsigned hung = 0;                // a run that did not end: must stay 0
    unsigned leftInFlashMode = 0;     // failed runs that left the chip in its loader
    unsigned recovered = 0;           // failed or crashed runs whose next run updated the device
    unsigned notRecovered = 0;        // must stay 0
    unsigned hostCrashes = 0;         // runs whose updater died (these have no verdict)
    std::map<std::string, unsigned> hostCrashesBy;  // where it died -> runs
    unsigned strandedAfterHostCrash = 0;  // the next run did not find the device, or it stayed removed: must stay 0
    std::uint64_t exchangesPerCleanUpdate = 0;
    std::map<int, unsigned> exitCodes;  // exit code -> runs
};

// Runs the campaign in `folder` (an empty scratch folder: it gets TAVO.ini,
// the update file and the result logs).
CampaignFigures runFaultCampaign(const CampaignSettings& settings, const std::string& folder);

// Whether the code flash holds `image` as the updater programs it: the
// firmware area from 0x2000 up to the image's end (at most 0x1FC00), with
// the version text of 0x0090 stamped into the version slot at 0x1F7E0.
bool firmwareAreaMatches(std::span<const std::uint8_t> flash, const std::vector<std::uint8_t>& image);

// One line per figure, for reports.
std::string describe(const CampaignFigures& figures);

} // namespace qv::sim
