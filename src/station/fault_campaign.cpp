#include "station/fault_campaign.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <sstream>
#include <vector>

#include "app/program.h"
#include "platform/sim/image_maker.h"
#include "platform/virtual_event_loop.h"
#include "session/result_codes.h"
#include "station/simulated_station.h"

namespace qv::sim {

namespace {

constexpr std::size_t kVersionField = 0x0090;
constexpr std::size_t kVersionSlot = 0x1F7E0;
constexpr std::size_t kVersionWidth = 16;
constexpr std::size_t kProgrammedEnd = 0x1FC00;
constexpr std::uint32_t kSettleMs = 15000;  // power back, re-enumerated

// Where the updater dies, if it does.
struct HostCrash {
    enum class Kind { None, AtExchange, AfterRemoval, InWait };
    Kind kind = Kind::None;
    unsigned exchange = 0;   // AtExchange: before the n-th exchange
    std::uint32_t atMs = 0;  // InWait: the first wait that reaches this run time
};

const char* nameOf(HostCrash::Kind kind) {
    switch (kind) {
    case HostCrash::Kind::AtExchange: return "at an exchange";
    case HostCrash::Kind::AfterRemoval: return "right after a removal";
    case HostCrash::Kind::InWait: return "during a wait";
    case HostCrash::Kind::None: break;
    }
    return "nowhere";
}

// Virtual time that closes a run which does not end by itself; and the
// moment a planned host crash during a wait happens.
class WatchedLoop : public VirtualEventLoop {
public:
    void sleep(std::uint32_t milliseconds) override {
        if (crashDue(milliseconds)) {
            const std::uint64_t before = runTime();
            VirtualEventLoop::sleep(static_cast<std::uint32_t>(crashAtMs_ - before));
            crash();
            milliseconds -= static_cast<std::uint32_t>(crashAtMs_ - before);
        }
        VirtualEventLoop::sleep(milliseconds);
    }
    void processEvents(std::uint32_t maxWaitMs) override {
        if (crashDue(0)) crash();
        VirtualEventLoop::processEvents(maxWaitMs);
        if (session_ == nullptr || session_->window.closed) return;
        if (crashed_) {
            // The dead program's remaining steps reach nothing; end them.
            session_->closeMainWindow();
        } else if (runTime() > limitMs_) {
            hung_ = true;
            session_->closeMainWindow();
        }
    }
    void watch(Session* session, std::uint32_t limitMs) {
        session_ = session;
        limitMs_ = limitMs;
        start_ = elapsedMilliseconds();
        hung_ = false;
    }
    // A crash during the first wait that reaches atMs of run time.
    void planCrash(std::uint32_t atMs, std::function<void()> onCrash) {
        crashAtMs_ = atMs;
        onCrash_ = std::move(onCrash);
        crashed_ = false;
    }
    // The hub's own trigger (an exchange, a removal) fired.
    void crashed() { crashed_ = true; }
    void clearCrash() {
        onCrash_ = {};
        crashed_ = false;
    }
    bool hung() const { return hung_; }

private:
    std::uint64_t runTime() const { return elapsedMilliseconds() - start_; }
    bool crashDue(std::uint32_t waitMs) const {
        return onCrash_ && !crashed_ && session_ != nullptr && runTime() + waitMs >= crashAtMs_;
    }
    void crash() {
        crashed_ = true;
        onCrash_();
    }

    Session* session_ = nullptr;
    std::uint32_t limitMs_ = 0;
    std::uint64_t start_ = 0;
    bool hung_ = false;
    std::uint64_t crashAtMs_ = 0;
    std::function<void()> onCrash_;
    bool crashed_ = false;
};

// One simulated device and everything else the program needs.
struct Bench {
    Bench(const std::string& folder, std::uint32_t seed) : station(loop, folder, seed) {
        station.hub.setLogging(false);
        station.hub.addDevice();
    }

    // One silent run of the whole program; the exit code.
    int run(std::uint32_t limitMs) {
        const int exitCode = runProgram(loop, station, CommandLine({"/S"}),
                                        [this, limitMs](Session& session) { loop.watch(&session, limitMs); });
        loop.watch(nullptr, 0);
        station.standardOutput.str({});
        return exitCode;
    }

    // The updater of the next run() dies there without any clean-up.
    void planCrash(const HostCrash& crash) {
        SimulatedHub& hub = station.hub;
        auto die = [this] {
            station.hub.disconnectHost();
            loop.crashed();
        };
        hub.hostEvents() = {};
        hub.onHostEvent = {};
        switch (crash.kind) {
        case HostCrash::Kind::AtExchange:
            hub.hostEvents().atExchange = crash.exchange;
            hub.onHostEvent = die;
            loop.planCrash(std::numeric_limits<std::uint32_t>::max(), die);
            break;
        case HostCrash::Kind::AfterRemoval:
            hub.hostEvents().atRemoval = 1;
            hub.onHostEvent = die;
            loop.planCrash(std::numeric_limits<std::uint32_t>::max(), die);
            break;
        case HostCrash::Kind::InWait: loop.planCrash(crash.atMs, die); break;
        case HostCrash::Kind::None: break;
        }
    }
    // Whether the planned crash happened; the next program connects again.
    bool endCrash() {
        const bool died = !station.hub.hostConnected();
        station.hub.hostEvents() = {};
        station.hub.onHostEvent = {};
        station.hub.connectHost();
        loop.clearCrash();
        return died;
    }

    SimulatedDevice& device() { return station.hub.device(0); }

    WatchedLoop loop;
    SimulatedStation station;
};

struct RunFaults {
    FaultPlan device;
    HostCrash host;
};

// One to three kinds of fault at random places.
RunFaults randomFaults(std::mt19937& random, std::uint64_t exchangesPerUpdate, std::uint32_t updateMs) {
    auto pick = [&random](unsigned low, unsigned high) {
        return std::uniform_int_distribution<unsigned>(low, high)(random);
    };
    auto real = [&random](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    const unsigned lastExchange = static_cast<unsigned>(std::max<std::uint64_t>(exchangesPerUpdate, 1));
    RunFaults faults;
    FaultPlan& plan = faults.device;
    const unsigned kinds = pick(1, 3);
    for (unsigned k = 0; k < kinds; ++k) {
        switch (pick(0, 8)) {
        case 0: plan.failProbability = real(0.005, 0.3); break;
        case 1: plan.failNextExchanges = pick(1, 40); break;
        case 2: plan.disconnectAtExchange = pick(1, lastExchange); break;
        case 3:
            plan.powerLossAtExchange = pick(1, lastExchange);
            plan.powerOffMs = pick(50, 8000);
            break;
        case 4: plan.wrongSumOnPage = pick(1, 130); break;
        case 5: plan.readBackBitFlips = pick(1, 3); break;
        case 6: plan.readBackFlipProbability = real(0.0005, 0.02); break;
        case 7:
            plan.extraReenumerationMs = pick(0, 6000);
            plan.flickerReenumeration = pick(0, 1) == 1;
            break;
        default:
            switch (pick(0, 2)) {
            case 0: faults.host = {HostCrash::Kind::AtExchange, pick(1, lastExchange), 0}; break;
            case 1: faults.host = {HostCrash::Kind::AfterRemoval, 0, 0}; break;
            default: faults.host = {HostCrash::Kind::InWait, 0, pick(1, std::max<std::uint32_t>(updateMs, 1))}; break;
            }
            break;
        }
    }
    return faults;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

} // namespace

bool firmwareAreaMatches(std::span<const std::uint8_t> flash, const std::vector<std::uint8_t>& image) {
    const std::size_t end = std::min(image.size(), kProgrammedEnd);
    if (end <= kFirmwareStart || flash.size() < end) return false;
    std::vector<std::uint8_t> expected = image;
    if (expected.size() >= kVersionSlot + kVersionWidth) {
        std::copy_n(image.begin() + kVersionField, kVersionWidth, expected.begin() + kVersionSlot);
    }
    return std::equal(expected.begin() + kFirmwareStart, expected.begin() + static_cast<std::ptrdiff_t>(end),
                      flash.begin() + kFirmwareStart);
}

CampaignFigures runFaultCampaign(const CampaignSettings& settings, const std::string& folder) {
    ImageSpec spec;
    spec.version = "NEW1.0";
    spec.oemVersion = "NEW1.0";
    spec.seed = 7;
    const std::vector<std::uint8_t> image = makeFirmwareImage(spec);
    writeFile(folder + "fw.bin", std::string(image.begin(), image.end()));
    writeFile(folder + "TAVO.ini", "[DEVICE]\r\nPROGRAMFAILRETRY=1\r\n");

    CampaignFigures figures;
    std::uint32_t updateMs = 0;
    {
        Bench calibration(folder, settings.seed);
        const std::uint64_t start = calibration.loop.elapsedMilliseconds();
        calibration.run(settings.runTimeLimitMs);
        updateMs = static_cast<std::uint32_t>(calibration.loop.elapsedMilliseconds() - start);
        figures.exchangesPerCleanUpdate = calibration.device().exchanges();
    }

    std::mt19937 random(settings.seed);
    for (unsigned i = 0; i < settings.runs; ++i) {
        Bench bench(folder, settings.seed + i + 1);
        const RunFaults faults = randomFaults(random, figures.exchangesPerCleanUpdate, updateMs);
        bench.device().faults() = faults.device;
        bench.planCrash(faults.host);
        const int exitCode = bench.run(settings.runTimeLimitMs);
        const bool crashed = bench.endCrash();
        ++figures.runs;
        const bool flashRight = firmwareAreaMatches(bench.device().chip().flash(), image);
        if (crashed) {
            ++figures.hostCrashes;
            ++figures.hostCrashesBy[nameOf(faults.host.kind)];
        } else {
            ++figures.exitCodes[exitCode];
            if (bench.loop.hung()) ++figures.hung;
            if (exitCode == 0) {
                ++(flashRight ? figures.succeeded : figures.wrongSuccess);
                continue;
            }
            ++figures.failed;
        }

        // The operator plugs the device in again; the power comes back; after
        // a crash the updater is started again, at once or a little later.
        bench.device().faults() = FaultPlan{};
        if (bench.device().unplugged()) bench.device().plugIn();
        bench.loop.advance(crashed ? std::uniform_int_distribution<std::uint32_t>(0, kSettleMs)(random) : kSettleMs);
        if (bench.device().mode() == Mode::Flash) ++figures.leftInFlashMode;
        const int retryCode = bench.run(settings.runTimeLimitMs);
        if (bench.loop.hung()) ++figures.hung;
        const bool recovered = retryCode == 0 && firmwareAreaMatches(bench.device().chip().flash(), image);
        if (retryCode == 0 && !recovered) ++figures.wrongSuccess;
        ++(recovered ? figures.recovered : figures.notRecovered);
        const bool noDevice = retryCode == result_code::kNoDevice || retryCode == result_code::kNoFlashModeDevice ||
                              retryCode == result_code::kNoDeviceAtStart;
        if (crashed && (noDevice || bench.device().removedFromTree())) ++figures.strandedAfterHostCrash;
    }
    return figures;
}

std::string describe(const CampaignFigures& f) {
    std::ostringstream text;
    text << "runs " << f.runs << ", succeeded " << f.succeeded << ", failed " << f.failed << " (left in flash mode "
         << f.leftInFlashMode << ", recovered by the next run " << f.recovered << ", not recovered "
         << f.notRecovered << "), success with wrong flash " << f.wrongSuccess << ", hung " << f.hung
         << ", host crashes " << f.hostCrashes << " (";
    const char* separator = "";
    for (const auto& [where, count] : f.hostCrashesBy) {
        text << separator << where << " " << count;
        separator = ", ";
    }
    text << "), stranded after a host crash " << f.strandedAfterHostCrash << ", exchanges per clean update "
         << f.exchangesPerCleanUpdate << "\nexit codes:";
    for (const auto& [code, count] : f.exitCodes) text << " " << code << " x" << count;
    return text.str();
}

} // namespace qv::sim
